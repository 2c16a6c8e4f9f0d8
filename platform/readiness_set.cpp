#include "platform/readiness_set.h"

#include <sys/epoll.h>
#include <unistd.h>

namespace quillon {

ReadinessSet::ReadinessSet() : epoll_(epoll_create1(EPOLL_CLOEXEC)) {}

ReadinessSet::~ReadinessSet() {
  if (epoll_ >= 0) close(epoll_);
}

void ReadinessSet::Add(int fd) {
  // Level-triggered: the set stays readable while unread bytes (or a hang-up) remain.
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP;
  event.data.fd = fd;
  if (epoll_ >= 0 && fd >= 0) epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
}

void ReadinessSet::Remove(int fd) {
  if (epoll_ >= 0 && fd >= 0) epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
}

}  // namespace quillon
