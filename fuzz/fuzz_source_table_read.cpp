// Plays a caster that sends the fuzzer's bytes and closes, and reads them as the fallback
// request's answer (which may be a version 1 table or an HTTP one) into a small store. Whatever
// comes, the result is one of the reader's, the store stays within its limit and holds no NUL
// byte, and a table that ended badly keeps only whole lines.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ntrip/requests.h"
#include "ntrip/source_table_read.h"

namespace {

constexpr std::size_t kLimit = 2048;

// Time passes only when the reader waits: a wait for nothing, or a sleep, moves it on at once.
class InstantClock final : public quillon::Clock {
 public:
  std::uint32_t TickCount() override { return tick_; }
  std::time_t Now() override { return 0; }
  void Sleep(std::uint32_t ms) override { tick_ += ms; }
  int WaitReadable(int fd, std::uint32_t ms) override {
    pollfd readable{fd, POLLIN, 0};
    const int ready = ::poll(&readable, 1, 0);
    if (ready == 0) tick_ += ms;
    return ready;
  }
  int WaitWritable(int /*fd*/, std::uint32_t /*ms*/) override { return 1; }

 private:
  std::uint32_t tick_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int fds[2];
  if (size > 64 * 1024 || socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  quillon::CasterSocket socket;  // closes fds[0]
  socket.Set(fds[0]);
  const bool written = ::write(fds[1], data, size) == static_cast<ssize_t>(size);
  ::shutdown(fds[1], SHUT_WR);
  if (written) {
    InstantClock clock;
    std::string store;
    quillon::PlainCasterStream stream(socket);
    const quillon::TableRead result =
        quillon::ReadSourceTable(stream, store, quillon::kSourceTableRequest,
                                 quillon::TableStatus::kSourceTableOrHttp, clock, kLimit);
    if (store.size() > kLimit || store.find('\0') != std::string::npos) std::abort();
    if (quillon::TableArrived(result) && result != quillon::TableRead::kComplete &&
        !store.empty() && store.back() != '\n' && store.back() != '\r') {
      std::abort();
    }
    if (quillon::DescribeTableRead(result, store, kLimit).empty() !=
        (result == quillon::TableRead::kComplete)) {
      std::abort();
    }
  }
  ::close(fds[1]);
  return 0;
}
