#include "platform/program_entry.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "common/program_folder.h"

namespace kw {

std::unique_ptr<InstanceGuard> AcquireSingleInstance() {
  auto instance = std::make_unique<InstanceGuard>();
  const QString exeName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
  if (instance->Acquire(exeName) != InstanceGuard::Result::First) instance.reset();
  return instance;
}

std::string ProgramFolderOrTell(const QString& caption) {
  std::string error;
  std::string folder = ResolveProgramFolder(CurrentProgramFolderEnv(), &error);
  if (folder.empty()) QMessageBox::critical(nullptr, caption, QString::fromStdString(error));
  return folder;
}

}  // namespace kw
