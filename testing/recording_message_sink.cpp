#include "testing/recording_message_sink.h"

#include <chrono>

namespace quillon::testing {

MessageAnswer RecordingMessageSink::Show(const Message& message) {
  std::unique_lock lock(mutex_);
  boxes_.push_back(message);
  changed_.notify_all();
  if (hold_) {
    const auto releases = releases_;
    const auto dismissals = dismissals_;
    changed_.wait(lock, [&] { return releases_ != releases || dismissals_ != dismissals; });
    if (dismissals_ != dismissals) return MessageAnswer::kDismissed;
  }
  if (!script_.empty()) {
    const auto answer = script_.front();
    script_.pop_front();
    return answer;
  }
  return message.buttons == MessageButtons::kYesNo ? MessageAnswer::kYes : MessageAnswer::kOk;
}

void RecordingMessageSink::DismissAll() {
  std::lock_guard lock(mutex_);
  ++dismissals_;
  changed_.notify_all();
}

void RecordingMessageSink::ScriptAnswers(std::vector<MessageAnswer> answers) {
  std::lock_guard lock(mutex_);
  script_.assign(answers.begin(), answers.end());
}

void RecordingMessageSink::HoldBoxesOpen(bool hold) {
  std::lock_guard lock(mutex_);
  hold_ = hold;
}

void RecordingMessageSink::Release() {
  std::lock_guard lock(mutex_);
  ++releases_;
  changed_.notify_all();
}

bool RecordingMessageSink::WaitForBoxes(std::size_t count, int realMs) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(realMs),
                           [&] { return boxes_.size() >= count; });
}

std::vector<Message> RecordingMessageSink::Boxes() const {
  std::lock_guard lock(mutex_);
  return boxes_;
}

}  // namespace quillon::testing
