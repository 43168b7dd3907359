// corvane-programmer: the window application.
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "app_controller.h"
#include "demo_start.h"
#include "dialogs.h"
#include "main_window.h"
#include "mt_random.h"
#include "options.h"
#include "hotplug_port_lister.h"
#include "port_list.h"
#include "port_path.h"
#include "trace.h"
#include "serial_link.h"
#include "sound_player.h"
#include "texts.h"
#ifdef Q_OS_UNIX
#include "termination_signals.h"
#endif

namespace {

using namespace corvane;
using namespace corvane::app;

int Run(const Options& options) {
  std::unique_ptr<DemoStart> demo;
  std::vector<std::string> ports;
  for (const std::string& port : options.ports) ports.push_back(ResolvePortArgument(port));  // by-id links too
  if (options.demo) {
    demo = StartDemo();
    ports = {demo->PortPath()};
  }
  // The system's list is read again only when hotplug says that ports came or went.
  std::unique_ptr<PortLister> lister;
  if (ports.empty())
    lister = std::make_unique<HotplugPortLister>();
  else
    lister = std::make_unique<ChosenPortLister>(ports);

  SerialLink link;
  QtSoundPlayer sound;
  QtSoundPlayer::CheckFiles({texts::kReadySound, texts::kFailedSound});  // says where they are looked for
  QtDialogs dialogs;
  MersenneRandom random;
  MainWindow window;
  AppController controller(window, AppParts{link, *lister, sound, dialogs, random});
  if (demo) controller.view().SetStartFolder(demo->Folder());
  link.SetFrameSink(&controller);

  window.show();
  QApplication::exec();

  link.SetFrameSink(nullptr);
  link.ClosePort();
  return 0;
}

// The executable's name without its folder, for the help text and messages.
std::string ProgramName(int argc, char** argv) {
  const std::string path = argc > 0 && argv[0] ? argv[0] : "corvane-programmer";
  return path.substr(path.find_last_of("/\\") + 1);
}

}  // namespace

int main(int argc, char** argv) {
  // --help and --version answer before the toolkit starts, so they work without a display.
  const std::string program = ProgramName(argc, argv);
  {
    const std::vector<std::string> raw(argc > 1 ? argv + 1 : argv, argc > 1 ? argv + argc : argv);
    const command_line::Outcome early = ParseOptions(raw, program).outcome;
    if (early.action == command_line::Action::kHelp || early.action == command_line::Action::kVersion)
      return command_line::Finish(early);
  }

  QApplication application(argc, argv);

  // The toolkit has taken its own options (-platform ...); the rest are ours.
  QStringList arguments = QApplication::arguments();
  arguments.removeFirst();
  std::vector<std::string> args;
  for (const QString& a : arguments) args.push_back(a.toStdString());
  const command_line::Parsed<Options> parsed = ParseOptions(args, program);
  if (parsed.outcome.action != command_line::Action::kRun) return command_line::Finish(parsed.outcome);
  if (const std::string why = parsed.options.demo ? DemoUnavailable() : std::string(); !why.empty())
    return command_line::Finish({command_line::Action::kUsageError,
                                 program + ": " + why + "\nTry '" + program + " --help' for more information.\n"});
  if (parsed.options.trace) EnableTrace();

#ifdef Q_OS_UNIX
  // Ctrl-C and the like close the window as its close box would, then end the loop, also from
  // inside an open message box. Watched from the start, so that a signal during start-up
  // still lets the demo remove its files.
  qt::TerminationSignals terminator([] {
    QApplication::closeAllWindows();
    QApplication::quit();
  });
#endif

  // An exception that escapes the start-up is shown in the error box; the program then ends.
  try {
    return Run(parsed.options);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    QtDialogs().ShowError(nullptr, QString::fromUtf8(e.what()));
  } catch (...) {
    QtDialogs().ShowError(nullptr, QString());
  }
  return 1;
}
