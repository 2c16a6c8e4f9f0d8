#include "app/ui/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>

#include "app/ui/dialog.h"
#include "app/ui/handheld.h"
#include "app/ui/zep_quillon_app.h"
#include "app/ui/zep_quillon_view.h"
#include "common/strings.h"

namespace quillon::ui {

QString FrameTitle() {
  const QString entry = QString::fromStdU16String(LoadString(kStrDocumentTemplate));
  return entry.section(QLatin1Char('\n'), 0, 0);
}

CMainFrame::CMainFrame(CZEPQuillonApp& app) : app_(app) {
  setWindowTitle(FrameTitle());
  setWindowIcon(ProgramIcon());
  view_ = new CZEPQuillonView(app_, this);
  setCentralWidget(view_);

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  const auto command = [this](QMenu* menu, const QString& text, int id) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
  };
  command(help, QStringLiteral("&Help Topics..."), kIdHelpTopics);
  help->addSeparator();
  command(help, QStringLiteral("&About ZEP Quillon..."), kIdAppAbout);

  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, [this] {
    // A dialog over the frame takes the help request itself.
    for (const Dialog* dialog : findChildren<Dialog*>()) {
      if (dialog->isVisible()) return;
    }
    OnCommand(kIdHelp);
  });

  resize(kHandheldScreen);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
  }
  SetMainWindow(this);
}

CMainFrame::~CMainFrame() {
  if (MainWindow() == this) SetMainWindow(nullptr);
}

bool CMainFrame::OnCommand(int id) {
  switch (id) {
    case kIdHelpTopics:
      app_.OnHelpTopics();
      return true;
    case kIdAppAbout:
      app_.OnAppAbout();
      return true;
    case kIdHelp:
      OnHelp();
      return true;
    default:
      return false;
  }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  Dialog* top = Dialog::TopModal();
  if (top == nullptr) {
    QMainWindow::closeEvent(event);
    return;
  }
  // A dialog ended under its worker would leave the worker reading what the dialog held.
  static_cast<QDialog*>(top)->reject();
  if (top->isVisible() || Dialog::ModalDepth() > 1) {
    event->ignore();
    return;
  }
  QMainWindow::closeEvent(event);
}

void CMainFrame::OnHelp() {
  app_.Messages().Show({u"Help", u"", MessageIcon::kNone, MessageButtons::kOk});
}

}  // namespace quillon::ui
