#include "clock/update/u_autoupdate.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "clock/engine/u_orvtime.h"
#include "common/file_io.h"
#include "common/log_sink.h"
#include "common/sha256.h"
#include "platform/user_notifier.h"
#include "platform/wine_prefix.h"

extern char** environ;

namespace kw {
namespace {

constexpr int kInfoTimeoutMs = 10000;
constexpr int kDownloadTimeoutMs = 180000;
constexpr std::string_view kDigestMark = "#sha256=";

std::string Trim(std::string s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!s.empty() && blank(s.back())) s.pop_back();
  size_t start = 0;
  while (start < s.size() && blank(s[start])) ++start;
  return s.substr(start);
}

// The installer's address from the self-update information: the trimmed body, empty when
// there is none.
std::string InstallerAddress(const AutoUpdateEnv& env) {
  if (env.upgradeInfo2.empty()) return {};
  HttpRequest request;
  request.url = env.upgradeInfo2;
  request.readTimeoutMs = kInfoTimeoutMs;
  request.proxy = env.proxy;
  const HttpResponse answer = HttpGet(request);
  return answer.status == 200 ? Trim(answer.body) : std::string();
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string InstallerPath(const AutoUpdateEnv& env) {
  const DateTimeParts today = DecodeDateTime(env.clock.Now());
  char name[32];
  std::snprintf(name, sizeof name, "update_%4.4d%2.2d%2.2d.exe", today.year, today.month, today.day);
  return env.programFolder + "/" + name;
}

}  // namespace

std::string ExpectedInstallerVersion(const std::string& fileVersion) {
  int a = 0, b = 0, c = 0, d = 0;
  std::sscanf(fileVersion.c_str(), "%d.%d.%d.%d", &a, &b, &c, &d);
  char text[48];
  std::snprintf(text, sizeof text, "%d.%02d.%04d", a, b, c);
  return text;
}

bool AutoUpdateAvailable(const AutoUpdateEnv& env) {
#ifndef KRONWEL_SELF_UPDATE
  (void)env;
  return false;
#else
  env.log.WriteLog(":Start scan registry...\r");
  const std::string expected = ExpectedInstallerVersion(env.fileVersion);
  bool installed = false;
  for (const UninstallEntry& e : ReadUninstallList(env.winePrefix)) {
    const auto name = e.values.find("DisplayName");
    if (name == e.values.end() || !name->second.starts_with("Kronwel ")) continue;
    env.log.WriteLog(":Found Kronwel \r");
    const auto version = e.values.find("DisplayVersion");
    if (version != e.values.end() && version->second == expected) {
      env.log.WriteLog(":Found " + env.fileVersion + "\r");
      installed = true;
      break;
    }
  }
  return installed && !InstallerAddress(env).empty();
#endif
}

bool AutoUpdate(const AutoUpdateEnv& env, UpdateProgress& progress) {
  LogSink& log = env.log;
  log.WriteLog(":Update Ready\r");
  progress.Show();
  log.WriteLog("最新版の情報を取得しています\r");
  const auto fail = [&](std::string_view detail) {
    progress.SetAction("アップデートに失敗しました", detail);
    progress.Beep();
    progress.Pause(3000);
    progress.Hide();
    return false;
  };
  std::string address = InstallerAddress(env);
  if (address.empty()) {
    log.WriteLog("アップデート情報の取得に失敗しました\r");
    return fail("Upgrade情報取得に失敗");
  }
  // "#sha256=<hex>" names the installer's digest; the fragment is not part of the address.
  std::string digest;
  if (const size_t mark = Lower(address).find(kDigestMark); mark != std::string::npos) {
    digest = Lower(address.substr(mark + kDigestMark.size()));
    address.erase(mark);
  }

  log.WriteLog("最新版をダウンロードしています\r");
  progress.SetAction("最新版をダウンロード中", "");
  progress.SetProgress(0, 100, "");
  const std::string installer = InstallerPath(env);
  std::error_code ec;
  std::filesystem::remove(installer, ec);
  HttpRequest request;
  request.url = address;
  request.readTimeoutMs = kDownloadTimeoutMs;
  request.maxRedirects = 2;
  request.outputPath = installer;
  bool started = false;
  request.progress = [&](int64_t received, int64_t total) {
    if (!started && total > 0) {
      started = true;
      progress.SetProgress(0, total, "ダウンロード中");
    }
    if (total <= 0 || received > total) {
      progress.SetProgress(0, total > 0 ? total : 100, "ダウンロード中");
    } else {
      char status[64];
      std::snprintf(status, sizeof status, "ダウンロード中(%3.1f％)",
                    static_cast<double>(received) * 100.0 / static_cast<double>(total));
      progress.SetProgress(received, total, status);
    }
    return true;
  };
  const HttpResponse answer = HttpGet(request);
  log.WriteLog("Download Response Code : " + std::to_string(answer.status) + "\r");
  bool ok = answer.status == 200 && std::filesystem::exists(installer, ec);
  if (ok) progress.SetProgress(1, 1, "ダウンロード完了");
  if (ok && !digest.empty()) {
    std::string bytes;
    ok = ReadWholeFile(installer, bytes) && Sha256Hex(bytes) == digest;
    if (!ok) log.WriteLog(">The downloaded installer does not match its SHA-256; it is not run\r");
  }
  if (!ok) {
    log.WriteLog("ダウンロード中にエラーが発生しました\r");
    std::filesystem::remove(installer, ec);
    return fail("ダウンロードエラー");
  }

  log.WriteLog("最新版をインストールしています\r");
  progress.SetAction("最新版をインストール中", "セットアップ処理中");
  progress.Hide();
  chmod(installer.c_str(), 0700);
  const int code = env.runAndWait(installer, {"/V\"/quiet /passive /norestart\""});
  const bool ran = code != -1;
  if (ran) {
    log.WriteLog("セットアップの実行と終了を検知しました\r");
    progress.SetAction("Kronwelを再起動します", "セットアップ終了");
    progress.Show();
    progress.Pause(1000);
  }
  std::filesystem::remove(installer, ec);
  progress.Hide();
  return ran;
}

int RunAndWait(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void UpdateNoticeClick(std::string_view balloonTitle, const UpdateNoticeEnv& env) {
  if (balloonTitle != kUpdateSensorTitle) return;
  if (env.autoUpdateAvailable() &&
      env.notifier.Ask("ダウンロードとインストールをワンクリックで実行できる自動アップデートが利用可能です！\r\n\r\n今すぐアップデートしますか？",
                       NoticeKind::Warning, QuestionButtons::YesNo)) {
    if (env.autoUpdate()) {
      env.restart();
      return;
    }
    env.notifier.ShowMessage("自動アップデートに失敗しました。", NoticeKind::Error);
  }
  TUpgradeInfo latest;
  env.getUpgradeInfo(latest);
  if (!latest.Url.empty()) {
    if (env.notifier.Ask("配布元として公開されている、以下のURLをブラウザで開きます。\r\nよろしいですか？\r\n\r\n" + latest.Url,
                         NoticeKind::Confirmation, QuestionButtons::OkCancel))
      env.openUrl(latest.Url);
    return;
  }
  if (env.notifier.Ask("配布元サイトURLの取得に失敗しました。\r\n代替手段として検索サイト(google)を開きますか？",
                       NoticeKind::Confirmation, QuestionButtons::OkCancel))
    env.openUrl("https://www.google.com/search?hl=ja&q=Kronwel&lr=lang_ja");
}

}  // namespace kw
