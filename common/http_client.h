// A plain HTTP GET on libcurl: one easy handle per request, freed at its end. Bodies are the
// bytes as the server sent them (the clock server's pages are CP932).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kw {

class LogSink;

struct HttpProxy {
  std::string host;  // empty: no proxy
  int port = 0;
  std::string username, password;  // empty user name: no proxy authentication
};

struct HttpRequest {
  std::string url;
  int readTimeoutMs = 5000;  // the longest wait for the connection or for the next bytes
  HttpProxy proxy;
  std::string userAgent;
  std::string referer;       // empty: none
  bool basicAuth = false;
  std::string username, password;
  int maxRedirects = 0;      // 0: a redirect is the answer; more redirects than this: an error
  // Called as bytes arrive and at least every 100 ms while waiting (body bytes received,
  // total or -1 when unknown); false cancels the request.
  std::function<bool(int64_t received, int64_t total)> progress;
  // Non-empty: the body is written to this file instead of HttpResponse::body (which stays
  // empty). The file is replaced only by a complete answer with a 2xx status; a cancelled or
  // failed request, or another status, leaves it as it was (no partial file).
  std::string outputPath;
};

struct HttpResponse {
  int status = 0;      // 0: no complete answer (error holds why; body is then empty)
  std::string body;
  std::string error;   // empty when an answer came
  // An answer with status 200 and a non-empty body: what the clock takes as a usable page.
  bool Usable() const { return status == 200 && !body.empty(); }
};

HttpResponse HttpGet(const HttpRequest& request);

// The proxy of the settings: host and port text. A port that is not a number between 1 and
// 65535 means no proxy; it is logged (when log is not null) and the request goes direct.
HttpProxy ProxyFromSettings(bool enabled, const std::string& host, const std::string& port,
                            const std::string& username, const std::string& password,
                            LogSink* log);

}  // namespace kw
