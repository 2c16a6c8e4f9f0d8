#include "demo/demo_caster.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "demo/demo_caster_link.h"
#include "ntrip/source_table_text.h"

namespace quillon {

namespace {

constexpr int kListenBacklog = 64;

[[noreturn]] void ThrowSystemError(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void Drain(int fd) {
  char buffer[64];
  while (::read(fd, buffer, sizeof buffer) > 0) {
  }
}

sockaddr_in Loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

}  // namespace

DemoCaster::DemoCaster(DemoCasterConfig config) : config_(std::move(config)) {
  if (config_.sourceTable.empty()) config_.sourceTable = MakeSourceTable({config_.mountPoint});
  try {
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) ThrowSystemError("pipe");
    if (::pipe2(pausePipe_, O_CLOEXEC | O_NONBLOCK) != 0) ThrowSystemError("pipe");
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) ThrowSystemError("socket");
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd_, kListenBacklog) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      ThrowSystemError("listen");
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { AcceptLoop(); });
  } catch (...) {
    CloseDescriptors();
    throw;
  }
}

DemoCaster::~DemoCaster() {
  Stop();
  CloseDescriptors();
}

void DemoCaster::CloseDescriptors() {
  CloseFd(listenFd_);
  for (int* fd : {&stopPipe_[0], &stopPipe_[1], &pausePipe_[0], &pausePipe_[1]}) CloseFd(*fd);
}

sockaddr_in DemoCaster::Address() const { return Loopback(port_); }

void DemoCaster::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
  }
  // The stop pipe is never drained: once written it wakes every wait, now and later.
  const char byte = 's';
  [[maybe_unused]] ssize_t written = ::write(stopPipe_[1], &byte, 1);
  changed_.notify_all();
  if (acceptor_.joinable()) acceptor_.join();
  // The acceptor has ended, so no thread is added any more.
  for (std::thread& thread : threads_) thread.join();
  threads_.clear();
  CloseFd(listenFd_);
  std::lock_guard lock(mutex_);
  for (int& fd : fillers_) CloseFd(fd);
  fillers_.clear();
}

void DemoCaster::Script(CasterBehaviour behaviour, int count) {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < count; ++i) script_.push_back(behaviour);
}

void DemoCaster::SetDefaultBehaviour(CasterBehaviour behaviour) {
  std::lock_guard lock(mutex_);
  defaultBehaviour_ = behaviour;
}

void DemoCaster::SetSourceTable(std::string table) {
  std::lock_guard lock(mutex_);
  config_.sourceTable = std::move(table);
}

CasterBehaviour DemoCaster::NextBehaviour() {
  if (script_.empty()) return defaultBehaviour_;
  const CasterBehaviour behaviour = script_.front();
  script_.pop_front();
  return behaviour;
}

// ---- accepting -------------------------------------------------------------------------------

void DemoCaster::AcceptLoop() {
  for (;;) {
    bool accepting;
    {
      std::lock_guard lock(mutex_);
      if (stopping_) return;
      accepting = accepting_;
      acceptorListening_ = accepting;
    }
    changed_.notify_all();

    pollfd fds[3] = {{stopPipe_[0], POLLIN, 0},
                     {pausePipe_[0], POLLIN, 0},
                     {accepting ? listenFd_ : -1, POLLIN, 0}};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[0].revents != 0) return;
    if (fds[1].revents != 0) {
      Drain(pausePipe_[0]);
      continue;
    }
    if ((fds[2].revents & POLLIN) == 0) continue;

    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC);
    if (fd < 0) continue;

    std::lock_guard lock(mutex_);
    // Our own connects that kept the queue full are no connections of the tests.
    const auto filler = std::find(fillerPorts_.begin(), fillerPorts_.end(), peer.sin_port);
    if (filler != fillerPorts_.end()) {
      fillerPorts_.erase(filler);
      ::close(fd);
      continue;
    }
    auto link = std::make_shared<Link>();
    link->fd = fd;
    link->index = links_.size();
    link->behaviour = NextBehaviour();
    link->record.behaviour = link->behaviour;
    links_.push_back(link);
    threads_.emplace_back([this, link] { Serve(*link); });
    changed_.notify_all();
  }
}

void DemoCaster::StopAccepting() {
  {
    std::unique_lock lock(mutex_);
    if (stopping_ || !accepting_) return;
    accepting_ = false;
    const char byte = 'p';
    [[maybe_unused]] ssize_t written = ::write(pausePipe_[1], &byte, 1);
    changed_.wait(lock, [this] { return !acceptorListening_ || stopping_; });
  }
  // A backlog of 0 lets one connection wait in the queue; with it taken by our own connect the
  // kernel drops every further SYN, so a client's connect blocks while its SYNs are retried.
  ::listen(listenFd_, 0);
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  sockaddr_in own = Loopback(0);
  socklen_t length = sizeof own;
  ::bind(fd, reinterpret_cast<sockaddr*>(&own), sizeof own);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&own), &length);
  {
    std::lock_guard lock(mutex_);
    fillers_.push_back(fd);
    fillerPorts_.push_back(own.sin_port);
  }
  const sockaddr_in address = Address();
  ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  // Wait until it is queued (or found to hang: then the queue was full already).
  pollfd writable{fd, POLLOUT, 0};
  ::poll(&writable, 1, 1000);
}

void DemoCaster::ResumeAccepting() {
  std::lock_guard lock(mutex_);
  if (stopping_ || accepting_) return;
  ::listen(listenFd_, kListenBacklog);
  accepting_ = true;
  // The fillers' queued ends are accepted and dropped by their port; their own ends go now.
  for (int& fd : fillers_) CloseFd(fd);
  fillers_.clear();
  const char byte = 'r';
  [[maybe_unused]] ssize_t written = ::write(pausePipe_[1], &byte, 1);
}

// ---- counters and waits ----------------------------------------------------------------------

std::size_t DemoCaster::ConnectionCount() const {
  std::lock_guard lock(mutex_);
  return links_.size();
}

std::vector<CasterConnection> DemoCaster::Connections() const {
  std::lock_guard lock(mutex_);
  std::vector<CasterConnection> records;
  for (const auto& link : links_) records.push_back(link->record);
  return records;
}

std::string DemoCaster::RequestText(std::size_t index) const {
  std::lock_guard lock(mutex_);
  return index < links_.size() ? links_[index]->record.request : std::string();
}

int DemoCaster::LoggedInClients() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(
      std::count_if(links_.begin(), links_.end(), [](const auto& link) { return link->loggedIn; }));
}

std::string DemoCaster::ReceivedFromClients() const {
  std::lock_guard lock(mutex_);
  return fromClients_;
}

std::string DemoCaster::Uploaded() const {
  std::lock_guard lock(mutex_);
  return uploaded_;
}

template <typename Condition>
bool DemoCaster::WaitFor(std::chrono::milliseconds timeout, Condition condition) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, condition);
}

bool DemoCaster::WaitForConnections(std::size_t count, std::chrono::milliseconds timeout) const {
  return WaitFor(timeout, [&] { return links_.size() >= count; });
}

bool DemoCaster::WaitForLoggedInClients(int count, std::chrono::milliseconds timeout) const {
  return WaitFor(timeout, [&] {
    return std::count_if(links_.begin(), links_.end(),
                         [](const auto& link) { return link->loggedIn; }) >= count;
  });
}

bool DemoCaster::WaitForReceivedFromClients(std::size_t bytes,
                                            std::chrono::milliseconds timeout) const {
  return WaitFor(timeout, [&] { return fromClients_.size() >= bytes; });
}

bool DemoCaster::WaitForUploaded(std::size_t bytes, std::chrono::milliseconds timeout) const {
  return WaitFor(timeout, [&] { return uploaded_.size() >= bytes; });
}

bool DemoCaster::WaitForClosed(std::size_t index, std::chrono::milliseconds timeout) const {
  return WaitFor(timeout, [&] { return index < links_.size() && !links_[index]->record.open; });
}

// ---- records ---------------------------------------------------------------------------------

std::string DemoCaster::RequestOf(Link& link) const {
  std::lock_guard lock(mutex_);
  return link.record.request;
}

std::string DemoCaster::SetKind(Link& link, RequestKind kind) {
  std::lock_guard lock(mutex_);
  link.record.kind = kind;
  return std::exchange(link.pendingEarly, std::string());
}

void DemoCaster::SetLoggedIn(Link& link, RequestKind kind) {
  {
    std::lock_guard lock(mutex_);
    link.record.kind = kind;
    link.loggedIn = true;
  }
  changed_.notify_all();
}

void DemoCaster::RecordReceived(Link& link, std::string_view bytes) {
  if (bytes.empty()) return;
  {
    std::lock_guard lock(mutex_);
    link.record.received.append(bytes);
    if (link.record.kind == RequestKind::kServer && link.upload) {
      link.upload->Feed(bytes, uploaded_);
    } else if (link.record.kind == RequestKind::kServer) {
      uploaded_.append(bytes);
    } else if (link.loggedIn) {
      fromClients_.append(bytes);
    }
  }
  changed_.notify_all();
}

void DemoCaster::CloseLink(Link& link) {
  {
    std::lock_guard sendLock(link.sendMutex);
    CloseFd(link.fd);
  }
  {
    std::lock_guard lock(mutex_);
    link.record.open = false;
    link.loggedIn = false;
  }
  changed_.notify_all();
}

}  // namespace quillon
