// A message sink for tests: records every box and answers from a script.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/message_sink.h"

namespace quillon::testing {

class RecordingMessageSink final : public MessageSink {
 public:
  MessageAnswer Show(const Message& message) override;
  void DismissAll() override;

  // Answers given to the next boxes, in order; afterwards OK boxes get kOk and questions kYes.
  void ScriptAnswers(std::vector<MessageAnswer> answers);

  // When set, Show blocks until DismissAll or Release (a box the user leaves open).
  void HoldBoxesOpen(bool hold);
  void Release();

  // Blocks until at least `count` boxes have been shown; false after `realMs` real ms.
  bool WaitForBoxes(std::size_t count, int realMs = 10000);

  std::vector<Message> Boxes() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Message> boxes_;
  std::deque<MessageAnswer> script_;
  bool hold_ = false;
  std::uint64_t releases_ = 0;
  std::uint64_t dismissals_ = 0;
};

}  // namespace quillon::testing
