// The tray on Qt's system tray icon. Without a tray host everything quietly does nothing.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <optional>
#include <string>

#include "platform/tray.h"

class QSystemTrayIcon;

namespace kw {

class QtTray : public QObject, public Tray {
  Q_OBJECT
 public:
  explicit QtTray(const QIcon& icon, QObject* parent = nullptr);
  ~QtTray() override;

  void SetTip(std::string_view tip) override;
  void SetVisible(bool visible) override;
  void ShowBalloon(BalloonKind kind, std::string_view title, std::string_view text,
                   int timeoutMs) override;

  QString LastBalloonTitle() const { return lastBalloonTitle_; }

 signals:
  // Left or right click on the icon.
  void clicked();
  // A click on the latest balloon, with its title.
  void balloonClicked(const QString& title);

 private:
  // Makes the icon when a tray is there; false without one.
  bool EnsureIcon();

  QIcon iconImage_;
  QSystemTrayIcon* icon_ = nullptr;
  QString tip_;
  bool visible_ = false;
  QString lastBalloonTitle_;
  // The latest balloon asked for while the icon was hidden.
  struct Pending {
    BalloonKind kind;
    std::string title, text;
    int timeoutMs;
  };
  std::optional<Pending> pending_;
};

}  // namespace kw
