// Any bytes through what a remote update reads from outside: the query (split and decoded by
// cpp-httplib, then checked) and the base64 of the basic-authentication header. An accepted
// update must be in range and read back the same from its own query; the base64 decoder must
// agree with an encoder on every well-formed text.
#include <httplib.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/datetime.h"
#include "server/http_server.h"

namespace {

using kw::server::RemoteUpdate;

int64_t NowMs() {
  kw::TDateTime t = 0;
  if (!kw::TryEncodeDateTime({2026, 12, 11, 20, 0, 0, 0}, t)) std::abort();
  return kw::ToMs(t);
}

// A query the server accepts at NowMs with three game servers.
constexpr const char* kGoodQuery =
    "sv=1&mw=3&mh=12&mn=30&ry=2026&rm=12&rd=11&rh=19&rn=58&rs=7&rms=420&upi=543021";

std::string Encode64(const std::string& in) {
  static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    const uint32_t n = uint8_t(in[i]) << 16 | uint8_t(in[i + 1]) << 8 | uint8_t(in[i + 2]);
    out += {abc[n >> 18], abc[(n >> 12) & 63], abc[(n >> 6) & 63], abc[n & 63]};
  }
  if (in.size() - i == 1) {
    const uint32_t n = uint8_t(in[i]) << 16;
    out += {abc[n >> 18], abc[(n >> 12) & 63], '=', '='};
  } else if (in.size() - i == 2) {
    const uint32_t n = uint8_t(in[i]) << 16 | uint8_t(in[i + 1]) << 8;
    out += {abc[n >> 18], abc[(n >> 12) & 63], abc[(n >> 6) & 63], '='};
  }
  return out;
}

std::string Parse(const std::string& query, int64_t nowMs, int servers, RemoteUpdate& u) {
  httplib::Params params;
  httplib::detail::parse_query_text(query, params);
  return kw::server::ParseUpdateQuery(params, nowMs, servers, u);
}

void CheckAccepted(const RemoteUpdate& u, int64_t nowMs, int servers) {
  if (u.server < 0 || u.server >= servers) std::abort();
  if (u.weekday < 0 || u.weekday > 6 || u.hour < 0 || u.hour > 23 || u.minute < 0 || u.minute > 59)
    std::abort();
  if (u.realBaseMs > nowMs + 60000 || u.realBaseMs < nowMs - 7 * kw::kMsPerDay) std::abort();
  // The same update written as the clock writes it reads back unchanged.
  const kw::DateTimeParts p = kw::DecodeDateTime(kw::FromMs(u.realBaseMs));
  const std::string again =
      "sv=" + std::to_string(u.server) + "&mw=" + std::to_string(u.weekday) +
      "&mh=" + std::to_string(u.hour) + "&mn=" + std::to_string(u.minute) +
      "&ry=" + std::to_string(p.year) + "&rm=" + std::to_string(p.month) +
      "&rd=" + std::to_string(p.day) + "&rh=" + std::to_string(p.hour) +
      "&rn=" + std::to_string(p.minute) + "&rs=" + std::to_string(p.second) +
      "&rms=" + std::to_string(p.millisecond);
  RemoteUpdate back;
  if (!Parse(again, nowMs, servers, back).empty()) std::abort();
  if (back.server != u.server || back.weekday != u.weekday || back.hour != u.hour ||
      back.minute != u.minute || back.realBaseMs != u.realBaseMs)
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int64_t nowMs = NowMs();
  if (size == 0) return 0;
  // The first byte chooses the number of game servers (0..7) and how the bytes make the
  // query: standing alone, before a good query (whose values they then replace), or as signed
  // steps from the good query's values, one byte a field, to reach every edge of the ranges.
  const int servers = data[0] % 8;
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string query = input;
  if (data[0] & 16) {
    static const char* names[] = {"sv", "mw", "mh", "mn", "ry", "rm", "rd", "rh", "rn", "rs", "rms"};
    static const int good[] = {1, 3, 12, 30, 2026, 12, 11, 19, 58, 7, 420};
    query.clear();
    for (size_t k = 0; k < 11; ++k) {
      const int step = k < input.size() ? static_cast<int8_t>(input[k]) : 0;
      query += std::string(k ? "&" : "") + names[k] + "=" + std::to_string(good[k] + step * (k == 10 ? 5 : 1));
    }
  } else if (data[0] & 8) {
    query = input + "&" + kGoodQuery;
  }

  RemoteUpdate u;
  const std::string reason = Parse(query, nowMs, servers, u);
  if (reason.empty()) CheckAccepted(u, nowMs, servers);

  std::string decoded;
  if (kw::server::DecodeBase64(input, decoded)) {
    const size_t pad = input.ends_with("==") ? 2 : input.ends_with("=") ? 1 : 0;
    if (decoded.size() != input.size() / 4 * 3 - pad) std::abort();
    std::string again;
    if (!kw::server::DecodeBase64(Encode64(decoded), again) || again != decoded) std::abort();
  }
  // Every byte string survives encoding and decoding.
  if (!kw::server::DecodeBase64(Encode64(input), decoded) || decoded != input) std::abort();
  return 0;
}
