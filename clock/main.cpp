// kronwel: one instance per user; brings the clock window up and runs it until it closes.
#include <QThread>
#include <memory>

#include "clock/window/f_coreform.h"
#include "common/clock.h"
#include "platform/endpoints.h"
#include "platform/guarded_application.h"
#include "platform/program_entry.h"
#include "platform/termination_signals.h"
#include "platform/translations.h"

int main(int argc, char** argv) {
  kw::GuardedApplication app(argc, argv);
  app.setApplicationName(QStringLiteral("Kronwel"));
  app.setApplicationVersion(QStringLiteral(KRONWEL_VERSION));
  kw::InstallJapaneseTranslations(app);
  app.setQuitOnLastWindowClosed(false);
  // Installed first, so that a SIGTERM during start-up still closes through the close sequence.
  kw::TerminationSignals termination;

  kw::Endpoint title;
  title.Listen(QStringLiteral("KronwelStartup"));

  // An installer or updater that holds "KronwelWait" asks us to wait for it (at most 30 s).
  for (int i = 0; i < 30 && kw::EndpointAlive(QStringLiteral("KronwelWait")); ++i) QThread::sleep(1);

  auto instance = kw::AcquireSingleInstance();
  if (!instance) return 0;
  const std::string folder = kw::ProgramFolderOrTell(QStringLiteral("Kronwel"));
  if (folder.empty()) return 1;

  title.Listen(QStringLiteral("Kronwel"));
  kw::SystemClock clock;
  auto form = std::make_unique<kw::TCoreForm>(folder, clock, title);
  QObject::connect(&title, &kw::Endpoint::commandReceived, form.get(), &kw::TCoreForm::HandleCommand);
  QObject::connect(instance.get(), &kw::InstanceGuard::raiseRequested, form.get(),
                   [&form] { form->HandleCommand(QStringLiteral("raise")); });
  QObject::connect(&termination, &kw::TerminationSignals::terminationRequested, form.get(),
                   &kw::TCoreForm::mExitAppClick);
  // Without a skin the user has been told and the loop only ends the program.
  if (!form->StartFailed()) form->show();

  const int rc = app.exec();
  // The endpoints go before the window, whose end starts a requested restart: the new
  // process must find no instance running.
  instance.reset();
  title.Close();
  form.reset();
  return rc;
}
