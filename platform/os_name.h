// The name of the running system, as the survey page and the about box show it.
#pragma once

#include <string>

namespace kw {

// PRETTY_NAME of os-release (e.g. "Debian GNU/Linux 12 (bookworm)"), else NAME, else "Linux".
std::string WindowsName(const std::string& osReleasePath = "/etc/os-release");

// The owner-drawn menu is switched off on Windows Vista; this is never Vista.
inline bool IsWindowsVista() { return false; }

}  // namespace kw
