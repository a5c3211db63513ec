// What the about box says about this version and the latest released one, and the survey
// page's address.
#pragma once

#include <string>

namespace kw {

struct TUpgradeInfo;

struct AboutStatus {
  std::string line1, line2;
  bool red = true;               // else blue
  bool showDownload = false;     // the download-page button covers the survey button
  bool enableDownload = false;
};

AboutStatus AboutVersionStatus(const std::string& fileVersion, const TUpgradeInfo& latest);

// The survey template with "$VERSION$" and "$OS$" filled in, as plain text.
std::string SurveyAddress(std::string address, const std::string& version, const std::string& os);

}  // namespace kw
