#include "platform/os_name.h"

#include <fstream>

namespace kw {
namespace {

// A value of os-release: shell-like, optionally in double or single quotes.
std::string Unquote(std::string v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) v = v.substr(1, v.size() - 2);
  std::string out;
  for (size_t i = 0; i < v.size(); ++i) {
    if (v[i] == '\\' && i + 1 < v.size()) ++i;
    out += v[i];
  }
  return out;
}

}  // namespace

std::string WindowsName(const std::string& osReleasePath) {
  std::ifstream in(osReleasePath);
  std::string line, pretty, name;
  while (std::getline(in, line)) {
    if (line.starts_with("PRETTY_NAME=")) pretty = Unquote(line.substr(12));
    else if (line.starts_with("NAME=")) name = Unquote(line.substr(5));
  }
  if (!pretty.empty()) return pretty;
  return name.empty() ? "Linux" : name;
}

}  // namespace kw
