// The two clock-menu submenus fed by downloaded lists: the player support web pages from
// urllist.cfg and the radio shows on air from the radio sensor. Each is a QMenu that the clock
// menu shows as a submenu; its menuAction() carries the enabled and visible state.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "clock/online/u_directurl.h"

class QAction;
class QMenu;

namespace kw {

class LogSink;
class TOrvRadi;
class Tray;
class UrlOpener;

// Empties the menu and fills it from urllist.cfg at path: pages at the top level ("0") and in
// the last sub-menu ("2"), sub-menus ("1") disabled until their first page. entries gets every
// line's entry in file order. onPage is connected to each page item. True when a top-level
// item was added.
bool BuildDirectURLMenu(QMenu& menu, std::vector<TDirectURLList>& entries, const std::string& path,
                        LogSink& log, const std::function<void(QAction*)>& onPage);

// Opens the page of the entry named itemName, if it has an http or https address.
void OpenDirectURL(const std::vector<TDirectURLList>& entries, const QString& itemName, UrlOpener& opener,
                   LogSink& log);

struct RadioMenuEnv {
  LogSink& log;
  Tray& tray;
  bool globalBalloon = true;
  std::function<void(int ms)> sleepMs;  // lets the balloon be read
  std::function<void(QAction*)> onItem;
};

// Refills the radio menu from a scan of the sensor (at most one a minute); hidden when the
// sensor is off. New shows are announced in the log and, with balloons on, in a balloon.
void UpdateRadioMenu(QMenu& menu, TOrvRadi* radi, bool sensorOn, RadioMenuEnv& env);

// Opens a radio item's station page (its status tip), if it is an http or https address.
void OpenRadioURL(const QAction& item, UrlOpener& opener, LogSink& log);

}  // namespace kw
