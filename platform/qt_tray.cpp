#include "platform/qt_tray.h"

#include <QSystemTrayIcon>

namespace kw {

namespace {

QString FromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Our texts end their lines the Windows way; Qt wants "\n".
QString DisplayText(std::string_view text) {
  QString s = FromUtf8(text);
  s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

QSystemTrayIcon::MessageIcon MessageIconFor(BalloonKind kind) {
  switch (kind) {
    case BalloonKind::Information: return QSystemTrayIcon::Information;
    case BalloonKind::Warning: return QSystemTrayIcon::Warning;
    case BalloonKind::Error: return QSystemTrayIcon::Critical;
    case BalloonKind::None: break;
  }
  return QSystemTrayIcon::NoIcon;
}

}  // namespace

QtTray::QtTray(const QIcon& icon, QObject* parent) : QObject(parent), iconImage_(icon) {
  EnsureIcon();
}

QtTray::~QtTray() = default;

// The tray host may start after us (a session that starts programs before its panel), so the
// icon is made the first time a tray is there when it is needed.
bool QtTray::EnsureIcon() {
  if (icon_ != nullptr) return true;
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return false;
  icon_ = new QSystemTrayIcon(iconImage_, this);
  icon_->setToolTip(tip_);
  connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context) emit clicked();
  });
  connect(icon_, &QSystemTrayIcon::messageClicked, this,
          [this] { emit balloonClicked(lastBalloonTitle_); });
  return true;
}

void QtTray::SetTip(std::string_view tip) {
  tip_ = DisplayText(tip);
  if (icon_ != nullptr) icon_->setToolTip(tip_);
}

void QtTray::SetVisible(bool visible) {
  visible_ = visible;
  if (visible ? EnsureIcon() : icon_ != nullptr) icon_->setVisible(visible);
  // A notice given while the icon was still hidden (during start-up) is shown now.
  if (visible && pending_.has_value()) {
    const Pending p = *pending_;
    pending_.reset();
    ShowBalloon(p.kind, p.title, p.text, p.timeoutMs);
  }
}

void QtTray::ShowBalloon(BalloonKind kind, std::string_view title, std::string_view text,
                         int timeoutMs) {
  // Kept as given: a click is reported with the title the program chose.
  lastBalloonTitle_ = FromUtf8(title);
  if (!visible_) {
    pending_ = Pending{kind, std::string(title), std::string(text), timeoutMs};
    return;
  }
  if (!EnsureIcon()) return;
  if (!icon_->isVisible()) icon_->show();
  icon_->showMessage(DisplayText(title), DisplayText(text), MessageIconFor(kind), timeoutMs);
}

}  // namespace kw
