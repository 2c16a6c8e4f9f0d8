#include "demo/simulated_receiver.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "ntrip/position_sentence.h"

namespace quillon {

namespace {

// Real milliseconds between two looks at the terminal and the clock.
constexpr int kPumpIntervalMs = 5;
// A program that does not read gets no more than this queued; a real receiver's output would
// be lost on the wire the same way.
constexpr std::size_t kMaxQueued = 64 * 1024;

bool Due(std::uint32_t now, std::uint32_t at) { return static_cast<std::int32_t>(now - at) >= 0; }

// "ddmm.mmmm" or "dddmm.mmmm" with its hemisphere letter.
void AppendCoordinate(std::string& out, double degrees, int degreeDigits, char positive,
                      char negative) {
  const char hemisphere = degrees < 0 ? negative : positive;
  degrees = std::fabs(degrees);
  // Round to the printed 1/10000 minute first, so 59.99999' never prints as 60.0000'.
  long long tenThousandths = std::llround(degrees * 60.0 * 10000.0);
  const long long whole = tenThousandths / (60 * 10000);
  tenThousandths -= whole * 60 * 10000;
  char text[64];  // room for any long long, so optimised builds see no truncation
  std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld,%c", degreeDigits, whole,
                tenThousandths / 10000, tenThousandths % 10000, hemisphere);
  out += text;
}

}  // namespace

std::string MakeGgaSentence(std::time_t time, double latitude, double longitude) {
  std::tm utc{};
  gmtime_r(&time, &utc);
  char clock[16];
  std::snprintf(clock, sizeof clock, "%02d%02d%02d.00", utc.tm_hour, utc.tm_min, utc.tm_sec);

  std::string body = "GPGGA,";
  body += clock;
  body += ',';
  AppendCoordinate(body, latitude, 2, 'N', 'S');
  body += ',';
  AppendCoordinate(body, longitude, 3, 'E', 'W');
  body += ",1,08,0.9,100.0,M,47.0,M,,";

  std::string sentence = "$" + body + "*";
  // Upper-case hex digits, as receivers write them.
  char tail[8];
  std::snprintf(tail, sizeof tail, "%02X\r\n", NmeaChecksum(sentence));
  return sentence + tail;
}

SimulatedReceiver::SimulatedReceiver(Clock& clock, SimulatedReceiverConfig config)
    : clock_(clock), config_(config) {
  termios raw{};
  cfmakeraw(&raw);
  cfsetispeed(&raw, B115200);
  cfsetospeed(&raw, B115200);
  char name[PATH_MAX] = {};
  if (::openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
    throw std::system_error(errno, std::generic_category(), "openpty");
  }
  devicePath_ = name;
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    const int error = errno;
    ::close(master_);
    ::close(slave_);
    throw std::system_error(error, std::generic_category(), "pipe");
  }
  thread_ = std::thread([this] { Run(); });
}

SimulatedReceiver::~SimulatedReceiver() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  Wake();
  thread_.join();
  std::lock_guard lock(mutex_);
  CloseTerminalLocked();
  ::close(wakePipe_[0]);
  ::close(wakePipe_[1]);
}

void SimulatedReceiver::Wake() {
  const char byte = 'w';
  [[maybe_unused]] ssize_t written = ::write(wakePipe_[1], &byte, 1);
}

void SimulatedReceiver::Emit(std::string_view bytes) {
  {
    std::lock_guard lock(mutex_);
    if (master_ < 0) return;
    queue_.append(bytes);
  }
  Wake();
}

std::string SimulatedReceiver::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::string SimulatedReceiver::Emitted() const {
  std::lock_guard lock(mutex_);
  return emitted_;
}

bool SimulatedReceiver::WaitForReceived(std::size_t bytes,
                                        std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return received_.size() >= bytes; });
}

bool SimulatedReceiver::WaitForEmitted(std::size_t bytes, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return emitted_.size() >= bytes; });
}

void SimulatedReceiver::Disappear() {
  {
    std::unique_lock lock(mutex_);
    if (master_ < 0) return;
    // The thread closes the descriptors itself, so none is closed under its poll or read.
    disappearing_ = true;
  }
  Wake();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return master_ < 0; });
}

void SimulatedReceiver::CloseTerminalLocked() {
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
  queue_.clear();
  disappearing_ = false;
}

void SimulatedReceiver::Generate() {
  const std::uint32_t now = clock_.TickCount();
  if (config_.ggaIntervalMs > 0) {
    if (!ggaStarted_) {
      nextGga_ = now;
      ggaStarted_ = true;
    }
    if (Due(now, nextGga_)) {
      if (queue_.size() < kMaxQueued) {
        queue_ += MakeGgaSentence(clock_.Now(), config_.latitude, config_.longitude);
      }
      // From now, not from when it was due: a clock that jumps gets one sentence, not a burst.
      nextGga_ = now + config_.ggaIntervalMs;
    }
  }
}

void SimulatedReceiver::Run() {
  for (;;) {
    int master;
    bool wantWrite;
    bool paced;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      if (disappearing_) {
        CloseTerminalLocked();
        changed_.notify_all();
      }
      master = master_;
      if (master >= 0) Generate();
      wantWrite = !queue_.empty();
      paced = config_.ggaIntervalMs > 0;
    }

    // Only this thread closes the terminal, so `master` stays valid outside the lock.
    pollfd fds[2] = {{wakePipe_[0], POLLIN, 0},
                     {master, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}};
    const int ready = ::poll(fds, master >= 0 ? 2 : 1, paced && master >= 0 ? kPumpIntervalMs : -1);
    if (ready < 0 && errno != EINTR) return;
    if (fds[0].revents != 0) {
      char drain[64];
      while (::read(wakePipe_[0], drain, sizeof drain) > 0) {
      }
    }
    if (master < 0) continue;

    // A bounded amount a round: a program that writes without pause must not keep the
    // receiver from putting out its own bytes.
    constexpr int kMostReadsPerRound = 4;
    char buffer[4096];
    ssize_t n;
    for (int reads = 0; reads < kMostReadsPerRound && (n = ::read(master, buffer, sizeof buffer)) > 0;
         ++reads) {
      std::lock_guard lock(mutex_);
      received_.append(buffer, static_cast<std::size_t>(n));
      changed_.notify_all();
    }

    std::lock_guard lock(mutex_);
    if (!queue_.empty()) {
      n = ::write(master, queue_.data(), queue_.size());
      if (n > 0) {
        emitted_.append(queue_, 0, static_cast<std::size_t>(n));
        queue_.erase(0, static_cast<std::size_t>(n));
        changed_.notify_all();
      }
    }
  }
}

}  // namespace quillon
