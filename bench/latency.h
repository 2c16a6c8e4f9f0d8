// What the latency benchmarks share: the receiver's end of a pseudo-terminal, a caster on
// 127.0.0.1 that notes when each byte it is sent arrives, and percentiles.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace quillon::bench {

using Steady = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// The receiver's end of a pseudo-terminal, which the program opens as its serial device.
class ReceiverPty {
 public:
  ReceiverPty();
  ~ReceiverPty();
  ReceiverPty(const ReceiverPty&) = delete;
  ReceiverPty& operator=(const ReceiverPty&) = delete;

  // The device the program opens; empty when no pseudo-terminal could be had.
  const std::string& DevicePath() const { return path_; }
  // Writes without waiting, as a receiver does not wait: the number of bytes the terminal took.
  std::size_t Write(std::string_view bytes);

 private:
  int master_ = -1;
  std::string path_;
};

// A caster for one connection on 127.0.0.1. It answers the login (everything up to its first
// empty line) with `reply`, then notes when each byte the program sends arrives; with
// `burstBytes` above 0 it also sends that many bytes once a second, as a caster streams
// corrections.
class TimedCaster {
 public:
  explicit TimedCaster(std::string reply, std::size_t burstBytes = 0);
  ~TimedCaster();
  TimedCaster(const TimedCaster&) = delete;
  TimedCaster& operator=(const TimedCaster&) = delete;

  int Port() const { return port_; }
  // Waits (real time) until a login has been answered.
  bool WaitForLogin(std::chrono::milliseconds limit);
  // When the first `count` bytes after the login had all arrived; nothing when they have not
  // within `limit`.
  std::optional<Steady::time_point> WaitForBytes(std::size_t count, std::chrono::milliseconds limit);
  std::string Received() const;

 private:
  void Run();
  void Serve(int connection);

  const std::string reply_;
  const std::size_t burstBytes_;
  int listener_ = -1;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool loggedIn_ = false;
  bool stop_ = false;
  std::string received_;
  std::vector<std::pair<std::size_t, Steady::time_point>> arrivals_;  // (bytes so far, when)
  std::thread thread_;
};

double Percentile(std::vector<double> values, double p);

// Blocks relayed by a program (a session's worker or str2str) on a path the benchmark times.
struct Relayed {
  std::vector<double> latencies;  // ms from each block's send to its arrival, in order
  double cpuMsPerMinute = 0.0;    // the relaying program's CPU time
  bool exact = false;             // every block arrived, unchanged and in order
};

// "latency <label> blocks n/wanted  p50 ... ms  p99 ... ms  max ... ms"
void PrintLatency(const char* label, const std::vector<double>& values, int wanted);
// The latency line of `relayed` with its CPU line below it; a line that says so when nothing
// was measured.
void PrintRelayed(const char* label, const std::optional<Relayed>& relayed, int wanted);

}  // namespace quillon::bench
