#include "app/ui/dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/ui/combo.h"
#include "app/ui/handheld.h"
#include "app/ui/wait.h"

namespace quillon::ui {
namespace {

std::vector<Dialog*> modalStack;  // user-interface thread only

}  // namespace

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
    // Reached with Tab after the last control; a click leaves the keyboard where it was.
    titleOk_->setFocusPolicy(Qt::TabFocus);
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

Dialog::~Dialog() {
  std::erase(modalStack, this);
  LeaveHost();
}

int Dialog::DoModal() {
  // While this dialog covers the one below, that one's controls are disabled and lose the
  // keyboard; it takes its Ctrl and Alt keys only through a control of its own, so the keyboard
  // goes back to where it was.
  const QPointer<QWidget> hadFocus = QApplication::focusWidget();
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
  modalStack.push_back(this);
  exec();
  std::erase(modalStack, this);
  LeaveHost();
  if (Dialog* below = TopModal()) {
    below->GiveFocusBack(hadFocus);
  } else if (hadFocus != nullptr && hadFocus->isEnabled() && hadFocus->isVisible()) {
    hadFocus->setFocus(Qt::OtherFocusReason);
  }
  return result();
}

void Dialog::GiveFocusBack(QWidget* had) {
  if (had != nullptr && isAncestorOf(had) && had->isEnabled() && had->isVisible()) {
    had->setFocus(Qt::OtherFocusReason);
  } else {
    FocusInitialControl();
  }
}

QMenu* Dialog::TitleMenu() {
  if (titleMenu_ != nullptr || titleRow_ == nullptr) return titleMenu_;
  auto* button = new QToolButton(titleRow_);
  button->setText(tr("Menu"));
  button->setFocusPolicy(Qt::NoFocus);  // the keyboard has the menu's shortcuts
  button->setPopupMode(QToolButton::InstantPopup);
  titleMenu_ = new QMenu(button);
  button->setMenu(titleMenu_);
  auto* row = static_cast<QHBoxLayout*>(titleRow_->layout());
  row->insertWidget(row->indexOf(titleOk_), button);
  return titleMenu_;
}

Dialog* Dialog::TopModal() { return modalStack.empty() ? nullptr : modalStack.back(); }

std::size_t Dialog::ModalDepth() { return modalStack.size(); }

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

QWidget& Dialog::Existing(int id) const {
  QWidget* control = Item(id);
  // A wrong id is a mistake in the dialog's own code; the tests run every one.
  if (control == nullptr) throw std::out_of_range("no control " + std::to_string(id));
  return *control;
}

QString Dialog::ItemText(int id) const {
  QWidget& control = Existing(id);
  if (auto* edit = qobject_cast<QLineEdit*>(&control)) return edit->text();
  if (auto* combo = qobject_cast<QComboBox*>(&control)) return combo->currentText();
  if (auto* label = qobject_cast<QLabel*>(&control)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(&control)) return button->text();
  return {};
}

void Dialog::SetItemText(int id, const QString& text) {
  QWidget& control = Existing(id);
  if (auto* edit = qobject_cast<QLineEdit*>(&control)) edit->setText(text);
  if (auto* combo = qobject_cast<QComboBox*>(&control); combo && combo->isEditable()) {
    combo->setEditText(text);
  }
  if (auto* label = qobject_cast<QLabel*>(&control)) label->setText(text);
  if (auto* button = qobject_cast<QAbstractButton*>(&control)) button->setText(text);
}

void Dialog::LimitText(int id, int maxLength) {
  QWidget& control = Existing(id);
  if (auto* edit = qobject_cast<QLineEdit*>(&control)) edit->setMaxLength(maxLength);
  if (auto* combo = qobject_cast<QComboBox*>(&control); combo && combo->lineEdit()) {
    combo->lineEdit()->setMaxLength(maxLength);
  }
}

void Dialog::EnableItem(int id, bool enable) { Existing(id).setEnabled(enable); }

void Dialog::ShowItem(int id, bool show) { Existing(id).setVisible(show); }

bool Dialog::IsChecked(int id) const {
  const auto* button = qobject_cast<QAbstractButton*>(&Existing(id));
  return button != nullptr && button->isChecked();
}

void Dialog::SetChecked(int id, bool checked) {
  if (auto* button = qobject_cast<QAbstractButton*>(&Existing(id))) button->setChecked(checked);
}

void Dialog::ResetContent(int id) {
  if (auto* combo = qobject_cast<QComboBox*>(&Existing(id))) combo->clear();
}

void Dialog::AddString(int id, const QString& text) {
  if (auto* combo = qobject_cast<QComboBox*>(&Existing(id))) combo->addItem(text);
}

void Dialog::SetCurSel(int id, int index) {
  auto* combo = qobject_cast<QComboBox*>(&Existing(id));
  if (combo == nullptr) return;
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  if (combo->currentIndex() < 0 && combo->isEditable()) combo->setEditText(QString());
}

int Dialog::GetCurSel(int id) const {
  const auto* combo = qobject_cast<QComboBox*>(&Existing(id));
  return combo == nullptr ? -1 : SelectionIndex(*combo);
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

QAbstractButton* Dialog::DefaultButton() const {
  if (auto* button = Control<QAbstractButton>(defaultButton_)) return button;
  return defaultButton_ == kIdOk ? titleOk_ : nullptr;
}

void Dialog::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != 0) {
    QDialog::keyPressEvent(event);
    return;
  }
  // Qt keeps its default button only for a dialog that is a window of its own, which inside the
  // main window this one is not: Enter presses the focused push button, else the default one.
  QAbstractButton* button = qobject_cast<QPushButton*>(focusWidget());
  if (button == nullptr || !isAncestorOf(button)) button = DefaultButton();
  if (button != nullptr && button->isEnabled() && button->isVisible()) button->click();
}

void Dialog::accept() {
  if (!UiThreadHeld()) OnOK();
}

void Dialog::reject() {
  if (!UiThreadHeld()) OnCancel();
}

bool Dialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == host_ && event->type() == QEvent::Resize) setGeometry(host_->rect());
  if (event->type() == QEvent::KeyRelease) keyTarget_ = nullptr;
  if (event->type() == QEvent::KeyPress && IsSystemKey(watched, event)) return true;
  return QDialog::eventFilter(watched, event);
}

bool Dialog::IsSystemKey(QObject* watched, QEvent* event) {
  auto* target = qobject_cast<QWidget*>(watched);
  if (target == nullptr || (target != this && !isAncestorOf(target))) return false;
  // A key that its first receiver ignores travels on to the parents: it counts once.
  if (event == keyEvent_ && keyTarget_ != nullptr && keyTarget_ != target &&
      target->isAncestorOf(keyTarget_)) {
    return false;
  }
  keyEvent_ = event;
  keyTarget_ = target;
  const auto* key = static_cast<QKeyEvent*>(event);
  const Qt::KeyboardModifiers held = key->modifiers();
  const int code = key->key();
  const bool modifierKey = code == Qt::Key_Control || code == Qt::Key_Alt ||
                           code == Qt::Key_Shift || code == Qt::Key_Meta;
  if ((held & (Qt::ControlModifier | Qt::AltModifier)) == 0 || modifierKey) return false;
  QMetaObject::invokeMethod(
      this, [this, code] { DeliverSystemKey(code); }, Qt::QueuedConnection);
  // Alt with a character is a system key, not typing: the character goes into no edit.
  return (held & Qt::ControlModifier) == 0 && !key->text().isEmpty() && key->text()[0].isPrint();
}

void Dialog::Register(int id, QWidget* control) {
  if (id != kNoId) controls_[id] = control;
  if (auto* button = qobject_cast<QAbstractButton*>(control); button != nullptr && id != kNoId) {
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  }
  if (auto* combo = qobject_cast<QComboBox*>(control); combo != nullptr && id != kNoId) {
    connect(combo, &QComboBox::activated, this, [this, id] { OnSelChange(id); });
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

void Dialog::DeliverSystemKey(int key) {
  // A key that came in just before a hold waits for its end, as the message would wait behind
  // the blocked handler: a dialog opened by it inside the hold could never be closed.
  if (UiThreadHeld()) {
    heldKeys_.push_back(key);
    return;
  }
  OnSysKeyDown(key);
}

void Dialog::DeliverHeldTicks() {
  if (UiThreadHeld()) return;
  const std::vector<int> ids(heldTicks_.begin(), heldTicks_.end());
  heldTicks_.clear();
  for (const int id : ids) {
    if (IsTimerSet(id)) OnTimer(id);
  }
  const std::vector<int> keys = std::exchange(heldKeys_, {});
  for (const int key : keys) OnSysKeyDown(key);
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
  // Keys with Ctrl or Alt reach the dialog from whichever of its controls has the focus.
  qApp->installEventFilter(this);
  FocusInitialControl();
}

void Dialog::FocusInitialControl() {
  if (QWidget* chosen = Item(initialFocus_); chosen != nullptr && chosen->isEnabled()) {
    chosen->setFocus(Qt::OtherFocusReason);
    return;
  }
  if (isWindow()) return;
  // Inside the main window the keyboard belongs to the dialog: its first control, else the title
  // row's OK, else itself.
  for (QWidget* next = nextInFocusChain(); next != this; next = next->nextInFocusChain()) {
    if (next != titleOk_ && isAncestorOf(next) && next->isEnabled() && next->isVisibleTo(this) &&
        (next->focusPolicy() & Qt::TabFocus) != 0) {
      next->setFocus(Qt::TabFocusReason);
      return;
    }
  }
  if (titleOk_ != nullptr) {
    titleOk_->setFocus(Qt::TabFocusReason);
  } else {
    setFocus(Qt::OtherFocusReason);
  }
}

void Dialog::hideEvent(QHideEvent* event) {
  qApp->removeEventFilter(this);
  QDialog::hideEvent(event);
}

}  // namespace quillon::ui
