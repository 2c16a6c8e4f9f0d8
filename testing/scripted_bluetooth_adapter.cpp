#include "testing/scripted_bluetooth_adapter.h"

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace quillon::testing {

ScriptedAdapter::~ScriptedAdapter() {
  for (const int fd : remoteEnds_) ::close(fd);
}

bool ScriptedAdapter::Inquire(std::vector<BluetoothDevice>& found) {
  found = inquiryFinds;
  return inquirySucceeds;
}

int ScriptedAdapter::NewRfcommSocket() {
  int ends[2];
  if (!present || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return -1;
  std::lock_guard lock(mutex_);
  remoteEnds_.push_back(ends[1]);
  return ends[0];
}

int ScriptedAdapter::StartRfcommConnect(int socket, const BluetoothAddress& address,
                                        std::uint8_t channel) {
  {
    std::lock_guard lock(mutex_);
    connects_.push_back({address, channel});
  }
  if (!connectHangs) return connectSucceeds ? 0 : ECONNREFUSED;
  const int small = 1;
  ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  const char filler[256] = {};
  while (::send(socket, filler, sizeof filler, MSG_DONTWAIT | MSG_NOSIGNAL) > 0) {
  }
  connectStarted.set_value();
  return EINPROGRESS;
}

int ScriptedAdapter::RemoteEnd() {
  std::lock_guard lock(mutex_);
  return remoteEnds_.empty() ? -1 : remoteEnds_.back();
}

std::vector<ScriptedAdapter::Connect> ScriptedAdapter::Connects() {
  std::lock_guard lock(mutex_);
  return connects_;
}

}  // namespace quillon::testing
