// How the demo caster serves one connection: reading the request, answering it as scripted,
// then streaming, recording or waiting until the peer goes or the caster stops.
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <random>
#include <string>
#include <string_view>

#include "demo/correction_stream.h"
#include "demo/demo_caster.h"
#include "demo/demo_caster_link.h"
#include "demo/demo_caster_request.h"
#include "ntrip/chunked_body.h"
#include "ntrip/reply.h"

namespace quillon {

namespace {

using namespace std::string_view_literals;

constexpr std::size_t kMaxRequestBytes = 8192;
constexpr int kStreamTickMs = 50;
constexpr std::chrono::milliseconds kLingerTime{500};

constexpr std::string_view kHttpOk =
    "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nContent-Type: gnss/data\r\n\r\n";
constexpr std::string_view kNotFound = "HTTP/1.1 404 Not Found\r\n\r\n";
// Version 2 answers, as the NTRIP 2.0 standard's examples have them.
constexpr std::string_view kVersion2Start =
    "HTTP/1.1 200 OK\r\nNtrip-Version: Ntrip/2.0\r\nServer: NTRIP Quillon demo caster/1.0\r\n"
    "Connection: close\r\n";
constexpr std::string_view kVersion2Stream =
    "Cache-Control: no-store, no-cache, max-age=0\r\nPragma: no-cache\r\n"
    "Content-Type: gnss/data\r\nTransfer-Encoding: chunked\r\n\r\n";
constexpr std::size_t kMaxDemoChunk = 512;
constexpr std::string_view kUnauthorized =
    "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"SOURCETABLE\"\r\n"
    "Connection: close\r\n\r\n";
constexpr std::string_view kBadRequest = "HTTP/1.0 400 Bad Request\r\n\r\n";
constexpr std::string_view kBadPassword = "ERROR - Bad Password\r\n";
constexpr std::string_view kBadMountPoint = "ERROR - Bad Mountpoint\r\n";
// Looks like a stray TLS alert and an HTML page: holds none of the tokens a client looks for.
constexpr std::string_view kGarbage =
    "\x15\x03\x01\x00\x02\x02\x0a\xff\xfe<html><body>503 over capacity</body></html>\r\n"sv;

}  // namespace

// ---- one connection --------------------------------------------------------------------------

void DemoCaster::Serve(Link& link) {
  switch (link.behaviour) {
    case CasterBehaviour::kCloseAtOnce:
      break;
    case CasterBehaviour::kRawStream:
      SetLoggedIn(link, RequestKind::kNone);
      StreamLoop(link);
      break;
    case CasterBehaviour::kResetAfterRequest:
      if (ReadRequest(link)) {
        // Lingering for no time makes the close below send a reset.
        const linger reset{1, 0};
        ::setsockopt(link.fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
      }
      break;
    default:
      if (ReadRequest(link)) Answer(link);
      Linger(link);
      break;
  }
  CloseLink(link);
}

// Closing a socket with unread bytes in it resets the connection, and a reset can destroy the
// reply still on its way to the client. So the caster ends its side first and reads the
// client's last bytes for a moment before it closes.
void DemoCaster::Linger(Link& link) {
  ::shutdown(link.fd, SHUT_WR);
  const auto until = std::chrono::steady_clock::now() + kLingerTime;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !WaitReadable(link.fd, static_cast<int>(left.count()))) return;
    char buffer[4096];
    if (::recv(link.fd, buffer, sizeof buffer, 0) <= 0) return;
  }
}

void DemoCaster::Answer(Link& link) {
  const caster_internal::ParsedRequest request = caster_internal::ParseRequest(RequestOf(link));
  const std::string expected = config_.user + ":" + config_.password;
  const bool ours = request.mountPoint == config_.mountPoint;
  RequestKind kind = RequestKind::kBad;
  if (request.line == caster_internal::RequestLine::kSource) {
    kind = RequestKind::kServer;
  } else if (request.line == caster_internal::RequestLine::kPost && request.version2) {
    const bool login = request.credentials == config_.sourceUser + ":" + config_.sourcePassword;
    kind = ours && login ? RequestKind::kServer : RequestKind::kRefused;
  } else if (request.line == caster_internal::RequestLine::kGet) {
    const bool client = ours && request.credentials == expected;
    if (!request.version2) {
      kind = client ? RequestKind::kClient : RequestKind::kSourceTable;
    } else if (request.mountPoint.empty()) {
      kind = RequestKind::kSourceTable;
    } else {
      kind = client ? RequestKind::kClient : RequestKind::kRefused;
    }
  }
  // As go-gnss/ntrip does: "400 Bad Request: missing required Host header".
  if (request.hostMissing) kind = RequestKind::kBad;
  if (kind == RequestKind::kServer && request.chunked) {
    std::lock_guard lock(mutex_);
    link.upload.emplace();
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
    case CasterBehaviour::kCannedReply:
      if (!config_.cannedReply.empty()) {
        WriteReply(link, config_.cannedReply, config_.cannedSplitAt);
      }
      return;
    default:
      break;
  }

  switch (kind) {
    case RequestKind::kClient:
      ServeClient(link, early, request.version2);
      return;
    case RequestKind::kServer:
      ServeServer(link, request, early);
      return;
    case RequestKind::kSourceTable:
      if (config_.tableNeedsLogin && request.credentials != expected) {
        WriteReply(link, kUnauthorized, 0);
        return;
      }
      ServeSourceTable(link, request.version2);
      return;
    case RequestKind::kRefused:
      WriteReply(link, ours ? kUnauthorized : kNotFound, 0);
      return;
    default:
      WriteReply(link, kBadRequest, 0);
      return;
  }
}

void DemoCaster::ServeClient(Link& link, const std::string& early, bool version2) {
  const std::size_t split = link.behaviour == CasterBehaviour::kSplitReply ? 2 : 0;
  if (version2) {
    if (!WriteReply(link, std::string(kVersion2Start) + std::string(kVersion2Stream), split)) {
      return;
    }
    link.chunked = true;
    link.chunkSizes.seed(config_.chunkSeed + static_cast<unsigned>(link.index));
    if (!SendData(link, config_.loginPayload)) return;
  } else {
    const bool http = link.behaviour == CasterBehaviour::kHttpStatus;
    const std::string reply =
        std::string(http ? kHttpOk : kClientSuccessToken) + config_.loginPayload;
    if (!WriteReply(link, reply, split)) return;
  }
  if (link.behaviour == CasterBehaviour::kCloseAfterLogin) return;
  // What came with the request is upstream data, counted once the client is in.
  SetLoggedIn(link, RequestKind::kClient);
  RecordReceived(link, early);
  StreamLoop(link);
}

void DemoCaster::ServeServer(Link& link, const caster_internal::ParsedRequest& request,
                             const std::string& early) {
  // A POST's login and mount point were judged with its kind.
  const bool version2 = request.line == caster_internal::RequestLine::kPost;
  if (!version2 && request.password != config_.sourcePassword) {
    WriteReply(link, kBadPassword, 0);
    return;
  }
  if (!version2 && request.mountPoint != config_.mountPoint) {
    WriteReply(link, kBadMountPoint, 0);
    return;
  }
  const std::string version2Ok = std::string(kVersion2Start) + "\r\n";
  std::string_view token = version2 ? std::string_view(version2Ok) : kServerSuccessToken;
  if (link.behaviour == CasterBehaviour::kHttpStatus) token = kHttpOk;
  if (link.behaviour == CasterBehaviour::kIcyServerStatus) token = kClientSuccessToken;
  const std::size_t split = link.behaviour == CasterBehaviour::kSplitReply ? 1 : 0;
  RecordReceived(link, early);
  if (!WriteReply(link, token, split)) return;
  if (link.behaviour == CasterBehaviour::kCloseAfterLogin) return;
  DrainUntilClosed(link);
}

void DemoCaster::ServeSourceTable(Link& link, bool version2) {
  std::string table;
  {
    std::lock_guard lock(mutex_);
    table = config_.sourceTable;
  }
  const bool http = link.behaviour == CasterBehaviour::kHttpStatus;
  const bool endless = link.behaviour == CasterBehaviour::kTableNeverEnds;
  const bool cut = link.behaviour == CasterBehaviour::kTableCut;
  const std::string whole = table + std::string(kSourceTableEndToken) + "\r\n";
  if (version2) {
    ServeVersion2Table(link, endless || cut ? table : whole, whole.size());
    if (endless) DrainUntilClosed(link);
    return;
  }
  if (!endless && !cut) table = whole;
  const std::string reply =
      (http ? std::string("HTTP/1.1 200 OK") : std::string(kSourceTableSuccessToken)) + "\r\n" +
      "Server: NTRIP Quillon demo caster/1.0\r\n" + "Content-Type: text/plain\r\n" +
      "Content-Length: " + std::to_string(table.size()) + "\r\n\r\n" + table;
  // Cut inside "SOURCETABLE 200 OK", so the first part holds no complete status token.
  const std::size_t split = link.behaviour == CasterBehaviour::kSplitReply ? 15 : 0;
  if (!WriteReply(link, reply, split)) return;
  if (endless) DrainUntilClosed(link);
}

// A version 2 table: `body`, chunked at random sizes and then ended when it is whole (`length`
// bytes), or sent as it is under a Content-Length of `length`.
void DemoCaster::ServeVersion2Table(Link& link, const std::string& body, std::size_t length) {
  std::string head = std::string(kVersion2Start) + "Content-Type: gnss/sourcetable\r\n";
  if (!config_.chunkedTables) {
    head += "Content-Length: " + std::to_string(length) + "\r\n\r\n";
    WriteReply(link, head + body, 0);
    return;
  }
  if (!WriteReply(link, head + "Transfer-Encoding: chunked\r\n\r\n", 0)) return;
  link.chunked = true;
  link.chunkSizes.seed(config_.chunkSeed + static_cast<unsigned>(link.index));
  if (SendData(link, body) && body.size() == length) SendBytes(link, kLastChunk);
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

bool DemoCaster::SendData(Link& link, std::string_view bytes) {
  if (!link.chunked) return SendBytes(link, bytes);
  std::lock_guard frames(link.frameMutex);
  std::uniform_int_distribution<std::size_t> size(1, kMaxDemoChunk);
  while (!bytes.empty()) {
    const std::size_t take = std::min(size(link.chunkSizes), bytes.size());
    if (!SendBytes(link, ChunkFrame(bytes.substr(0, take)))) return false;
    bytes.remove_prefix(take);
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
        if (!SendData(link, stream.Next(static_cast<std::size_t>(due)))) return;
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
    if (SendData(*link, bytes)) ++reached;
  }
  return reached;
}

}  // namespace quillon
