// notalu: the memo pad, one instance per user. The clock starts it and asks it to close
// ("close" over the "Notalu" endpoint) when the clock itself closes.
#include <memory>

#include "common/clock.h"
#include "memo/f_notalu.h"
#include "platform/endpoints.h"
#include "platform/guarded_application.h"
#include "platform/program_entry.h"
#include "platform/termination_signals.h"
#include "platform/translations.h"

int main(int argc, char** argv) {
  kw::GuardedApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Notalu"));
  app.setApplicationVersion(QStringLiteral(KRONWEL_VERSION));
  kw::InstallJapaneseTranslations(app);
  kw::TerminationSignals termination;

  kw::Endpoint title;
  title.Listen(QStringLiteral("NotaluStartup"));
  auto instance = kw::AcquireSingleInstance();
  if (!instance) return 0;
  const std::string folder = kw::ProgramFolderOrTell(QStringLiteral("Notalu"));
  if (folder.empty()) return 1;

  title.Listen(QStringLiteral("Notalu"));
  kw::SystemClock clock;
  kw::TNotaluForm form(folder, clock);
  auto raise = [&form] {
    form.show();
    form.raise();
    form.activateWindow();
  };
  QObject::connect(&title, &kw::Endpoint::commandReceived, &form, [&](const QString& command) {
    if (command == QLatin1String("close")) form.close();
    if (command == QLatin1String("raise")) raise();
  });
  QObject::connect(instance.get(), &kw::InstanceGuard::raiseRequested, &form, raise);
  QObject::connect(&termination, &kw::TerminationSignals::terminationRequested, &form, [&] { form.close(); });
  form.show();

  const int rc = app.exec();
  instance.reset();
  title.Close();
  return rc;
}
