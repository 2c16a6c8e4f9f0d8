#include "app/ui/dialog.h"

#include <QAbstractButton>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

#include "app/ui/handheld.h"
#include "app/ui/wait.h"

namespace quillon::ui {

Dialog::Dialog(DialogTemplate dialogTemplate, QWidget* parent)
    : QDialog(parent), template_(std::move(dialogTemplate)) {
  setFont(DialogFont());
  baseUnits_ = BaseUnitsOf(font());
  setWindowTitle(template_.caption);
  setAutoFillBackground(true);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  if (template_.titleRow) {
    // The handheld's title bar: caption on the left, OK on the right.
    titleRow_ = new QWidget(this);
    titleRow_->setBackgroundRole(QPalette::Highlight);
    titleRow_->setForegroundRole(QPalette::HighlightedText);
    titleRow_->setAutoFillBackground(true);
    auto* row = new QHBoxLayout(titleRow_);
    row->setContentsMargins(baseUnits_.charWidth, 2, 2, 2);
    titleLabel_ = new QLabel(template_.caption, titleRow_);
    QFont bold = font();
    bold.setBold(true);
    titleLabel_->setFont(bold);
    titleLabel_->setForegroundRole(QPalette::HighlightedText);
    titleOk_ = new QPushButton(tr("OK"), titleRow_);
    titleOk_->setAutoDefault(false);
    titleOk_->setFocusPolicy(Qt::NoFocus);
    titleOk_->setFixedWidth(titleOk_->fontMetrics().horizontalAdvance(titleOk_->text()) +
                            3 * baseUnits_.charWidth);
    connect(titleOk_, &QPushButton::clicked, this, [this] { OnCommand(kIdOk); });
    row->addWidget(titleLabel_, 1);
    row->addWidget(titleOk_);
    layout->addWidget(titleRow_);
  }
  page_ = new QWidget(this);
  layout->addWidget(page_, 1);

  connect(&HoldWatcher::Instance(), &HoldWatcher::Released, this, &Dialog::DeliverHeldTicks,
          Qt::QueuedConnection);
}

Dialog::~Dialog() { LeaveHost(); }

int Dialog::DoModal() {
  QWidget* host = parentWidget() != nullptr ? parentWidget() : MainWindow();
  if (host != nullptr) {
    FillHost(host);
  } else {
    if (!isWindow()) setParent(nullptr, Qt::Dialog);
    resize(kHandheldScreen);
  }
  if (!initialised_) {
    initialised_ = true;
    OnInitDialog();
  }
  exec();
  LeaveHost();
  return result();
}

void Dialog::Create() {
  if (!isWindow()) setParent(nullptr, Qt::Dialog);
  resize(kHandheldScreen);
  if (!initialised_) {
    initialised_ = true;
    OnInitDialog();
  }
  show();
}

void Dialog::EndDialog(int result) { done(result); }

void Dialog::DestroyWindow() {
  if (destroyed_) return;
  destroyed_ = true;
  for (auto& [id, timer] : timers_) timer->stop();
  hide();
  OnDestroy();
}

QWidget* Dialog::Item(int id) const {
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second;
}

QRect Dialog::ToPixels(const QRect& units) const { return DialogUnitsToPixels(units, baseUnits_); }

void Dialog::SetTimer(int id, int ms) {
  QTimer*& timer = timers_[id];
  if (timer == nullptr) {
    timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, id] { DeliverTick(id); });
  }
  timer->start(ms);
}

void Dialog::KillTimer(int id) {
  const auto found = timers_.find(id);
  if (found != timers_.end()) found->second->stop();
  heldTicks_.erase(id);
}

bool Dialog::IsTimerSet(int id) const {
  const auto found = timers_.find(id);
  return found != timers_.end() && found->second->isActive();
}

void Dialog::OnCommand(int id) {
  if (id == kIdOk) OnOK();
  if (id == kIdCancel) OnCancel();
}

bool Dialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == host_ && event->type() == QEvent::Resize) setGeometry(host_->rect());
  return QDialog::eventFilter(watched, event);
}

void Dialog::Register(int id, QWidget* control) {
  if (id != kNoId) controls_[id] = control;
  if (auto* button = qobject_cast<QAbstractButton*>(control); button != nullptr && id != kNoId) {
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  }
}

void Dialog::DeliverTick(int id) {
  // A held thread sees no ticks; the timer is remembered and ticks once after the hold.
  if (UiThreadHeld()) {
    heldTicks_.insert(id);
    return;
  }
  OnTimer(id);
}

void Dialog::DeliverHeldTicks() {
  if (UiThreadHeld() || heldTicks_.empty()) return;
  const std::vector<int> ids(heldTicks_.begin(), heldTicks_.end());
  heldTicks_.clear();
  for (const int id : ids) {
    if (IsTimerSet(id)) OnTimer(id);
  }
}

void Dialog::FillHost(QWidget* host) {
  // As a full-screen dialog covers the handheld's screen, this one covers the main window;
  // what lies below is out of reach until the dialog ends.
  host_ = host;
  setParent(host, Qt::Widget);
  setGeometry(host->rect());
  host->installEventFilter(this);
  covered_.clear();
  for (QWidget* below : host->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (below == this || below->isWindow()) continue;
    covered_.emplace_back(below, below->isEnabled());
    below->setEnabled(false);
  }
  raise();
}

void Dialog::LeaveHost() {
  if (host_ == nullptr) return;
  host_->removeEventFilter(this);
  for (auto& [below, wasEnabled] : covered_) {
    if (below != nullptr) below->setEnabled(wasEnabled);
  }
  covered_.clear();
  host_ = nullptr;
}

void Dialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (isWindow()) return;
  // Inside the main window the keyboard belongs to the dialog: its first control, or itself.
  for (QWidget* next = nextInFocusChain(); next != this; next = next->nextInFocusChain()) {
    if (isAncestorOf(next) && next->isEnabled() && next->isVisibleTo(this) &&
        (next->focusPolicy() & Qt::TabFocus) != 0) {
      next->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  setFocus(Qt::OtherFocusReason);
}

}  // namespace quillon::ui
