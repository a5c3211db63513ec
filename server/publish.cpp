#include "server/publish.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <ostream>

#include "common/datetime.h"
#include "common/file_io.h"

namespace kw::server {

std::vector<PublishedFile> PublishedFiles(Store& store, const PublishOptions& options,
                                          int64_t nowMs) {
  const auto servers = store.Servers();
  const auto version = store.GetVersion();
  const ConfigSet set = MakeConfigSet(servers, options);
  const std::string suffix = std::string(".") + KRONWEL_VERSION;
  auto at = [](const char* address) { return std::string(address + 1); };
  std::vector<PublishedFile> files;
  files.push_back({at(kSyncPath), SyncPage(servers)});
  files.push_back({at(kMaintenancePath), MaintenancePage(store.GetMaintenance())});
  files.push_back({at(kStatusPath), StatusFile(servers, nowMs)});
  files.push_back({at(kVersionPath), version ? std::optional(VersionFile(*version)) : std::nullopt});
  files.push_back({at(kUpgradeInfoPath), version && !version->installer.empty()
                                             ? std::optional(version->installer + "\r\n")
                                             : std::nullopt});
  files.push_back({at(kUrlListPath) + suffix, set.urlList});
  files.push_back({at(kMrListPath) + suffix, set.mrList});
  files.push_back({at(kHttpCtrlPath) + suffix, set.httpCtrl});
  return files;
}

bool PublishTo(const std::string& folder, Store& store, const PublishOptions& options,
               int64_t nowMs, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(folder + "/cfg", ec);
  if (ec) return *error = folder + ": " + ec.message(), false;
  FileLock lock(folder + "/publish");
  if (!lock.locked()) return *error = folder + ": cannot lock for publishing", false;
  bool ok = true;
  auto fail = [&](const std::string& why) {
    if (ok) *error = why;
    ok = false;
  };
  for (const auto& f : PublishedFiles(store, options, nowMs)) {
    const std::string path = folder + "/" + f.path;
    if (!f.bytes) {
      if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        fail(path + ": " + std::strerror(errno));
      continue;
    }
    std::string old;
    if (ReadWholeFile(path, old) && old == *f.bytes) continue;
    std::string why;
    if (!WriteFileAtomically(path, *f.bytes, 0644, &why)) fail(why);
  }
  return ok;
}

Publisher::Publisher(Store& store, const Clock& clock, std::string folder, PublishOptions options,
                     std::ostream& log)
    : store_(store), clock_(clock), folder_(std::move(folder)), options_(std::move(options)),
      log_(log) {}

Publisher::~Publisher() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_all();
  if (watcher_.joinable()) watcher_.join();
  if (watchDb_) sqlite3_close(watchDb_);
}

bool Publisher::Publish() {
  std::lock_guard lock(mutex_);
  std::string error;
  if (PublishTo(folder_, store_, options_, ToMs(clock_.Now()), &error)) return true;
  log_ << "publish: " << error << std::endl;
  return false;
}

bool Publisher::Watch(const std::string& dbPath, int intervalMs) {
  if (sqlite3_open_v2(dbPath.c_str(), &watchDb_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
    return false;
  // data_version changes whenever another connection commits to the database.
  auto dataVersion = [this] {
    sqlite3_stmt* st = nullptr;
    int64_t v = -1;
    if (sqlite3_prepare_v2(watchDb_, "PRAGMA data_version", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
      v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
  };
  const int64_t first = dataVersion();
  if (first < 0) return false;
  watcher_ = std::thread([this, dataVersion, first, intervalMs] {
    int64_t seen = first;
    std::unique_lock lock(mutex_);
    while (!stop_.wait_for(lock, std::chrono::milliseconds(intervalMs), [this] { return stopping_; })) {
      const int64_t now = dataVersion();
      if (now == seen) continue;
      seen = now;
      lock.unlock();
      Publish();
      lock.lock();
    }
  });
  return true;
}

}  // namespace kw::server
