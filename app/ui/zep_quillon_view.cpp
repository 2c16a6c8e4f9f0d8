#include "app/ui/zep_quillon_view.h"

#include "app/ui/child_layout.h"
#include "app/ui/dialog_units.h"
#include "app/ui/handheld.h"
#include "app/ui/help_viewer.h"
#include "app/ui/main_frame.h"
#include "app/ui/wait.h"
#include "app/ui/zep_quillon_app.h"
#include "common/strings.h"
#include "net/data_connection.h"
#include "platform/platform_info.h"

namespace quillon::ui {
namespace {

// Where the template puts the message text (dialog units of the form's font).
const QRect kMessageUnits(5, 95, 100, 10);

// After centring, ROVER goes above the middle of the form and BASE below it.
constexpr int kRoverShiftY = -60;
constexpr int kBaseShiftY = 15;
constexpr int kMessageShiftY = 40;

void Centre(QWidget& control, const QRect& area) {
  QRect placed = control.geometry();
  placed.moveCenter(area.center());
  control.move(placed.topLeft());
}

}  // namespace

CZEPQuillonView::CZEPQuillonView(CZEPQuillonApp& app, QWidget* parent)
    : QWidget(parent),
      app_(app),
      message_(new QLabel(QStringLiteral("Message"), this)),
      rover_(new CBitmapButton(this)),
      base_(new CBitmapButton(this)),
      splash_([&app] { return app.ReadOwnerName(); },
              [&app] { app.Help().Open(QString::fromLatin1(kHelpAboutAnchor)); }) {
  setFont(DialogFont());
  rover_->setText(QStringLiteral("ROVER"));
  base_->setText(QStringLiteral("BASE"));
  message_->setGeometry(DialogUnitsToPixels(kMessageUnits, BaseUnitsOf(font())));
  connect(rover_, &QAbstractButton::clicked, this, &CZEPQuillonView::OnRover);
  connect(base_, &QAbstractButton::clicked, this, &CZEPQuillonView::OnBase);

  // The view does not exist as a window yet, so the splash has no owner to disable.
  splash_.ShowSplash(kSplashCountdownTicks, nullptr);
  WaitPainted(app.GetClock(), kStartupHoldMs);
}

bool CZEPQuillonView::OnInitialUpdate() {
  rover_->LoadBitmaps(QStringLiteral(":/res/rover_normal.png"),
                      QStringLiteral(":/res/rover_pressed.png"),
                      QStringLiteral(":/res/rover_focused.png"));
  base_->LoadBitmaps(QStringLiteral(":/res/base_normal.png"),
                     QStringLiteral(":/res/base_pressed.png"),
                     QStringLiteral(":/res/base_focused.png"));
  laidOut_ = true;
  PlaceControls();
  if (QWidget* frame = window(); frame != this)
    frame->setWindowTitle(QStringLiteral("ZEP Quillon"));
  message_->setText(QStringLiteral("Release. Version 1.0 Release"));
  message_->hide();

  if (IsPocketPC()) return true;
  app_.Messages().Show({LoadString(kStrIncompatiblePlatform), LoadString(kStrError),
                        MessageIcon::kError, MessageButtons::kOk});
  return false;
}

bool CZEPQuillonView::IsPocketPC() const { return IsPocketPCType(app_.PlatformType()); }

void CZEPQuillonView::PlaceControls() {
  // Centred, then shifted as the handheld's layout helper shifts them, every time the form
  // changes size, so the buttons stay in the middle of a resized window.
  const QRect area = rect();
  Centre(*rover_, area);
  Centre(*base_, area);
  MoveChildBy(rover_, 0, kRoverShiftY);
  MoveChildBy(base_, 0, kBaseShiftY);
  message_->setGeometry(DialogUnitsToPixels(kMessageUnits, BaseUnitsOf(font())));
  MoveChildBy(message_, 0, kMessageShiftY);
}

void CZEPQuillonView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (laidOut_) PlaceControls();
}

void CZEPQuillonView::OnRover() { RunMode(app_.RoverDialogFactory()); }

void CZEPQuillonView::OnBase() { RunMode(app_.BaseDialogFactory()); }

void CZEPQuillonView::RunMode(const ModeDialogFactory& makeDialog) {
  if (!makeDialog) return;
  std::unique_ptr<Dialog> dialog = makeDialog();
  auto connection = app_.MakeDataConnection();
  connection->EnsureConnected();
  dialog->DoModal();
  connection->Release();
  connection.reset();
  dialog.reset();
}

}  // namespace quillon::ui
