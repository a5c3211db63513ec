#include "clock/face/u_facefonts.h"

#include <QFont>
#include <QStringList>

namespace kw {

void InstallFaceFontSubstitutions() {
  static bool done = false;
  if (done) return;
  done = true;
  const QStringList proportionalGothic{QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                                       QStringLiteral("IPAGothic")};
  const QStringList gothic{QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"), QStringLiteral("IPAPGothic")};
  QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), proportionalGothic);
  QFont::insertSubstitutions(QStringLiteral("MS PGothic"), proportionalGothic);
  QFont::insertSubstitutions(QStringLiteral("MS UI Gothic"), proportionalGothic);
  QFont::insertSubstitutions(QStringLiteral("ＭＳ ゴシック"), gothic);
  QFont::insertSubstitutions(QStringLiteral("MS Gothic"), gothic);
  QFont::insertSubstitutions(QStringLiteral("7barSPBd"), {QStringLiteral("DSEG7 Classic"), QStringLiteral("DSEG7 Modern")});
  QFont::insertSubstitutions(QStringLiteral("Tahoma"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Arial"), {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Verdana"), {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
  QFont::insertSubstitutions(QStringLiteral("Lucida Console"),
                             {QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
}

int FaceFontStretch(const QString& name) { return name == QLatin1String("7barSPBd") ? 74 : 100; }

}  // namespace kw
