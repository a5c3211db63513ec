#include "clock/window/u_onlinemenus.h"

#include "clock/menu/u_ownerdrawmenu.h"

#include <QAction>
#include <QMenu>

#include "clock/online/u_orvradisensor.h"
#include "common/log_sink.h"
#include "platform/tray.h"
#include "platform/url_opener.h"

namespace kw {
namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

void ClearMenu(QMenu& menu) {
  const QList<QAction*> actions = menu.actions();
  for (QAction* a : actions)
    if (QMenu* sub = a->menu(); sub && sub->parent() == &menu) delete sub;
  menu.clear();
}

QAction* MakeItem(QMenu& owner, const TDirectURLList& e) {
  QAction* item = new QAction(Q(e.Caption), &owner);
  if (e.Caption == "-") item->setSeparator(true);
  item->setObjectName(Q(e.Name));
  return item;
}

void OpenWebAddress(const std::string& url, UrlOpener& opener, LogSink& log) {
  if (!IsWebAddress(url)) {
    log.WriteLog(">Not opened, not a web address: " + url + "\r");
    return;
  }
  if (!opener.OpenUrl(url)) log.WriteLog(">No browser took " + url + "\r");
}

}  // namespace

bool BuildDirectURLMenu(QMenu& menu, std::vector<TDirectURLList>& entries, const std::string& path,
                        LogSink& log, const std::function<void(QAction*)>& onPage) {
  log.WriteLog(":Initialize DirectURL...\r");
  entries.clear();
  menu.menuAction()->setEnabled(false);
  ClearMenu(menu);
  menu.setToolTipsVisible(true);
  bool added = false;
  bool haveParent = false;
  std::string parentName;

  for (UrlListItem& line : ReadUrlListFile(path)) {
    entries.push_back(line.entry);
    const TDirectURLList& e = entries.back();
    if (line.page) {
      QAction* item = MakeItem(menu, e);
      item->setToolTip(Q(e.URL));
      item->setStatusTip(Q(e.URL));
      if (onPage) QObject::connect(item, &QAction::triggered, item, [item, onPage] { onPage(item); });
      if (e.Level == "0") {
        menu.addAction(item);
        menu.menuAction()->setEnabled(true);
        log.WriteLog(":Add Item to Root=" + e.Caption + "\r");
        added = true;
      } else if (e.Level == "2" && haveParent) {
        bool placed = false;
        for (QAction* top : menu.actions()) {
          QMenu* parent = top->menu();
          if (!parent || top->objectName() != Q(parentName)) continue;
          parent->addAction(item);
          top->setEnabled(true);
          placed = true;
          log.WriteLog(":Add Item to " + parentName + "=" + e.Caption + "\r");
        }
        if (!placed) delete item;
      } else {
        delete item;  // a page of no known place
      }
    } else {
      if (e.Level != "1") continue;  // only top-level sub-menus have a place
      QAction* top;
      if (e.Caption == "-") {
        top = MakeItem(menu, e);
      } else {
        // A submenu of an owner-drawn menu is drawn the same way.
        auto* owner = qobject_cast<TOwnerDrawMenu*>(&menu);
        QMenu* sub = owner ? new TOwnerDrawMenu(Q(e.Caption), &menu, owner->Depth() + 1) : new QMenu(Q(e.Caption), &menu);
        if (owner) static_cast<TOwnerDrawMenu*>(sub)->SetOwnerDraw(owner->OwnerDraw());
        sub->setObjectName(Q(e.Name));
        sub->setToolTipsVisible(true);
        top = sub->menuAction();
        top->setObjectName(Q(e.Name));
      }
      top->setEnabled(false);
      menu.addAction(top);
      haveParent = true;
      parentName = e.Name;
      menu.menuAction()->setEnabled(true);
      log.WriteLog(":Add Parent to Root=" + e.Caption + "\r");
      added = true;
    }
  }
  log.WriteLog(":Initialize DirectURL...Done\r");
  return added;
}

void OpenDirectURL(const std::vector<TDirectURLList>& entries, const QString& itemName, UrlOpener& opener,
                   LogSink& log) {
  for (const TDirectURLList& e : entries) {
    if (Q(e.Name) != itemName) continue;
    if (!e.URL.empty()) OpenWebAddress(e.URL, opener, log);
    return;
  }
}

void UpdateRadioMenu(QMenu& menu, TOrvRadi* radi, bool sensorOn, RadioMenuEnv& env) {
  menu.menuAction()->setEnabled(false);
  ClearMenu(menu);
  if (!sensorOn) {
    menu.menuAction()->setVisible(false);
    return;
  }
  menu.menuAction()->setVisible(true);
  if (!radi) return;
  menu.setToolTipsVisible(true);
  if (radi->Scan()) {
    for (const TRadioInfo& show : radi->RadioList) {
      if (show.Offreco) continue;
      QAction* item = menu.addAction(Q(show.Caption));
      item->setToolTip(Q(show.URL));
      item->setStatusTip(Q(show.URL));
      if (env.onItem) QObject::connect(item, &QAction::triggered, item, [item, f = env.onItem] { f(item); });
      menu.menuAction()->setEnabled(true);
    }
  }
  if (radi->AnnounceWaiting) {
    env.log.WriteLog(":OrvRadi Sensor > " + radi->Announcement + "\r");
    if (env.globalBalloon)
      env.tray.ShowBalloon(BalloonKind::Information, "Orvラジ情報",
                           radi->Announcement + "\r\n" + "「放送中のOrvラジ」メニューから直行できます", 10000);
    radi->ClearAnnouncement();
    if (env.sleepMs) env.sleepMs(2000);
  }
}

void OpenRadioURL(const QAction& item, UrlOpener& opener, LogSink& log) {
  if (item.text().isEmpty() || item.statusTip().isEmpty()) return;
  OpenWebAddress(item.statusTip().toStdString(), opener, log);
}

}  // namespace kw
