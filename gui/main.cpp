// ln40util: the desktop window of the timing utility.
//
//   ln40util [--data-dir DIR] [--locale NAME]
//
// The reader is looked for at start-up among the machine's serial ports and the ports named
// in LN40UTIL_EXTRA_PORTS (how a simulated reader on a pseudo-terminal is found).
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <exception>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/data_folder.h"
#include "app/settings_file.h"
#include "icons.h"
#include "link/discovery_sysfs.h"
#include "main_window.h"
#include "qt/qt_locale.h"
#include "text/clock.h"
#include "text/codepage.h"
#include "text/error.h"

namespace {

const char* const kUsage =
    "Usage: ln40util [--data-dir DIR] [--locale NAME]\n"
    "The desktop window of the LN20/LN40 timing utility.\n"
    "\n"
    "  --data-dir DIR   the program's folder, where the logs, lists and autosave go\n"
    "                   (default: the program's own folder when writable, else\n"
    "                   $XDG_DATA_HOME/ln40util/)\n"
    "  --locale NAME    regional settings of a named locale (e.g. nb-NO) instead of the\n"
    "                   system's\n"
    "  --help           show this text\n"
    "\n"
    "Environment: LN40UTIL_SETTINGS (the settings file), LN40UTIL_EXTRA_PORTS (extra\n"
    "serial ports, colon-separated device paths, \"ln40=PATH\" for an LN40).\n";

struct Options {
  std::optional<std::string> data_dir;
  std::optional<std::string> locale;
};

Options ParseOptions(const std::vector<std::string>& args) {
  Options options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&](const std::string& name) {
      const std::string prefix = "--" + name + "=";
      if (arg.rfind(prefix, 0) == 0) return arg.substr(prefix.size());
      if (i + 1 >= args.size()) throw ln40::Error("--" + name + " wants a value");
      return args[++i];
    };
    if (arg == "--data-dir" || arg.rfind("--data-dir=", 0) == 0) {
      options.data_dir = value("data-dir");
    } else if (arg == "--locale" || arg.rfind("--locale=", 0) == 0) {
      options.locale = value("locale");
    } else {
      throw ln40::Error("unknown option '" + arg + "'");
    }
  }
  return options;
}

// SIGTERM and SIGINT as readable events on a descriptor, so the event loop takes them.
int StopSignalsDescriptor() {
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  return ::signalfd(-1, &stop_signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

}  // namespace

int main(int argc, char** argv) {
  // The help needs no display.
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    }
  }
  // Blocked before Qt starts any thread of its own, so every thread inherits the mask.
  const int stop_signals_fd = StopSignalsDescriptor();
  // Qt takes its own options (-platform, -style, ...) out of argv here.
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ln40util"));
  QApplication::setOrganizationName(QStringLiteral("vexa"));
  QApplication::setApplicationVersion(QStringLiteral("0.9.2.0"));
  QGuiApplication::setDesktopFileName(QStringLiteral("ln40util"));
  QApplication::setWindowIcon(ln40::gui::AppIcon());

  const std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const std::exception& error) {
    std::cerr << "ln40util: " << ln40::Cp1252ToUtf8(error.what()) << '\n' << kUsage;
    return 1;
  }
  try {
    ln40::gui::WindowSetup setup;
    setup.locale = options.locale ? ln40::NamedLocale(*options.locale) : ln40::SystemLocale();
    setup.data_folder = ln40::ResolveDataFolder(options.data_dir, ln40::ExecutableFolder());
    setup.settings_path = ln40::DefaultSettingsPath();
    setup.clock = std::make_unique<ln40::SystemClock>();
    setup.devices = std::make_unique<ln40::SysfsSerialDevices>(ln40::SysfsSerialDevices::FromSystem());

    ln40::gui::MainWindow window(std::move(setup));
    // SIGTERM and SIGINT close the window as its close button does: settings, final autosave,
    // the journal's close mark. A window that refuses to close is left all the same.
    QSocketNotifier stop_notifier(stop_signals_fd, QSocketNotifier::Read);
    QObject::connect(&stop_notifier, &QSocketNotifier::activated, &window, [&window, stop_signals_fd] {
      signalfd_siginfo info{};
      [[maybe_unused]] const ssize_t got = ::read(stop_signals_fd, &info, sizeof info);
      if (!window.close()) QApplication::quit();
    });
    window.show();
    return app.exec();
  } catch (const std::exception& error) {
    // The window cannot start (another station works in the data folder, a folder that
    // cannot be made): said on stderr and, on a screen, in a box.
    std::cerr << "ln40util: " << ln40::Cp1252ToUtf8(error.what()) << '\n';
    if (QGuiApplication::platformName() != QStringLiteral("offscreen")) {
      QMessageBox::critical(nullptr, QStringLiteral("ln40util"), QString::fromStdString(ln40::Cp1252ToUtf8(error.what())));
    }
    return 1;
  }
}
