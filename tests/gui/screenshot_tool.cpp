// gui_screenshot: a picture of the real window at work, for docs/screenshot.png. It opens
// ln40util's main window as the program does (the reader found through
// LN40UTIL_EXTRA_PORTS, the settings from LN40UTIL_SETTINGS), shows the "Read times" page
// (or the page whose index is given) and, after the given time, saves what the display
// server shows of the window. gui/screenshot.sh runs it under Xvfb beside a simulated
// reader; it is not a test.
//
//   gui_screenshot OUT.png DATA_DIR MILLISECONDS [PAGE]
#include <QApplication>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <iostream>

#include "app/settings_file.h"
#include "grid_model.h"
#include "link/discovery_sysfs.h"
#include "main_window.h"
#include "text/clock.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 4 && argc != 5) {
    std::cerr << "usage: gui_screenshot OUT.png DATA_DIR MILLISECONDS [PAGE]\n";
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  std::string folder = argv[2];
  if (folder.empty() || folder.back() != '/') folder += '/';
  const int wait_ms = std::atoi(argv[3]);
  const int page = argc == 5 ? std::atoi(argv[4]) : 0;

  ln40::gui::WindowSetup setup;
  setup.data_folder = folder;
  setup.settings_path = ln40::DefaultSettingsPath();
  setup.locale = ln40::Locale::WorkedExample();
  setup.clock = std::make_unique<ln40::SystemClock>();
  setup.devices = std::make_unique<ln40::SysfsSerialDevices>(ln40::SysfsSerialDevices::FromSystem());
  ln40::gui::MainWindow window(std::move(setup));
  window.show();

  int status = 1;
  // After the start-up routine, as a user would: "Read times" on the Setup page.
  QTimer::singleShot(500, &window, [&] {
    window.findChild<QPushButton*>(QStringLiteral("SetupReadTimes"))->click();
    window.SelectPage(page);
  });
  QTimer::singleShot(wait_ms, &window, [&] {
    const QPixmap shot = window.screen()->grabWindow(window.winId());
    status = shot.save(out) ? 0 : 1;
    std::cerr << "gui_screenshot: " << window.ReadTimesModel()->rowCount() << " rows shown, "
              << (status == 0 ? "saved " : "could not save ") << out.toStdString() << '\n';
    window.close();
  });
  app.exec();
  return status;
}
