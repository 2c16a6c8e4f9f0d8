// What a session worker and its front end (dialog or command line) share: flags, counters,
// the lock, the owner of the worker's message boxes, the worker thread and the caster socket.
// The Rover and the Base each build their status object on this.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/great_circle.h"
#include "common/wide.h"
#include "net/caster_socket.h"
#include "ntrip/receiver_solution.h"
#include "platform/message_sink.h"
#include "session/session_lock.h"
#include "session/worker_thread.h"

namespace quillon {

// Units of the Base's status text, terminator included.
inline constexpr std::size_t kBaseStatusTextSize = 512;

// The counters are 64-bit: a base uploading for months passes 2^31 bytes within weeks.
struct SessionSnapshot {
  bool running = false;
  bool error = false;
  std::int64_t rate = 0;
  std::int64_t peak = 0;
  std::int64_t total = 0;
  std::int64_t elapsedSeconds = 0;
  bool connected = false;
  std::string streamLine;                    // what the stream holds ("RTCM 3: ..."); may be empty
  std::vector<std::string> streamWarnings;   // said on this connection, oldest first
  bool receiverStalled = false;              // see SessionStatus::receiverStalled
  std::int64_t dropped = 0;                  // see SessionStatus::dropped
  bool gaveUp = false;                       // see SessionStatus::gaveUp
  std::optional<ReceiverSolution> solution;  // see SessionStatus::solution
  SolutionTimes solutionTimes;
  std::optional<GeoPosition> receiverPosition;  // see SessionStatus::receiverPosition
};

// A write to the receiver that has waited this long for it to take a byte is shown as stalled.
inline constexpr std::uint32_t kReceiverStallShownMs = 1000;

// Every field the worker writes is here, before the worker thread: the thread's owner, which
// goes first, ends the worker while they all still exist. A mode's status object adds
// functions, never fields.
class SessionStatus {
 public:
  SessionStatus() = default;
  SessionStatus(const SessionStatus&) = delete;
  SessionStatus& operator=(const SessionStatus&) = delete;

  // 1 while a session is wanted: set by the front end before the worker starts, cleared by it
  // to ask for the stop, cleared by the worker when it gives up. Read without the lock.
  std::atomic<std::uint8_t> running{0};
  // Set by the worker when it gives up after a failure; the front end clears it.
  std::atomic<std::uint8_t> error{0};

  SessionLock lock;
  // Guarded by `lock`.
  std::int64_t rate = 0;            // bytes per second over the last measuring window
  std::int64_t peak = 0;            // highest rate seen
  std::int64_t total = 0;           // bytes since the session began
  std::int64_t elapsedSeconds = 0;  // connect time; each front end shows it its own way
  std::int64_t dropped = 0;         // bytes dropped because the caster fell behind (the Base)
  // Set by the worker once the caster has accepted its login, cleared when that connection
  // is gone; front ends report the change.
  bool connected = false;
  // What the relayed stream holds, and the warnings about it said on this connection (at most
  // one of each kind): see StreamWatch.
  std::string streamLine;
  std::vector<std::string> streamWarnings;
  // The Rover: the receiver's solution while one stands, and how it went on this connection.
  std::optional<ReceiverSolution> solution;
  SolutionTimes solutionTimes;
  // The Rover: the receiver's latest position from its GGA, for the distance to the station.
  std::optional<GeoPosition> receiverPosition;

  // Also guarded by `lock`: how the attempts go. The attempt in progress or just ended, from 1;
  // 0 before the first.
  int attempt = 0;
  // What really happened in the last failed attempt, where its text cannot say it (see
  // Message::detail); the command line prints it, the dialog leaves it out.
  std::u16string detail;
  // Connected, but the receiver link reported the receiver gone and is being opened again (the
  // Base).
  bool receiverLost = false;
  // A Rover that reconnects by itself: the seconds left before the next attempt, 0 while none is
  // awaited, and why the last attempt ended, as its message box would have said it.
  int retryInSeconds = 0;
  std::u16string reason;
  // The Base's primary caster has given up while other casters go on; its status text holds why.
  bool gaveUp = false;
  // The Base: empty while all is well; otherwise the failure text or the retry countdown, shown
  // in place of the counters.
  WideField<kBaseStatusTextSize> statusText{};

  // A write of corrections has waited kReceiverStallShownMs or more for the receiver to take a
  // byte (the Rover); cleared when the write ends. Written inside the write, without the lock.
  std::atomic<bool> receiverStalled{false};

  // Owner of the worker's message boxes; null: the worker shows none.
  std::atomic<MessageSink*> owner{nullptr};

  // The caster connection, -1 when none.
  CasterSocket socket;

  // Every field above zero, both texts empty; takes the lock.
  void Reset();
  SessionSnapshot Snapshot();

  // The worker thread, named `name` (a literal of at most 15 characters) for top, ps and
  // debuggers. Start and stop run on the front end's thread only.
  void StartWorker(std::function<void()> body, const char* name = "quillon-worker") {
    worker_.Start(std::move(body), name);
  }
  bool HasWorker() const { return worker_.Exists(); }
  // Waits up to `realMs` real milliseconds for the worker's body to have returned.
  bool WaitWorkerEnded(int realMs) { return worker_.WaitEnded(realMs); }
  // Ends the worker without the stop sequence's waits: clears running, then shuts the caster
  // socket down (a blocked connect or read returns) and dismisses any box the worker waits on,
  // again until its body has returned, with the lock let go meanwhile when the calling thread
  // holds it; then joins it. The status does not own the receiver link: a worker blocked
  // writing to it goes on only once the link is closed, so close it before (StopSession does).
  // `eachRound` runs at the start of every attempt (a few real milliseconds apart): the stop
  // sequence closes the receiver link there, a windowed front end keeps its windows painted.
  // Harmless without a worker. The status's destructor ends a worker still there the same way,
  // so that a front end that never stopped its session, or a status destroyed at exit, does not
  // wait forever; the owner of the boxes must still exist then.
  void EndWorker(const std::function<void()>& eachRound = {});

  // The worker gives up after a failure: shows `text` with `caption` (exclamation, OK) and
  // `boxDetail` (what really happened, see Message) to the owner, then sets running 0 and error 1
  // under the lock. When the stop has been asked for (running already 0) or the box was
  // dismissed by it, nothing is shown or set: the failure is the stop's own doing.
  void GiveUp(const std::u16string& text, const std::u16string& caption,
              const std::u16string& boxDetail = {});

 private:
  // Clears running, shuts the socket down, dismisses the boxes.
  void WakeWorker();

  // Last: it goes first.
  WorkerThread worker_{[this] { WakeWorker(); }};
};

}  // namespace quillon
