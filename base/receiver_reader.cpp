#include "base/receiver_reader.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>
#include <system_error>

#include "common/baud.h"

namespace quillon {
namespace {

// The most chunks taken from the receiver in one pass, so that Watch gets the link in between.
constexpr int kMostChunksPerPass = 64;
// After a pass that found nothing on a link that said it had bytes, the reader looks again only
// this many real milliseconds later, so that such a link is not spun on.
constexpr int kEmptyPassPauseMs = 5;

}  // namespace

ReceiverReader::ReceiverReader(ComLink& link, Clock& clock, BaseSettings& settings,
                               SessionStatus& status, FanOut& outputs)
    : link_(link),
      clock_(clock),
      settings_(settings),
      status_(status),
      outputs_(outputs),
      wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (wake_ < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
  watch_.Begin(status_, clock_.TickCount());
  thread_ = std::thread([this] {
    pthread_setname_np(pthread_self(), "quillon-read");  // for top, ps and debuggers
    Run();
  });
}

ReceiverReader::~ReceiverReader() {
  ending_.store(true);
  Wake();
  thread_.join();
  close(wake_);
}

void ReceiverReader::Wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(wake_, &one, sizeof one);
}

LinkOpen ReceiverReader::Open(MessageSink* owner) {
  // A serial link stays open across attempts; a Bluetooth link never counts as open here and
  // is opened again every time.
  std::lock_guard guard(linkMutex_);
  if (link_.IsComPortOpen() && !lost_.load()) return LinkOpen{true, {}, {}};
  LinkOpen open =
      link_.OpenComPort(owner, settings_.comPortName, BaudRateForIndex(settings_.baudIndex));
  if (open) {
    lost_.store(false);
    Wake();
  }
  return open;
}

void ReceiverReader::Begin(std::uint32_t now) { lastReceipt_.store(now); }

void ReceiverReader::Run() {
  while (!ending_.load()) {
    std::array<pollfd, 2> entries = {
        {{wake_, POLLIN, 0}, {lost_.load() ? -1 : link_.ReadyHandle(), POLLIN, 0}}};
    if (poll(entries.data(), entries.size(), -1) < 0 && errno != EINTR) return;
    if (entries[0].revents != 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t read = ::read(wake_, &count, sizeof count);
      continue;
    }
    if (entries[1].revents != 0 && !ReadWaiting()) poll(entries.data(), 1, kEmptyPassPauseMs);
  }
}

bool ReceiverReader::ReadWaiting() {
  std::lock_guard guard(linkMutex_);
  const std::uint32_t now = clock_.TickCount();
  bool any = false;
  for (int read = 0; read < kMostChunksPerPass && !lost_.load(); ++read) {
    const std::int32_t count = link_.ReadComPort(chunk_.data(), chunk_.size());
    if (count < 0) {
      Lose();
      break;
    }
    if (count == 0) break;
    any = true;
    const std::string_view block(reinterpret_cast<const char*>(chunk_.data()),
                                 static_cast<std::size_t>(count));
    {
      std::lock_guard watchGuard(watchMutex_);
      watch_.Scan(block, now);
    }
    outputs_.Deliver(block);
    if (static_cast<std::size_t>(count) < chunk_.size()) break;
  }
  if (any) lastReceipt_.store(now);
  return any;
}

void ReceiverReader::Lose() {
  // Unplugged or out of range: the casters stay connected while Watch opens the link again.
  link_.CloseComPort();
  lost_.store(true);
  lastReopen_.store(clock_.TickCount());
  std::lock_guard guard(status_.lock);
  status_.receiverLost = true;
}

void ReceiverReader::Reopen() {
  std::lock_guard guard(linkMutex_);
  link_.CloseComPort();
  link_.OpenComPort(nullptr, settings_.comPortName, BaudRateForIndex(settings_.baudIndex));
  Wake();
}

void ReceiverReader::Watch(std::uint32_t now) {
  {
    // Also while the receiver is silent: a warning may be due.
    std::lock_guard guard(watchMutex_);
    watch_.Publish(status_, now);
  }
  if (lost_.load()) {
    if (now - lastReopen_.load() < kReceiverReopenMs) return;
    lastReopen_.store(now);
    {
      std::lock_guard guard(linkMutex_);
      if (!link_.OpenComPort(nullptr, settings_.comPortName,
                             BaudRateForIndex(settings_.baudIndex))) {
        return;
      }
      // Shown back before the reader takes its bytes, so that nothing uploaded is shown lost.
      {
        std::lock_guard statusGuard(status_.lock);
        status_.receiverLost = false;
      }
      lost_.store(false);
      lastReceipt_.store(clock_.TickCount());
      Wake();
    }
    return;
  }
  // Compared as signed values, so that a tick count that wraps moves the mark on instead of
  // firing the watchdog; the difference is taken wide so that it cannot overflow.
  const auto signedNow = static_cast<std::int32_t>(now);
  const auto signedLast = static_cast<std::int32_t>(lastReceipt_.load());
  if (signedNow <= signedLast) {
    lastReceipt_.store(now);
  } else if (std::int64_t{signedNow} - signedLast > kReceiverWatchdogMs) {
    Reopen();
    lastReceipt_.store(clock_.TickCount());
  }
}

}  // namespace quillon
