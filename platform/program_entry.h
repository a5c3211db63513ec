// What both programs do first: claim the single instance of their executable for this user,
// and find the program folder.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "platform/endpoints.h"

namespace kw {

// The instance of this executable for this user; null when another runs (it has been asked to
// come to the front) or the endpoint cannot be made.
std::unique_ptr<InstanceGuard> AcquireSingleInstance();

// The program folder; empty after telling the user in a message box why there is none.
std::string ProgramFolderOrTell(const QString& caption);

}  // namespace kw
