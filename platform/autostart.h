// Starting with the desktop session: an XDG autostart entry "Kronwel.desktop" in the user's
// autostart folder ($XDG_CONFIG_HOME/autostart, by default ~/.config/autostart).
#pragma once

#include <string>

namespace kw {

std::string AutostartEntryPath();

// Writes the entry that starts program in folder; false with the reason when it cannot.
bool CreateStartupShortcut(const std::string& program, const std::string& folder, std::string* error = nullptr);
// Removes the entry; a missing entry is no error.
bool DeleteStartupShortcut(std::string* error = nullptr);

}  // namespace kw
