#include "platform/qt_url_opener.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

namespace kw {

bool QtUrlOpener::OpenUrl(std::string_view url) {
  const QUrl address(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size())), QUrl::TolerantMode);
  if (!address.isValid()) return false;
  return QDesktopServices::openUrl(address);
}

}  // namespace kw
