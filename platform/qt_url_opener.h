// Web addresses opened by the desktop's default browser.
#pragma once

#include "platform/url_opener.h"

namespace kw {

class QtUrlOpener final : public UrlOpener {
 public:
  bool OpenUrl(std::string_view url) override;
};

}  // namespace kw
