// Message boxes of work that runs on a helper thread while the user-interface thread is held
// (RunPainted): no box can be answered then, since the user's input waits, so a box asked for
// meanwhile would hold the helper, and with it the window, for good. This sink keeps the
// notices and shows them once the work is over.
#pragma once

#include <mutex>
#include <vector>

#include "platform/message_sink.h"

namespace quillon::ui {

class NoticesAfterwards final : public MessageSink {
 public:
  // Keeps `message` and answers at once: OK, or No for a question (as a box closed without a
  // button answers).
  MessageAnswer Show(const Message& message) override;
  void DismissAll() override {}

  // Shows the kept notices in `sink`, in order, and forgets them. User-interface thread.
  void ShowIn(MessageSink& sink);

 private:
  std::mutex mutex_;
  std::vector<Message> kept_;
};

}  // namespace quillon::ui
