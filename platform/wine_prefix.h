// The Windows side of this desktop: the user's Wine prefix, where the game client (a Windows
// program) and its uninstall entries live. Windows paths ("C:\...") map into the prefix's
// drive folders; the uninstall list comes from the prefix's registry file (system.reg).
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

// $WINEPREFIX, else ~/.wine; empty when neither can be told.
std::string WinePrefix();

// The Linux path of a Windows path in the prefix: "C:\a\b\" -> "<prefix>/drive_c/a/b/", other
// drive letters through "<prefix>/dosdevices/<x>:". A path that already starts with "/" is
// taken as a Linux path; backslashes become slashes in either case.
std::string WindowsToUnixPath(std::string_view windowsPath, const std::string& prefix);

struct UninstallEntry {
  std::string name;  // the entry's key name
  // Plain string values only (REG_SZ), by value name; texts are UTF-8.
  std::map<std::string, std::string> values;
};

// The uninstall list of HKEY_LOCAL_MACHINE (both the native and the 32-bit view), sorted by
// key name without regard to case. No prefix or no registry file gives an empty list.
std::vector<UninstallEntry> ReadUninstallList(const std::string& prefix);
// The same from the text of a registry file.
std::vector<UninstallEntry> ParseUninstallList(std::string_view systemReg);

}  // namespace kw
