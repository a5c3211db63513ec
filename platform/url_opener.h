// Opening a web address in the user's browser.
#pragma once

#include <string_view>

namespace kw {

class UrlOpener {
 public:
  virtual ~UrlOpener() = default;
  // False when no program took the address.
  virtual bool OpenUrl(std::string_view url) = 0;
};

}  // namespace kw
