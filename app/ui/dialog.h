// The base of every dialog: a full-screen handheld dialog on a desktop. It fills the main
// window (or stands alone at the handheld's size when there is none), shows its caption and an
// OK button in a title row, places its controls at dialog-unit positions of its font, finds them
// by their numeric ids, and routes button clicks, selection changes, system keys, OK/Cancel and
// timer ticks to handlers as the framework's dialogs do.
//
// A derived dialog creates its controls in its constructor (its "template") and fills them in
// OnInitDialog, which runs when the dialog is shown.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "app/ui/dialog_units.h"

class QAbstractButton;
class QKeyEvent;
class QLabel;
class QMenu;

namespace quillon::ui {

// The framework's command ids of the OK and Cancel buttons, also the results of EndDialog.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
// Id of controls that nothing refers to (static labels).
inline constexpr int kNoId = -1;

struct DialogTemplate {
  QString caption;       // the title row's text
  bool titleRow = true;  // false: a bare popup without title row (the splash)
};

class Dialog : public QDialog {
  Q_OBJECT

 public:
  explicit Dialog(DialogTemplate dialogTemplate, QWidget* parent = nullptr);
  ~Dialog() override;

  // Runs the dialog modally over its parent, or over the main window when it has none, and
  // returns the result given to EndDialog (Escape and closing the window are Cancel). What
  // it covers meanwhile (the menu bar, the view, a dialog below) takes no input.
  int DoModal();

  // Shows the dialog modeless as a window of its own, of the handheld screen's size.
  void Create();

  // Closes the dialog with `result`; ends DoModal.
  void EndDialog(int result);

  // Hides the dialog for good: stops its timers and runs OnDestroy once.
  void DestroyWindow();

  // Creates a control of type `Widget` at `units` (dialog units, relative to the page below
  // the title row), with `text` when the control has a text. Buttons report their clicks to
  // OnCommand(id).
  template <class Widget>
  Widget* AddControl(int id, const QRect& units, const QString& text = {});

  // The control with `id`, or null when there is none of that type.
  QWidget* Item(int id) const;
  template <class Widget>
  Widget* Control(int id) const {
    return dynamic_cast<Widget*>(Item(id));
  }

  // Controls by id, whatever their kind: the text of an edit, a combo box (its edit field or
  // selected item), a label or a button; the most characters an edit or a combo box's edit field
  // takes; enabled, shown; a tick box's state.
  QString ItemText(int id) const;
  void SetItemText(int id, const QString& text);
  void LimitText(int id, int maxLength);
  void EnableItem(int id, bool enable);
  void ShowItem(int id, bool show);
  bool IsChecked(int id) const;
  void SetChecked(int id, bool checked);

  // Combo boxes by id: empty the list, append an item, select by position (a position outside
  // the list selects nothing and empties the edit field), and the selected position, -1 when
  // nothing is selected or the text was typed over (SelectionIndex).
  void ResetContent(int id);
  void AddString(int id, const QString& text);
  void SetCurSel(int id, int index);
  int GetCurSel(int id) const;

  // The control that gets the keyboard when the dialog is shown, in place of the first one.
  void SetInitialFocus(int id) { initialFocus_ = id; }
  // The button that Enter presses when no button has the keyboard: the OK button (id kIdOk, or
  // the title row's when the dialog has none) unless another is set.
  void SetDefaultButton(int id) { defaultButton_ = id; }
  QAbstractButton* DefaultButton() const;

  // The innermost dialog that DoModal is running, or null; how many DoModal runs are nested.
  static Dialog* TopModal();
  static std::size_t ModalDepth();

  // Dialog units to pixels with this dialog's font.
  QRect ToPixels(const QRect& units) const;
  DialogBaseUnits BaseUnits() const { return baseUnits_; }

  // The area below the title row that holds the controls.
  QWidget* Page() const { return page_; }
  QPushButton* TitleOkButton() const { return titleOk_; }
  // The title row's menu, behind a "Menu" button beside OK that the first call makes.
  QMenu* TitleMenu();

  // Starts (or restarts) timer `id` with a period of `ms`; each tick calls OnTimer(id).
  void SetTimer(int id, int ms);
  void KillTimer(int id);
  bool IsTimerSet(int id) const;

  // What each period of timer `id` does: OnTimer(id), or while the user-interface thread is
  // held (WaitPainted), one tick remembered for afterwards. Tests call it to drive time.
  void DeliverTick(int id);

 protected:
  // Runs before the dialog is first shown, with its final size. Returns true.
  virtual bool OnInitDialog() { return true; }
  // A button with `id` was clicked (tick boxes too); the base handles OK and Cancel.
  virtual void OnCommand(int id);
  // The user changed the selection of combo box `id` (by the list or the arrow keys).
  virtual void OnSelChange(int /*id*/) {}
  // A key went down while Ctrl or Alt was held, in this dialog or one of its controls: `key` is
  // its Qt key code (the letters' are their capitals' character codes, so "G" is 71). It
  // arrives after the key has been handled as usual (with Ctrl), as a message posted to the
  // dialog; with Alt, a character key types nothing.
  virtual void OnSysKeyDown(int /*key*/) {}
  virtual void OnOK() { EndDialog(kIdOk); }
  virtual void OnCancel() { EndDialog(kIdCancel); }
  virtual void OnTimer(int /*id*/) {}
  virtual void OnDestroy() {}

  // The keyboard back to `had`, a control of this dialog, when it can take it again (it may
  // have been disabled meanwhile); else to the initial-focus control as at the start.
  void GiveFocusBack(QWidget* had);

  // Return and Escape, and the window's close button, come through here. While the
  // user-interface thread is held they are refused: a dialog whose worker is being stopped, or
  // whose wait is running, must not end under it.
  void accept() override;
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Register(int id, QWidget* control);
  QWidget& Existing(int id) const;
  // Posts OnSysKeyDown for a key pressed with Ctrl or Alt in this dialog; true when the key is
  // to go no further (Alt with a character).
  bool IsSystemKey(QObject* watched, QEvent* event);
  void DeliverHeldTicks();  // and held system keys
  void DeliverSystemKey(int key);
  // The keyboard to the initial-focus control, or else, inside the main window, to the first
  // control that takes it (the dialog itself when none does).
  void FocusInitialControl();
  void FillHost(QWidget* host);
  void LeaveHost();

  DialogTemplate template_;
  DialogBaseUnits baseUnits_;
  QWidget* titleRow_ = nullptr;
  QLabel* titleLabel_ = nullptr;
  QPushButton* titleOk_ = nullptr;
  QMenu* titleMenu_ = nullptr;
  QWidget* page_ = nullptr;
  std::map<int, QWidget*> controls_;
  std::map<int, QTimer*> timers_;
  std::set<int> heldTicks_;
  std::vector<int> heldKeys_;
  QPointer<QWidget> host_;
  // What was under the dialog in the main window, and whether it was enabled.
  std::vector<std::pair<QPointer<QWidget>, bool>> covered_;
  int initialFocus_ = kNoId;
  int defaultButton_ = kIdOk;
  // The key press seen last and its first receiver, until a key is released.
  const QEvent* keyEvent_ = nullptr;
  QPointer<QWidget> keyTarget_;
  bool initialised_ = false;
  bool destroyed_ = false;
};

template <class Widget>
Widget* Dialog::AddControl(int id, const QRect& units, const QString& text) {
  auto* control = new Widget(page_);
  if constexpr (requires { control->setText(text); }) {
    if (!text.isEmpty()) control->setText(text);
  }
  control->setGeometry(ToPixels(units));
  Register(id, control);
  return control;
}

}  // namespace quillon::ui
