#include "common/program_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace kw {
namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Copies what the installed data folder has and the user's folder lacks; never overwrites.
void FillFromInstalledData(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!fs::is_directory(from, ec)) return;
  for (auto it = fs::recursive_directory_iterator(from, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    const fs::path target = to / fs::relative(it->path(), from, ec);
    if (it->is_directory(ec))
      fs::create_directories(target, ec);
    else if (!fs::exists(target, ec))
      fs::copy_file(it->path(), target, ec);
  }
}

}  // namespace

ProgramFolderEnv CurrentProgramFolderEnv() {
  ProgramFolderEnv env;
  std::error_code ec;
  env.exeDir = fs::read_symlink("/proc/self/exe", ec).parent_path().string();
  env.kronwelHome = Env("KRONWEL_HOME");
  env.xdgDataHome = Env("XDG_DATA_HOME");
  env.home = Env("HOME");
  return env;
}

std::string ResolveProgramFolder(const ProgramFolderEnv& env, std::string* error) {
  std::error_code ec;
  fs::path folder;
  bool fill = false;
  if (!env.kronwelHome.empty()) {
    folder = env.kronwelHome;
  } else if (!env.exeDir.empty() && fs::is_directory(fs::path(env.exeDir) / "skins", ec)) {
    folder = env.exeDir;
  } else {
    folder = env.xdgDataHome.empty() ? fs::path(env.home) / ".local" / "share" : fs::path(env.xdgDataHome);
    folder /= "kronwel";
    fill = true;
  }
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) {
    if (error) *error = "cannot create the folder " + folder.string();
    return {};
  }
  if (fill && !env.exeDir.empty())
    FillFromInstalledData(fs::path(env.exeDir).parent_path() / "share" / "kronwel", folder);
  std::string s = folder.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

}  // namespace kw
