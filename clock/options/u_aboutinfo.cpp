#include "clock/options/u_aboutinfo.h"

#include "clock/engine/u_orvtime.h"
#include "clock/window/u_startupinfo.h"

namespace kw {
namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

}  // namespace

AboutStatus AboutVersionStatus(const std::string& fileVersion, const TUpgradeInfo& latest) {
  const std::array<int32_t, 4> newest{latest.V1, latest.V2, latest.V3, latest.V4};
  AboutStatus s;
  if (newest == std::array<int32_t, 4>{}) {
    s.line1 = "ｱｯﾌﾟｸﾞﾚｰﾄﾞ情報が取得できませんでした";
    return s;
  }
  s.enableDownload = !latest.Url.empty();
  const std::string latestText = std::to_string(latest.V1) + "." + std::to_string(latest.V2) + "." +
                                 std::to_string(latest.V3) + "." + std::to_string(latest.V4);
  const std::string date =
      std::to_string(latest.Year) + "/" + std::to_string(latest.Month) + "/" + std::to_string(latest.Day);
  const auto own = ParseVersion(fileVersion);
  if (IsOutdated(own, newest)) {
    s.line1 = "新しい Kronwel が存在します！";
    s.line2 = date + " に " + latestText + " が公開されました";
    s.showDownload = true;
  } else if (own == newest) {
    s.line1 = "この Kronwel は最新ﾊﾞｰｼﾞｮﾝです";
    s.red = false;
  } else {
    s.line1 = "デバッグバージョン";
    s.line2 = date + " に " + latestText + " が公開されています";
    s.red = false;
  }
  return s;
}

std::string SurveyAddress(std::string address, const std::string& version, const std::string& os) {
  ReplaceAll(address, "$VERSION$", version);
  ReplaceAll(address, "$OS$", os);
  return address;
}

}  // namespace kw
