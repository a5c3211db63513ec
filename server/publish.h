// Publishing: the read-only resources of the clock server written as static files, so a web
// server or a CDN answers the many clocks and only remote updates reach orvclockd.
#pragma once

#include <condition_variable>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/clock.h"
#include "server/pages.h"
#include "server/store.h"

struct sqlite3;

namespace kw::server {

// One resource at its address without the leading "/" ("sync.html", "cfg/urllist.cfg.3.0.0.0");
// no bytes: the server answers 404, so a published copy is removed.
struct PublishedFile {
  std::string path;
  std::optional<std::string> bytes;
};

// Every read-only resource as the server answers it at nowMs, the configuration set at the
// address for this build's version. The lists come before httpctrl.cfg: a clock that sees a
// new stamp then finds the new lists already in place.
std::vector<PublishedFile> PublishedFiles(Store& store, const PublishOptions& options,
                                          int64_t nowMs);

// Writes the resources into the folder (created when missing), each file atomically with
// mode 0644; a file that already has its bytes is left alone. A file that fails keeps its old
// content and the others are still written; false with error naming the first failure.
// Writers of one folder take turns over "<folder>/.publish.lock".
bool PublishTo(const std::string& folder, Store& store, const PublishOptions& options,
               int64_t nowMs, std::string* error);

// Keeps a folder published for a running server: Publish after each change the server makes,
// and a watcher that publishes again when another connection (an admin command) changes the
// database. Failures go to the log stream.
class Publisher {
 public:
  Publisher(Store& store, const Clock& clock, std::string folder, PublishOptions options,
            std::ostream& log);
  ~Publisher();
  Publisher(const Publisher&) = delete;
  Publisher& operator=(const Publisher&) = delete;

  bool Publish();
  // Polls the database file every interval until destruction; false when it cannot be opened.
  bool Watch(const std::string& dbPath, int intervalMs = 250);

 private:
  Store& store_;
  const Clock& clock_;
  const std::string folder_;
  const PublishOptions options_;
  std::ostream& log_;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  sqlite3* watchDb_ = nullptr;
  std::thread watcher_;
};

}  // namespace kw::server
