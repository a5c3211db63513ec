#include "tests/support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include <QString>
#include <QtGlobal>

#include "common/cp932.h"

namespace kw::test {

bool MemoryLog::Contains(std::string_view text) const {
  for (const std::string& line : lines)
    if (line == text) return true;
  return false;
}

bool MemoryLog::ContainsLineStartingWith(std::string_view prefix) const {
  for (const std::string& line : lines)
    if (line.starts_with(prefix)) return true;
  return false;
}

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kronwel-test-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

TDateTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
  TDateTime t = 0;
  EXPECT_TRUE(TryEncodeDateTime({y, mo, d, h, mi, s, ms}, t)) << y << "-" << mo << "-" << d;
  return t;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void WriteWindowsFile(const std::string& path, std::string_view utf8) {
  std::string crlf;
  for (char c : utf8) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  std::string bytes;
  if (!Utf8ToCp932(crlf, bytes)) throw std::runtime_error("not CP932 text");
  WriteBytes(path, bytes);
}

}  // namespace kw::test

namespace kw::test {

void QuietOffscreenWarnings() {
  static QtMessageHandler previous = nullptr;
  previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (!message.startsWith(QLatin1String("This plugin does not support"))) previous(type, context, message);
  });
}

}  // namespace kw::test
