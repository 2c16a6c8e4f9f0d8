#include "app/ui/notices_afterwards.h"

namespace quillon::ui {

MessageAnswer NoticesAfterwards::Show(const Message& message) {
  std::lock_guard lock(mutex_);
  kept_.push_back(message);
  return message.buttons == MessageButtons::kYesNo ? MessageAnswer::kNo : MessageAnswer::kOk;
}

void NoticesAfterwards::ShowIn(MessageSink& sink) {
  std::vector<Message> notices;
  {
    std::lock_guard lock(mutex_);
    notices.swap(kept_);
  }
  for (const Message& notice : notices) sink.Show(notice);
}

}  // namespace quillon::ui
