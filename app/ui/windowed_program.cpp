#include <QApplication>

#include "app/ui/handheld.h"
#include "app/ui/qt_message_sink.h"
#include "app/ui/zep_quillon_app.h"
#include "app/windowed.h"

namespace quillon {

int RunWindowedProgram(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ZEPQuillon"));
  QApplication::setWindowIcon(ui::ProgramIcon());
  ui::QtMessageSink messages;
  ui::CZEPQuillonApp app({.clock = &RealClock(), .messages = &messages, .help = ui::HelpViewer()});
  if (!app.InitInstance()) return app.ExitStatus();
  return QApplication::exec();
}

}  // namespace quillon
