// Older versions kept the user's own events in event.cfg beside the shipped ones. This moves
// them to eventuser.cfg once and removes event.cfg.
#pragma once

#include <string>

namespace kw {

class LogSink;

// Does nothing when the program folder holds no event.cfg.
void TransferOldEvents(const std::string& programFolder, LogSink* log);

}  // namespace kw
