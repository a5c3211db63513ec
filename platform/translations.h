// Qt's own dialogs (file dialogs, standard buttons) in Japanese, as the rest of the programs.
#pragma once

class QCoreApplication;

namespace kw {

void InstallJapaneseTranslations(QCoreApplication& app);

}  // namespace kw
