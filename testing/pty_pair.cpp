#include "testing/pty_pair.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace quillon::testing {

PtyPair::PtyPair() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  char name[128] = {};
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    ADD_FAILURE() << "no pseudo-terminal available";
    return;
  }
  // The line settings stay as the system makes them (echo, line editing, CR/LF mapping): a
  // port that does not set its device raw corrupts the bytes, and the tests see it.
  path_ = name;
}

PtyPair::~PtyPair() { Unplug(); }

bool PtyPair::SendToProgram(const std::vector<std::uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t count = write(master_, bytes.data() + done, bytes.size() - done);
    if (count > 0) {
      done += static_cast<std::size_t>(count);
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno != EAGAIN) return false;
    pollfd entry{master_, POLLOUT, 0};
    if (poll(&entry, 1, 1000) < 0 && errno != EINTR) return false;
  }
  return true;
}

std::vector<std::uint8_t> PtyPair::ReceiveFromProgram(std::size_t count, int realMs) {
  std::vector<std::uint8_t> received;
  std::uint8_t buffer[4096];
  while (received.size() < count) {
    pollfd entry{master_, POLLIN, 0};
    const int ready = poll(&entry, 1, realMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;
    const ssize_t got = read(master_, buffer, sizeof buffer);
    if (got > 0) {
      received.insert(received.end(), buffer, buffer + got);
    } else if (got < 0 && errno == EAGAIN) {
      continue;
    } else {
      break;  // the program's side is closed
    }
  }
  return received;
}

void PtyPair::Unplug() {
  if (master_ >= 0) close(master_);
  master_ = -1;
}

}  // namespace quillon::testing
