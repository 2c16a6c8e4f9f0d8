#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <vector>

#include "app/ui/handheld.h"
#include "app/ui/qt_message_sink.h"
#include "app/ui/zep_quillon_app.h"
#include "app/windowed.h"
#include "platform/bluez_bluetooth_lib.h"
#include "platform/settings_folder.h"
#include "platform/udev_device_source.h"

namespace quillon {

namespace {

// A scale the user set (QT_SCALE_FACTOR=2) that would make the window taller or wider than the
// screen is brought down to one that fits: Qt reads the factor once, when its application is
// made, so a first one measures the screen and the program's own is made after it.
void FitScaleToScreen(int argc, char** argv) {
  bool set = false;
  const double scale = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&set);
  if (!set || scale <= 1.0) return;
  double fitted = scale;
  {
    // Qt takes its own arguments out of the list it is given: the program's copy keeps them.
    std::vector<char*> arguments(argv, argv + argc + 1);
    int count = argc;
    const QGuiApplication probe(count, arguments.data());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      fitted = ui::FittedScale(scale, screen->availableGeometry().size());
    }
  }
  if (fitted != scale) qputenv("QT_SCALE_FACTOR", QByteArray::number(fitted));
}

}  // namespace

int RunWindowedProgram(int argc, char** argv) {
  FitScaleToScreen(argc, argv);
  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZEPQuillon"));
  QApplication::setWindowIcon(ui::ProgramIcon());
  ui::QtMessageSink messages;
  // One Bluetooth library for the whole process: its device list and selection are shared by
  // every dialog.
  const auto bluetooth = MakeSystemBluetoothLib();
  const auto devices = MakeUdevDeviceSource();
  ui::CZEPQuillonApp app({.clock = &RealClock(), .messages = &messages, .help = ui::HelpViewer()},
                         {bluetooth.get(), devices.get(), SettingsFolder()});
  if (!app.InitInstance()) return app.ExitStatus();
  return QApplication::exec();
}

}  // namespace quillon
