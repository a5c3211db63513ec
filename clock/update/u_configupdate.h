// Keeps httpctrl.cfg, urllist.cfg and mrlist.cfg current from the clock server: the offered set
// replaces the local one, all three files together, when its stamp differs.
#pragma once

#include <functional>
#include <string>

#include "common/http_client.h"

namespace kw {

class LogSink;

// [Network] of kronwel.ini, read by the clock before its settings load.
struct NetworkSettings {
  bool ProxyEnabled = false;
  std::string ProxyIP, ProxyPort, ProxyUsername, ProxyPassword;
  bool UpdateDenied = false;
};
NetworkSettings ReadNetworkSettings(const std::string& iniPath);

struct ConfigUpdateEnv {
  std::string programFolder;
  std::string productVersion;  // the offered files' addresses end in "." + this
  LogSink& log;
  // Rebuilds the web-page menu from the new urllist.cfg; empty when that menu is off.
  std::function<void()> rebuildDirectURLMenu;
};

// True when the set was replaced.
bool UpdateConfigFiles(const ConfigUpdateEnv& env);

}  // namespace kw
