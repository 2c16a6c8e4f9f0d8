#include "ntrip/demo_caster.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "ntrip/correction_stream.h"
#include "ntrip/demo_caster_request.h"
#include "ntrip/source_table_text.h"

namespace quillon {

namespace {

constexpr int kListenBacklog = 64;
constexpr std::size_t kMaxRequestBytes = 8192;
constexpr int kStreamTickMs = 50;

constexpr std::string_view kClientToken = "ICY 200 OK\r\n";
constexpr std::string_view kServerToken = "OK\r\n";
constexpr std::string_view kHttpOk =
    "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nContent-Type: gnss/data\r\n\r\n";
constexpr std::string_view kNotFound = "HTTP/1.1 404 Not Found\r\n\r\n";
constexpr std::string_view kBadRequest = "HTTP/1.0 400 Bad Request\r\n\r\n";
constexpr std::string_view kBadPassword = "ERROR - Bad Password\r\n";
constexpr std::string_view kBadMountPoint = "ERROR - Bad Mountpoint\r\n";
// Looks like a stray TLS alert and an HTML page: holds none of the tokens a client looks for.
constexpr std::string_view kGarbage =
    "\x15\x03\x01\x00\x02\x02\x0a\xff\xfe<html><body>503 over capacity</body></html>\r\n";

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

struct DemoCaster::Link {
  std::mutex sendMutex;  // held while writing, and while closing, so `fd` is never reused under a writer
  int fd = -1;
  std::size_t index = 0;
  CasterBehaviour behaviour = CasterBehaviour::kNormal;
  // Guarded by the caster's mutex_:
  bool loggedIn = false;
  std::string pendingEarly;  // bytes that arrived behind the request's empty line
  CasterConnection record;
};

DemoCaster::DemoCaster(DemoCasterConfig config) : config_(std::move(config)) {
  if (config_.sourceTable.empty()) config_.sourceTable = MakeSourceTable({config_.mountPoint});
  if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) ThrowSystemError("pipe");
  if (::pipe2(pausePipe_, O_CLOEXEC | O_NONBLOCK) != 0) ThrowSystemError("pipe");

  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) ThrowSystemError("socket");
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listenFd_, kListenBacklog) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    CloseFd(listenFd_);
    errno = error;
    ThrowSystemError("listen");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

DemoCaster::~DemoCaster() {
  Stop();
  CloseFd(stopPipe_[0]);
  CloseFd(stopPipe_[1]);
  CloseFd(pausePipe_[0]);
  CloseFd(pausePipe_[1]);
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

// ---- one connection --------------------------------------------------------------------------

void DemoCaster::Serve(Link& link) {
  switch (link.behaviour) {
    case CasterBehaviour::kCloseAtOnce:
      break;
    case CasterBehaviour::kRawStream:
      SetLoggedIn(link, RequestKind::kNone);
      StreamLoop(link);
      break;
    default:
      if (ReadRequest(link)) Answer(link);
      break;
  }
  CloseLink(link);
}

void DemoCaster::Answer(Link& link) {
  const caster_internal::ParsedRequest request =
      caster_internal::ParseRequest(RequestOf(link));
  const std::string expected = config_.user + ":" + config_.password;
  RequestKind kind = RequestKind::kBad;
  if (request.line == caster_internal::RequestLine::kSource) {
    kind = RequestKind::kServer;
  } else if (request.line == caster_internal::RequestLine::kGet) {
    const bool client = request.mountPoint == config_.mountPoint && request.credentials &&
                        *request.credentials == expected;
    kind = client ? RequestKind::kClient : RequestKind::kSourceTable;
  }
  const std::string early = SetKind(link, kind);

  switch (link.behaviour) {
    case CasterBehaviour::kSilent:
      DrainUntilClosed(link);
      return;
    case CasterBehaviour::kGarbage:
      WriteReply(link, kGarbage, 0);
      return;
    case CasterBehaviour::kNotFound:
      WriteReply(link, kNotFound, 0);
      return;
    default:
      break;
  }

  switch (kind) {
    case RequestKind::kClient:
      ServeClient(link, early);
      return;
    case RequestKind::kServer:
      ServeServer(link, request.password, request.mountPoint, early);
      return;
    case RequestKind::kSourceTable:
      ServeSourceTable(link);
      return;
    default:
      WriteReply(link, kBadRequest, 0);
      return;
  }
}

void DemoCaster::ServeClient(Link& link, const std::string& early) {
  const bool http = link.behaviour == CasterBehaviour::kHttpStatus;
  const std::string reply = std::string(http ? kHttpOk : kClientToken) + config_.loginPayload;
  const std::size_t split = link.behaviour == CasterBehaviour::kSplitReply ? 2 : 0;
  if (!WriteReply(link, reply, split)) return;
  if (link.behaviour == CasterBehaviour::kCloseAfterLogin) return;
  // What came with the request is upstream data, counted once the client is in.
  SetLoggedIn(link, RequestKind::kClient);
  RecordReceived(link, early);
  StreamLoop(link);
}

void DemoCaster::ServeServer(Link& link, std::string_view password, std::string_view mountPoint,
                             const std::string& early) {
  if (password != config_.sourcePassword) {
    WriteReply(link, kBadPassword, 0);
    return;
  }
  if (mountPoint != config_.mountPoint) {
    WriteReply(link, kBadMountPoint, 0);
    return;
  }
  std::string_view token = kServerToken;
  if (link.behaviour == CasterBehaviour::kHttpStatus) token = kHttpOk;
  if (link.behaviour == CasterBehaviour::kIcyServerStatus) token = kClientToken;
  const std::size_t split = link.behaviour == CasterBehaviour::kSplitReply ? 1 : 0;
  RecordReceived(link, early);
  if (!WriteReply(link, token, split)) return;
  if (link.behaviour == CasterBehaviour::kCloseAfterLogin) return;
  DrainUntilClosed(link);
}

void DemoCaster::ServeSourceTable(Link& link) {
  std::string table;
  {
    std::lock_guard lock(mutex_);
    table = config_.sourceTable;
  }
  const bool http = link.behaviour == CasterBehaviour::kHttpStatus;
  std::string reply = std::string(http ? "HTTP/1.1 200 OK\r\n" : "SOURCETABLE 200 OK\r\n") +
                      "Server: NTRIP Quillon demo caster/1.0\r\n" +
                      "Content-Type: text/plain\r\n" +
                      "Content-Length: " + std::to_string(table.size()) + "\r\n\r\n" + table;
  const bool endless = link.behaviour == CasterBehaviour::kTableNeverEnds;
  if (!endless) reply += "ENDSOURCETABLE\r\n";
  // Cut inside "SOURCETABLE 200 OK", so the first part holds no complete status token.
  const std::size_t split = link.behaviour == CasterBehaviour::kSplitReply ? 15 : 0;
  if (!WriteReply(link, reply, split)) return;
  if (endless) DrainUntilClosed(link);
}

// ---- socket work -----------------------------------------------------------------------------

bool DemoCaster::ReadRequest(Link& link) {
  std::string text;
  for (;;) {
    const std::size_t end = text.find("\r\n\r\n");
    if (end != std::string::npos) {
      std::lock_guard lock(mutex_);
      link.record.request = text.substr(0, end + 4);
      link.pendingEarly = text.substr(end + 4);
      return true;
    }
    if (text.size() > kMaxRequestBytes || !WaitReadable(link.fd, -1)) break;
    char buffer[4096];
    const ssize_t n = ::recv(link.fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  std::lock_guard lock(mutex_);
  link.record.request = std::move(text);  // what came of it, for the tests to see
  return false;
}

bool DemoCaster::WaitReadable(int fd, int timeoutMs) const {
  pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {fd, POLLIN, 0}};
  for (;;) {
    const int ready = ::poll(fds, 2, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0 && fds[0].revents == 0;
  }
}

bool DemoCaster::StopRequested(int timeoutMs) const {
  pollfd stop{stopPipe_[0], POLLIN, 0};
  return ::poll(&stop, 1, timeoutMs) > 0;
}

bool DemoCaster::WriteReply(Link& link, std::string_view reply, std::size_t splitAt) {
  {
    std::lock_guard lock(mutex_);
    link.record.answered = true;
  }
  if (splitAt == 0 || splitAt >= reply.size()) return SendBytes(link, reply);
  if (!SendBytes(link, reply.substr(0, splitAt))) return false;
  if (StopRequested(static_cast<int>(config_.splitPause.count()))) return false;
  return SendBytes(link, reply.substr(splitAt));
}

bool DemoCaster::SendBytes(Link& link, std::string_view bytes) {
  std::lock_guard lock(link.sendMutex);
  while (!bytes.empty()) {
    if (link.fd < 0) return false;
    const ssize_t n = ::send(link.fd, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    // The client does not read: wait for room, or for the stop.
    pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {link.fd, POLLOUT, 0}};
    if (::poll(fds, 2, -1) < 0 && errno != EINTR) return false;
    if (fds[0].revents != 0 || (fds[1].revents & (POLLERR | POLLHUP)) != 0) return false;
  }
  return true;
}

bool DemoCaster::ReceiveOnce(Link& link, int timeoutMs, bool& closed) {
  if (!WaitReadable(link.fd, timeoutMs)) {
    closed = StopRequested(0);
    return false;
  }
  char buffer[4096];
  const ssize_t n = ::recv(link.fd, buffer, sizeof buffer, 0);
  if (n <= 0) {
    closed = !(n < 0 && errno == EINTR);
    return false;
  }
  RecordReceived(link, std::string_view(buffer, static_cast<std::size_t>(n)));
  return true;
}

void DemoCaster::DrainUntilClosed(Link& link) {
  bool closed = false;
  while (!closed) ReceiveOnce(link, -1, closed);
}

void DemoCaster::StreamLoop(Link& link) {
  const int rate = config_.streamBytesPerSecond;
  CorrectionStream stream;
  const auto start = std::chrono::steady_clock::now();
  long long sent = 0;
  bool closed = false;
  while (!closed) {
    if (rate > 0) {
      const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::steady_clock::now() - start);
      const long long due = rate * elapsed.count() / 1000 - sent;
      if (due > 0) {
        if (!SendBytes(link, stream.Next(static_cast<std::size_t>(due)))) return;
        sent += due;
      }
    }
    ReceiveOnce(link, rate > 0 ? kStreamTickMs : -1, closed);
  }
}

int DemoCaster::SendToClients(std::string_view bytes) {
  std::vector<std::shared_ptr<Link>> clients;
  {
    std::lock_guard lock(mutex_);
    for (const auto& link : links_) {
      if (link->loggedIn) clients.push_back(link);
    }
  }
  int reached = 0;
  for (const auto& link : clients) {
    if (SendBytes(*link, bytes)) ++reached;
  }
  return reached;
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
    if (link.record.kind == RequestKind::kServer) {
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
