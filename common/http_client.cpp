#include "common/http_client.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <random>

#include "common/log_sink.h"

namespace kw {

namespace {

using SteadyClock = std::chrono::steady_clock;

// How often the transfer loop wakes while it waits, to check the time-out and to let the
// progress callback cancel.
constexpr int kWakeMs = 100;

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });
}

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
  void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};

// The file a download goes to until it is complete: a hidden sibling of the target, renamed
// over it at the end, removed otherwise.
class PartFile {
 public:
  ~PartFile() { Discard(); }

  bool Open(const std::string& target, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path path(target);
    const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::random_device rd;
    for (int attempt = 0; attempt < 16; ++attempt) {
      const std::string name = "." + path.filename().string() + ".part-" + std::to_string(getpid()) +
                               "-" + std::to_string(rd());
      const std::string candidate = (dir / name).string();
      // 0666 less the umask: the file ends up as a plain new file would.
      fd_ = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) {
        path_ = candidate;
        return true;
      }
      if (errno != EEXIST) break;
    }
    error = "cannot create a file beside " + target + ": " + std::strerror(errno);
    return false;
  }

  bool Write(const char* data, size_t size) {
    while (size > 0) {
      const ssize_t n = write(fd_, data, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      data += n;
      size -= static_cast<size_t>(n);
    }
    return true;
  }

  // A new answer (after a redirect) starts the file again.
  bool Restart() { return ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0; }

  bool Commit(const std::string& target, std::string& error) {
    const bool synced = fsync(fd_) == 0;
    const bool closed = close(fd_) == 0;
    fd_ = -1;
    if (!synced || !closed || rename(path_.c_str(), target.c_str()) != 0) {
      error = "cannot write " + target + ": " + std::strerror(errno);
      Discard();
      return false;
    }
    path_.clear();
    return true;
  }

  void Discard() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    if (!path_.empty()) unlink(path_.c_str());
    path_.clear();
  }

 private:
  int fd_ = -1;
  std::string path_;
};

// What the callbacks share with the transfer loop.
struct Transfer {
  const HttpRequest* request = nullptr;
  CURL* easy = nullptr;
  std::string body;
  PartFile* file = nullptr;
  int64_t received = 0;
  SteadyClock::time_point lastActivity = SteadyClock::now();
  bool cancelled = false;
  std::string writeError;  // non-empty: the download file could not be written

  int64_t Total() const {
    curl_off_t length = -1;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) return -1;
    return length;
  }

  // The caller's progress callback; false when it asks to stop.
  bool Report() {
    if (!request->progress || cancelled) return !cancelled;
    if (!request->progress(received, Total())) cancelled = true;
    return !cancelled;
  }
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  t->lastActivity = SteadyClock::now();
  if (t->file) {
    if (!t->file->Write(data, bytes)) {
      t->writeError = std::strerror(errno);
      return 0;
    }
  } else {
    t->body.append(data, bytes);
  }
  t->received += static_cast<int64_t>(bytes);
  return t->Report() ? bytes : 0;
}

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
  auto* t = static_cast<Transfer*>(user);
  const size_t bytes = size * count;
  t->lastActivity = SteadyClock::now();
  // A status line begins a new answer: whatever an earlier one (a redirect, a proxy's
  // answer to CONNECT) carried as its body is not the page.
  if (bytes >= 5 && std::memcmp(data, "HTTP/", 5) == 0) {
    t->body.clear();
    t->received = 0;
    if (t->file && !t->file->Restart()) {
      t->writeError = std::strerror(errno);
      return 0;
    }
  }
  return bytes;
}

// A connection is ready and the request about to go: the wait for the answer starts here.
int OnRequestReady(void* user, char*, char*, int, int) {
  static_cast<Transfer*>(user)->lastActivity = SteadyClock::now();
  return CURL_PREREQFUNC_OK;
}

std::string ProxyHostForCurl(const std::string& host) {
  // An IPv6 literal needs its brackets in a proxy address.
  if (host.find(':') != std::string::npos && host.front() != '[') return "[" + host + "]";
  return host;
}

HttpResponse Fail(std::string error) {
  HttpResponse r;
  r.error = std::move(error);
  return r;
}

}  // namespace

HttpResponse HttpGet(const HttpRequest& request) {
  GlobalInit();
  std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!easy || !multi) return Fail("the HTTP library could not start");

  PartFile partFile;
  Transfer t;
  t.request = &request;
  t.easy = easy.get();
  if (!request.outputPath.empty()) {
    std::string error;
    if (!partFile.Open(request.outputPath, error)) return Fail(error);
    t.file = &partFile;
  }

  const long readTimeoutMs = std::max(1, request.readTimeoutMs);
  char errorBuffer[CURL_ERROR_SIZE] = {};
  CURL* h = easy.get();
  curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, readTimeoutMs);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &t);
  curl_easy_setopt(h, CURLOPT_PREREQFUNCTION, OnRequestReady);
  curl_easy_setopt(h, CURLOPT_PREREQDATA, &t);

  if (request.maxRedirects > 0) {
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, static_cast<long>(request.maxRedirects));
  }
  if (!request.userAgent.empty()) curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.c_str());
  if (!request.referer.empty()) curl_easy_setopt(h, CURLOPT_REFERER, request.referer.c_str());
  if (request.basicAuth) {
    curl_easy_setopt(h, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
    curl_easy_setopt(h, CURLOPT_USERNAME, request.username.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, request.password.c_str());
  }

  // The proxy is exactly the request's: an empty proxy string turns off the environment's
  // http_proxy and friends, an empty no-proxy list its no_proxy.
  const std::string proxyHost = request.proxy.host.empty() ? "" : ProxyHostForCurl(request.proxy.host);
  curl_easy_setopt(h, CURLOPT_PROXY, proxyHost.c_str());
  curl_easy_setopt(h, CURLOPT_NOPROXY, "");
  if (!proxyHost.empty()) {
    curl_easy_setopt(h, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    curl_easy_setopt(h, CURLOPT_PROXYPORT, static_cast<long>(request.proxy.port));
    if (!request.proxy.username.empty()) {
      curl_easy_setopt(h, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_BASIC));
      curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, request.proxy.username.c_str());
      curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, request.proxy.password.c_str());
    }
  }

  // The multi interface drives the one easy handle so that the wait for the next bytes is
  // measured to a tenth of a second rather than curl's once-a-second idle progress.
  curl_multi_add_handle(multi.get(), h);
  t.lastActivity = SteadyClock::now();
  bool timedOut = false;
  int running = 1;
  while (running) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
    if (!running) break;
    const auto idleMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - t.lastActivity).count();
    if (idleMs >= readTimeoutMs) {
      timedOut = true;
      break;
    }
    if (!t.Report()) break;
    curl_multi_poll(multi.get(), nullptr, 0, static_cast<int>(std::min<long>(kWakeMs, readTimeoutMs - idleMs)),
                    nullptr);
  }

  CURLcode result = CURLE_OK;
  bool finished = false;
  int queued = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi.get(), &queued)) {
    if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) {
      result = msg->data.result;
      finished = true;
    }
  }
  long status = 0;
  curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
  curl_multi_remove_handle(multi.get(), h);

  if (timedOut) return Fail("nothing received for " + std::to_string(readTimeoutMs) + " ms");
  if (t.cancelled) return Fail("cancelled");
  if (!t.writeError.empty()) return Fail("cannot write " + request.outputPath + ": " + t.writeError);
  if (!finished) return Fail("the transfer stopped unexpectedly");
  if (result != CURLE_OK) {
    return Fail(errorBuffer[0] ? errorBuffer : curl_easy_strerror(result));
  }

  HttpResponse response;
  response.status = static_cast<int>(status);
  if (t.file) {
    // Only a complete successful answer replaces the file; anything else leaves it as it was.
    if (status >= 200 && status < 300) {
      std::string error;
      if (!partFile.Commit(request.outputPath, error)) return Fail(error);
    }
  } else {
    response.body = std::move(t.body);
  }
  return response;
}

HttpProxy ProxyFromSettings(bool enabled, const std::string& host, const std::string& port,
                            const std::string& username, const std::string& password, LogSink* log) {
  if (!enabled || host.empty()) return {};
  const size_t first = port.find_first_not_of(" \t");
  const size_t last = port.find_last_not_of(" \t");
  const std::string digits = first == std::string::npos ? "" : port.substr(first, last - first + 1);
  long number = 0;
  bool valid = !digits.empty() && digits.size() <= 5;
  for (char c : digits) {
    if (c < '0' || c > '9') {
      valid = false;
      break;
    }
    number = number * 10 + (c - '0');
  }
  if (!valid || number < 1 || number > 65535) {
    if (log) log->WriteLog(">Proxy port \"" + port + "\" is not a port number: requests go without proxy\r");
    return {};
  }
  HttpProxy proxy;
  proxy.host = host;
  proxy.port = static_cast<int>(number);
  proxy.username = username;
  proxy.password = password;
  return proxy;
}

}  // namespace kw
