// Message boxes of the windowed program: modal QMessageBoxes on the user-interface thread, for
// callers on any thread.
//
// A call from the user-interface thread shows the box and runs a local event loop until it is
// answered. A call from a worker posts the box to the user-interface thread, which shows it
// without blocking (so a user-interface thread that is itself waiting, for example in the stop
// sequence, goes on), and the worker waits for the answer.
//
// DismissAll answers every box that is open or still on its way kDismissed and closes it. So
// that a worker can be joined right after it, a box that a worker asks for after DismissAll is
// answered kDismissed at once until the user-interface thread next handles its events.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/message_sink.h"

namespace quillon::ui {

class QtMessageSink final : public QObject, public MessageSink {
  Q_OBJECT

 public:
  // Construct on the user-interface thread.
  QtMessageSink();
  ~QtMessageSink() override;

  MessageAnswer Show(const Message& message) override;
  void DismissAll() override;

  // Boxes asked for and not answered yet (shown or still on their way).
  std::size_t Unanswered();

  // Called on the user-interface thread right after each box has been shown, for tests that
  // look at the real box and answer it (by clicking one of its buttons).
  using BoxShownHook = std::function<void(QMessageBox&)>;
  void SetBoxShownHook(BoxShownHook hook);

 private:
  struct Request;

  void Present(const std::shared_ptr<Request>& request);
  void Complete(const std::shared_ptr<Request>& request, MessageAnswer answer);
  bool OnUiThread() const;

  std::mutex mutex_;
  std::condition_variable answered_;
  std::vector<std::shared_ptr<Request>> pending_;
  bool refusingWorkers_ = false;
  BoxShownHook boxShown_;
  std::vector<QPointer<QMessageBox>> boxes_;  // user-interface thread only
};

// The icon, title and text a box shows for `message`: the application name when the message
// has no caption, and line breaks for its CR LF pairs.
QMessageBox::Icon BoxIcon(MessageIcon icon);
QString BoxCaption(const Message& message);
QString DisplayText(std::u16string_view text);

}  // namespace quillon::ui
