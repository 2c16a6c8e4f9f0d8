// Message boxes on a terminal: errors on standard error as "Error: <text>", questions as
// "Warning: <text>" (answered Yes, as nobody is there to answer), each followed by its detail
// on a line of its own when it has one.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/message_sink.h"

namespace quillon::cli {

class ConsoleMessageSink final : public MessageSink {
 public:
  explicit ConsoleMessageSink(std::FILE* out = stderr) : out_(out) {}

  MessageAnswer Show(const Message& message) override;
  void DismissAll() override {}

 private:
  std::FILE* out_;
  std::mutex mutex_;
};

// The message text as one terminal line block: CR LF and lone CRs become line feeds.
std::string TerminalText(std::u16string_view text);

}  // namespace quillon::cli
