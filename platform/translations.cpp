#include "platform/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kw {

void InstallJapaneseTranslations(QCoreApplication& app) {
  auto* translator = new QTranslator(&app);
  if (translator->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(translator);
  else
    delete translator;  // without the translations package the dialogs stay in English
}

}  // namespace kw
