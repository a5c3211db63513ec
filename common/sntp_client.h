// A small SNTP client (RFC 4330, version 4, client mode over UDP).
#pragma once

#include <string>

#include "common/clock.h"
#include "common/datetime.h"

namespace kw {

struct SntpAnswer {
  bool ok = false;
  // The server's time at the moment the answer arrived, in local time: the local clock at
  // arrival plus the measured offset. 0 when no usable answer came.
  TDateTime time = 0;
  double offsetSeconds = 0;  // server minus local clock
  double roundTripSeconds = 0;
  std::string error;         // why there is no answer
};

// Asks server ("host" or "host:port", port 123 by default) for its time, waiting at most
// timeoutMs for the answer. The local clock (the replaceable one) gives the send and
// arrival times. Answers that are not a server's reply to this request (wrong mode, origin
// time not ours, stratum 0 "kiss of death" or above 15, leap indicator 3 "unsynchronised", zero
// receive or transmit time) are refused; one whose origin time is not ours is skipped and the
// wait goes on. "host" may be a name, an IPv4 address or an IPv6 address in brackets.
SntpAnswer SntpQuery(const std::string& server, int timeoutMs, const Clock& localClock);

}  // namespace kw
