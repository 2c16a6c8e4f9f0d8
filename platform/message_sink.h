// Message boxes as the core sees them. The windowed program shows them as modal boxes, the
// command line prints them, tests record them and answer as scripted.
#pragma once

#include <string>

namespace quillon {

// Caption of every box that has none of its own.
inline constexpr char16_t kApplicationName[] = u".\\ZEPQuillon.htm";

enum class MessageIcon { kNone, kExclamation, kInformation, kError };
enum class MessageButtons { kOk, kYesNo };
enum class MessageAnswer { kOk, kYes, kNo, kDismissed };

struct Message {
  std::u16string text;
  std::u16string caption;  // empty: the application name
  MessageIcon icon = MessageIcon::kExclamation;
  MessageButtons buttons = MessageButtons::kOk;
  // What really happened, where the text cannot say it (a host name that did not resolve, the
  // caster's own reply): the command line prints it as a line of its own, a box shows it as its
  // detailed text. Empty when there is nothing to add.
  std::u16string detail{};
};

class MessageSink {
 public:
  virtual ~MessageSink() = default;

  // Shows `message` and blocks the calling thread (any thread) until it is answered.
  virtual MessageAnswer Show(const Message& message) = 0;

  // Closes every box that is waiting for an answer, answering it kDismissed, so that a worker
  // blocked in Show goes on. Called by the stop sequence.
  virtual void DismissAll() = 0;
};

}  // namespace quillon
