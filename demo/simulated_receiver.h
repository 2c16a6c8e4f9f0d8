// A GNSS receiver on a pseudo-terminal. The program opens DevicePath() as its serial port; the
// simulated receiver records every byte the program writes (the correction stream) and writes
// NMEA back. It is used by the tests and by `quillon demo`.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/clock.h"

namespace quillon {

// A "$GPGGA,...*hh\r\n" sentence with a valid checksum: UTC time of `time`, the position in
// degrees (south and west negative), fix quality 1, 8 satellites, HDOP 0.9, 100.0 m altitude.
std::string MakeGgaSentence(std::time_t time, double latitude, double longitude);

struct SimulatedReceiverConfig {
  // When above 0, a GGA sentence every this many milliseconds of the clock (the first one at
  // once). The clock is only read, never slept on, so a virtual clock's time is not disturbed.
  std::uint32_t ggaIntervalMs = 0;
  double latitude = 52.52;
  double longitude = 13.40;
};

class SimulatedReceiver {
 public:
  // Opens the pseudo-terminal pair in raw mode and starts the thread.
  // Throws std::system_error when no pseudo-terminal can be had.
  explicit SimulatedReceiver(Clock& clock, SimulatedReceiverConfig config = {});
  // Stops and joins the thread, closes whatever is still open.
  ~SimulatedReceiver();

  SimulatedReceiver(const SimulatedReceiver&) = delete;
  SimulatedReceiver& operator=(const SimulatedReceiver&) = delete;

  // The device the program opens, such as "/dev/pts/5".
  const std::string& DevicePath() const { return devicePath_; }

  // Queues `bytes` to be written to the program, after anything queued before (GGA sentences
  // share the queue, so the order is kept).
  void Emit(std::string_view bytes);

  // Everything the program has written to the receiver, and everything written to the program
  // so far (queued bytes count once they are in the terminal).
  std::string Received() const;
  std::string Emitted() const;

  // Wait with a real-time limit until that many bytes have been received / emitted.
  bool WaitForReceived(std::size_t bytes, std::chrono::milliseconds timeout) const;
  bool WaitForEmitted(std::size_t bytes, std::chrono::milliseconds timeout) const;

  // The receiver is unplugged: both ends of the pseudo-terminal are closed, the device path
  // disappears, and the program's reads and writes on its open descriptor fail from now on.
  // Queued bytes are dropped. Idempotent.
  void Disappear();

 private:
  void Run();
  void Wake();
  void Generate();             // queues the GGA sentence now due; mutex_ held
  void CloseTerminalLocked();  // mutex_ held

  Clock& clock_;
  std::string devicePath_;
  int wakePipe_[2] = {-1, -1};

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the master never sees a hang-up between the program's opens
  bool stopping_ = false;
  bool disappearing_ = false;
  SimulatedReceiverConfig config_;
  bool ggaStarted_ = false;
  std::uint32_t nextGga_ = 0;
  std::string queue_;  // waiting to be written to the program
  std::string received_;
  std::string emitted_;
  std::thread thread_;
};

}  // namespace quillon
