#include "app/cli/console_message_sink.h"

#include "common/text.h"

namespace quillon::cli {

std::string TerminalText(std::u16string_view text) {
  std::string out;
  const std::string eight = WideToEightBit(text);
  for (std::size_t i = 0; i < eight.size(); ++i) {
    if (eight[i] == '\r') {
      if (i + 1 < eight.size() && eight[i + 1] == '\n') continue;
      out.push_back('\n');
    } else {
      out.push_back(eight[i]);
    }
  }
  return out;
}

MessageAnswer ConsoleMessageSink::Show(const Message& message) {
  const bool question = message.buttons == MessageButtons::kYesNo;
  std::lock_guard lock(mutex_);
  std::fprintf(out_, "%s: %s\n", question ? "Warning" : "Error",
               TerminalText(message.text).c_str());
  if (!message.detail.empty()) std::fprintf(out_, "%s\n", TerminalText(message.detail).c_str());
  std::fflush(out_);
  return question ? MessageAnswer::kYes : MessageAnswer::kOk;
}

}  // namespace quillon::cli
