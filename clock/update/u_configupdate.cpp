#include "clock/update/u_configupdate.h"

#include <array>
#include <cstdio>
#include <filesystem>

#include "common/ini_file.h"
#include "common/log_sink.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

constexpr std::array<const char*, 3> kFiles{"httpctrl.cfg", "urllist.cfg", "mrlist.cfg"};
constexpr std::array<const char*, 3> kAddressKeys{"HttpCtrl", "UrlList", "MrList"};
constexpr const char* kSection = "GeneralSettingUpdate";
constexpr const char* kNoStamp = "000000000";

void RemoveIfThere(const std::string& path) {
  std::error_code ec;
  fs::remove(path, ec);
}

// Puts the downloaded files in place, keeping the old ones until all three are in. A failed
// rename puts back what was already exchanged.
bool Exchange(const std::string& folder, LogSink& log) {
  std::error_code ec;
  for (size_t i = 0; i < kFiles.size(); ++i) {
    const std::string f = folder + "/" + kFiles[i];
    log.WriteLog(std::string(kFiles[i]) + " を更新中...");
    log.WriteLog("\r");
    RemoveIfThere(f + ".old");
    if (fs::exists(f, ec)) fs::rename(f, f + ".old", ec);
    if (!ec) fs::rename(f + ".new", f, ec);
    if (!ec) continue;
    log.WriteLog(">" + std::string(kFiles[i]) + ": " + ec.message() + "; the old files stay\r");
    for (size_t k = 0; k <= i; ++k) {
      const std::string g = folder + "/" + kFiles[k];
      std::error_code ignored;
      if (fs::exists(g + ".old", ignored)) fs::rename(g + ".old", g, ignored);
      else if (k < i) fs::remove(g, ignored);  // it had no old file
    }
    return false;
  }
  return true;
}

}  // namespace

NetworkSettings ReadNetworkSettings(const std::string& iniPath) {
  const IniFile ini(iniPath);
  NetworkSettings n;
  n.ProxyEnabled = ini.ReadBool("Network", "ProxyEnabled", false);
  n.ProxyIP = ini.ReadString("Network", "ProxyIP", "");
  n.ProxyPort = ini.ReadString("Network", "ProxyPort", "");
  n.ProxyUsername = ini.ReadString("Network", "ProxyUsername", "");
  n.ProxyPassword = ini.ReadString("Network", "ProxyPassword", "");
  n.UpdateDenied = ini.ReadBool("Network", "UpdateDenied", false);
  return n;
}

bool UpdateConfigFiles(const ConfigUpdateEnv& env) {
  LogSink& log = env.log;
  const std::string& folder = env.programFolder;
  log.WriteLog(":Loading Network Parameters\r");
  const NetworkSettings net = ReadNetworkSettings(folder + "/kronwel.ini");
  if (net.UpdateDenied) {
    log.WriteLog("\003clRed");
    log.WriteLog("[はわわ]　自動更新しちゃダメみたいです。\r");
    log.WriteLog("\003clBlack");
    return false;
  }
  const IniFile current(folder + "/httpctrl.cfg");
  const std::string stamp = current.ReadString(kSection, "stamp", kNoStamp);
  HttpRequest request;
  request.readTimeoutMs = 10000;
  request.proxy = ProxyFromSettings(net.ProxyEnabled, net.ProxyIP, net.ProxyPort, net.ProxyUsername,
                                    net.ProxyPassword, &log);
  log.WriteLog(":Ready to Server Contact\r");
  log.WriteLog(":Get Datas\r");

  bool failed = false;
  for (size_t i = 0; i < kFiles.size(); ++i) {
    const std::string target = folder + "/" + kFiles[i] + ".new";
    RemoveIfThere(target);
    request.url = current.ReadString(kSection, kAddressKeys[i], "") + "." + env.productVersion;
    request.outputPath = target;
    const HttpResponse answer = HttpGet(request);
    std::error_code ec;
    if (answer.status != 200 || !fs::exists(target, ec)) {
      log.WriteLog(">" + std::string(kFiles[i]) + ": " + (answer.status ? "HTTP " + std::to_string(answer.status) : answer.error) + "\r");
      failed = true;
    }
  }
  // A set always carries its stamp: a page without one (a login portal, an error page) is no
  // configuration.
  const IniFile offered(folder + "/httpctrl.cfg.new");
  if (!failed && !offered.ValueExists(kSection, "stamp")) {
    log.WriteLog(">httpctrl.cfg: the offered file has no stamp\r");
    failed = true;
  }

  bool replaced = false;
  if (failed) {
    log.WriteLog("\003clRed");
    log.WriteLog("[はわわ]　実家に繋がりませんでした...\r");
    log.WriteLog("\003clBlack");
  } else if (offered.ReadString(kSection, "stamp", kNoStamp) != stamp) {
    log.WriteLog("新しい情報を見つけました！\r");
    log.WriteLog("\003clBlue");
    replaced = Exchange(folder, log);
    if (replaced) log.WriteLog("少し賢くなりました。\r");
    log.WriteLog("\003clBlack");
    if (replaced && env.rebuildDirectURLMenu) {
      log.WriteLog("メニューを作り直しています。\r");
      env.rebuildDirectURLMenu();
    }
  }
  for (const char* name : kFiles) {
    RemoveIfThere(folder + "/" + name + ".new");
    RemoveIfThere(folder + "/" + name + ".old");
  }
  return replaced;
}

}  // namespace kw
