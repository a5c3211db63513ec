// "The program's folder": where kronwel.ini, the .cfg files, skins, sounds, the memo file and
// debug.log live. Both programs resolve it the same way, in this order:
//  1. the folder named by KRONWEL_HOME, when it is set;
//  2. the executable's folder, when it holds the shipped data (a skins/ folder): the
//     portable layout;
//  3. $XDG_DATA_HOME/kronwel (~/.local/share/kronwel), filled on first use with the files of
//     the installed data folder <prefix>/share/kronwel that are not there yet.
#pragma once

#include <string>

namespace kw {

struct ProgramFolderEnv {
  std::string exeDir;        // folder of the running executable
  std::string kronwelHome;   // KRONWEL_HOME, empty when unset
  std::string xdgDataHome;   // XDG_DATA_HOME, empty when unset
  std::string home;          // HOME
};

// Reads the environment and /proc/self/exe.
ProgramFolderEnv CurrentProgramFolderEnv();

// Returns the folder (created when missing), without a trailing slash; empty with error set
// when it cannot be created.
std::string ResolveProgramFolder(const ProgramFolderEnv& env, std::string* error = nullptr);

}  // namespace kw
