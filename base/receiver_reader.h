// The Base's one reader of the receiver. It reads the link on a thread of its own as soon as
// bytes come and hands them to a fan-out, so that each caster (and the log) takes them at its own
// pace: a caster that logs in, counts down, stalls or refuses holds none of the others up.
//
// The thread waits only for bytes or for its end, never for a time. What is timed, the watchdog
// and opening a lost receiver again, is done by Watch on the primary caster's worker and clock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "base/base_settings.h"
#include "link/com_link.h"
#include "platform/clock.h"
#include "platform/message_sink.h"
#include "session/fan_out.h"
#include "session/session_status.h"
#include "session/stream_watch.h"

namespace quillon {

// Longest silence of the receiver before its link is closed and opened again.
inline constexpr std::uint32_t kReceiverWatchdogMs = 25000;
// How often a link that reported the receiver gone is opened again.
inline constexpr std::uint32_t kReceiverReopenMs = 5000;
// Most bytes taken from the receiver at a time.
inline constexpr std::size_t kUploadChunkSize = 1024;

class ReceiverReader {
 public:
  // What the stream holds, and whether the receiver is lost, go into `status` (the primary's).
  ReceiverReader(ComLink& link, Clock& clock, BaseSettings& settings, SessionStatus& status,
                 FanOut& outputs);
  // Ends the thread; the link stays as it is.
  ~ReceiverReader();
  ReceiverReader(const ReceiverReader&) = delete;
  ReceiverReader& operator=(const ReceiverReader&) = delete;

  // Opens the link when no serial device is open (a Bluetooth link every time); `owner`, when
  // given, shows why it did not.
  LinkOpen Open(MessageSink* owner);
  // The watchdog is wound up at tick `now`: an upload begins.
  void Begin(std::uint32_t now);
  // At tick `now`: what the stream holds into the status; a receiver silent for kReceiverWatchdogMs
  // gets its link closed and opened again (no message); a lost one is opened again every
  // kReceiverReopenMs.
  void Watch(std::uint32_t now);

 private:
  void Run();
  // Everything the receiver has waiting, a bounded number of chunks; false when nothing came.
  bool ReadWaiting();
  void Reopen();
  void Lose();
  void Wake();

  ComLink& link_;
  Clock& clock_;
  BaseSettings& settings_;
  SessionStatus& status_;
  FanOut& outputs_;
  StreamWatch watch_{StreamSide::kBase};  // what the upload holds, and what is wrong with it

  // Between the reader and Watch: the link's open and reads (a read may wait a little for
  // bytes), and the watch, which only a reopen has to wait for.
  std::mutex linkMutex_;
  std::mutex watchMutex_;
  std::array<std::uint8_t, kUploadChunkSize> chunk_{};
  const int wake_;
  std::atomic<bool> ending_{false};
  std::atomic<bool> lost_{false};
  std::atomic<std::uint32_t> lastReceipt_{0};
  std::atomic<std::uint32_t> lastReopen_{0};
  std::thread thread_;  // last: it goes first
};

}  // namespace quillon
