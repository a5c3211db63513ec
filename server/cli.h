// orvclockd's command line: administration of the database and the serve and demo modes.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "common/clock.h"
#include "server/pages.h"
#include "server/store.h"

namespace kw::server {

// Runs one command (the arguments after the program name); returns the exit status.
// serve and demo block until SIGINT or SIGTERM.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const Clock& clock);

// Fills an empty database with the demo set: three game servers with bases at now, a
// remote-update user demo/demo and the latest version; a database with servers is kept.
bool FillDemo(Store& store, int64_t nowMs, std::string* error);

// Writes httpctrl.cfg, urllist.cfg and mrlist.cfg of the set into the clock's program folder
// (created when missing).
bool WriteProgramFolder(const std::string& folder, const ConfigSet& set, std::string* error);

}  // namespace kw::server
