#include <QApplication>

#include "app/ui/handheld.h"
#include "app/ui/qt_message_sink.h"
#include "app/ui/zep_quillon_app.h"
#include "app/windowed.h"
#include "platform/bluez_bluetooth_lib.h"
#include "platform/settings_folder.h"
#include "platform/udev_device_source.h"

namespace quillon {

int RunWindowedProgram(int argc, char** argv) {
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
