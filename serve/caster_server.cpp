#include "serve/caster_server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

#include "ntrip/chunked_body.h"
#include "ntrip/header_fields.h"
#include "serve/listen_socket.h"

namespace quillon {
namespace {

constexpr std::uint64_t kStopId = 0;
// The kernel's buffer for one client, fixed rather than grown up to megabytes: a stalled
// client is found within a few seconds of the stream, and a thousand of them cannot take
// gigabytes of the machine's memory.
constexpr int kClientSendBuffer = 64 * 1024;
constexpr int kMostAcceptsPerPass = 64;
constexpr std::size_t kMostBlocksPerSend = 16;
// How long a listener rests when the process has no descriptor left for a client.
constexpr std::uint32_t kOutOfDescriptorsMs = 100;

}  // namespace

struct CasterServer::Source {
  FanOut* fanOut = nullptr;
  std::uint64_t id = 0;
  OutputQueue queue{kServerQueueBytes};
  std::vector<Client*> streaming;  // of every listener on this source
  bool scanned = false;            // an NTRIP listener's: its content sees the stream
};

struct CasterServer::Listener {
  ListenerSpec spec;
  std::uint64_t id = 0;
  Source* source = nullptr;
  std::deque<std::uint64_t> pending;  // clients with a head or a reply to go, oldest first
  std::atomic<std::size_t> streaming{0};
  bool resting = false;
  std::uint32_t restSince = 0;
};

struct CasterServer::Client {
  enum class State { kHead, kReply, kDone, kStream };
  std::uint64_t id = 0;
  int fd = -1;
  Listener* listener = nullptr;
  State state = State::kHead;
  std::uint32_t since = 0;
  std::string head;
  std::deque<SharedBlock> queue;
  std::size_t offset = 0;   // of the front block, sent
  std::size_t waiting = 0;  // bytes in the queue, less the offset
  bool chunked = false;
  bool watchingOutput = false;
  bool closed = false;
  // For the status page.
  std::string peer;
  std::string agent;
  std::uint32_t streamSince = 0;
  std::uint64_t sent = 0;
};

CasterServer::CasterServer(std::vector<ListenerSpec> listeners, CasterRules rules,
                           ListenerContent& content, Clock& clock, ServerLine tell)
    : rules_(std::move(rules)),
      content_(content),
      clock_(clock),
      tell_(std::move(tell)),
      epoll_(epoll_create1(EPOLL_CLOEXEC)),
      stop_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      thread_([this] {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(stop_, &one, sizeof one);
      }) {
  if (epoll_ < 0 || stop_ < 0) throw std::system_error(errno, std::generic_category(), "epoll");
  const auto add = [this](int fd, std::uint64_t id) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = id;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
  };
  add(stop_, kStopId);
  std::uint64_t id = kStopId;
  for (ListenerSpec& spec : listeners) {
    auto listener = std::make_unique<Listener>();
    auto found = std::find_if(sources_.begin(), sources_.end(),
                              [&](const auto& source) { return source->fanOut == spec.source; });
    if (found == sources_.end()) {
      sources_.push_back(std::make_unique<Source>());
      sources_.back()->fanOut = spec.source;
      found = sources_.end() - 1;
    }
    listener->source = found->get();
    if (spec.kind == ListenerKind::kNtrip) listener->source->scanned = true;
    listener->spec = std::move(spec);
    listeners_.push_back(std::move(listener));
  }
  for (auto& source : sources_) {
    source->id = ++id;
    add(source->queue.WakeHandle(), source->id);
  }
  for (auto& listener : listeners_) {
    listener->id = ++id;
    add(listener->spec.fd, listener->id);
  }
  nextId_ = id + 1;
  for (auto& source : sources_) source->fanOut->Attach(source->queue);
  attached_ = true;
}

CasterServer::~CasterServer() {
  Stop();
  for (auto& [id, client] : clients_) ::close(client->fd);
  for (auto& listener : listeners_) ::close(listener->spec.fd);
  ::close(stop_);
  ::close(epoll_);
}

void CasterServer::Start() {
  thread_.Start([this] { Run(); }, "quillon-serve");
}

void CasterServer::Stop() {
  if (attached_) {
    for (auto& source : sources_) source->fanOut->Detach(source->queue);
    attached_ = false;
  }
  thread_.End();
}

std::size_t CasterServer::Clients(std::size_t index) const {
  return listeners_.at(index)->streaming.load();
}

void CasterServer::Run() {
  std::uint64_t asked = 0;
  while (::read(stop_, &asked, sizeof asked) < 0) Pass(1000);
}

std::uint32_t CasterServer::NextTimeout(std::uint32_t ms) {
  const std::uint32_t now = clock_.TickCount();
  const auto within = [&](std::uint32_t since, std::uint32_t limit) {
    const std::uint32_t passed = now - since;
    ms = std::min(ms, passed >= limit ? 0 : limit - passed);
  };
  for (auto& listener : listeners_) {
    if (listener->resting) within(listener->restSince, kOutOfDescriptorsMs);
    for (const std::uint64_t id : listener->pending) {
      const auto found = clients_.find(id);
      if (found == clients_.end() || found->second->closed) continue;
      within(found->second->since, kRequestLimitMs);
      break;  // the oldest is due first
    }
  }
  return ms;
}

void CasterServer::Pass(std::uint32_t ms) {
  if (clock_.WaitReadable(epoll_, NextTimeout(ms)) > 0) {
    std::array<epoll_event, 256> events{};
    const int count = epoll_wait(epoll_, events.data(), static_cast<int>(events.size()), 0);
    for (int i = 0; i < count; ++i) {
      const std::uint64_t id = events[static_cast<std::size_t>(i)].data.u64;
      const std::uint32_t what = events[static_cast<std::size_t>(i)].events;
      if (id == kStopId) continue;  // Run reads it
      if (id <= sources_.size()) {
        Deliver(*sources_[id - 1]);
      } else if (id <= sources_.size() + listeners_.size()) {
        Accept(*listeners_[id - 1 - sources_.size()]);
      } else if (const auto found = clients_.find(id); found != clients_.end()) {
        Client& client = *found->second;
        if (!client.closed && (what & EPOLLOUT) != 0) Flush(client);
        if (!client.closed && (what & (EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP)) != 0) {
          ReadFrom(client);
        }
      }
    }
  }
  Expire();
  Reap();
  TellClients();
}

void CasterServer::TellClients() {
  const std::uint32_t now = clock_.TickCount();
  if (toldClients_ && now - *toldClients_ < kClientsToldMs) return;
  toldClients_ = now;
  std::vector<ClientStatus> clients;
  for (const auto& [id, client] : clients_) {
    if (client->state != Client::State::kStream || client->closed) continue;
    clients.push_back({client->peer, client->agent,
                       static_cast<std::int64_t>((now - client->streamSince) / 1000),
                       static_cast<std::int64_t>(client->sent)});
  }
  content_.SetClients(std::move(clients));
}

void CasterServer::Accept(Listener& listener) {
  for (int accepted = 0; accepted < kMostAcceptsPerPass; ++accepted) {
    const int fd = ::accept4(listener.spec.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        // The listener stays readable; resting it keeps the thread from spinning on it.
        epoll_ctl(epoll_, EPOLL_CTL_DEL, listener.spec.fd, nullptr);
        listener.resting = true;
        listener.restSince = clock_.TickCount();
      }
      return;
    }
    const bool raw = listener.spec.kind == ListenerKind::kRaw;
    if (raw && listener.streaming.load() >= listener.spec.maxClients) {
      ::close(fd);
      continue;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kClientSendBuffer, sizeof kClientSendBuffer);
    auto client = std::make_unique<Client>();
    client->id = nextId_++;
    client->fd = fd;
    client->listener = &listener;
    client->since = clock_.TickCount();
    client->peer = PeerOf(fd);
    Client& added = *client;
    clients_.emplace(added.id, std::move(client));
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.u64 = added.id;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    if (raw) {
      StartStream(added, false);
      continue;
    }
    listener.pending.push_back(added.id);
    // A flood of connects pushes out the oldest, never grows the list.
    while (listener.pending.size() > kMaxPendingClients) {
      const auto oldest = clients_.find(listener.pending.front());
      listener.pending.pop_front();
      if (oldest != clients_.end()) Close(*oldest->second);
    }
    // Most clients send their request with the connect: it is there already.
    ReadFrom(added);
  }
}

void CasterServer::Watch(Client& client, bool output) {
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP | (output ? EPOLLOUT : 0u);
  event.data.u64 = client.id;
  if (epoll_ctl(epoll_, EPOLL_CTL_MOD, client.fd, &event) == 0) client.watchingOutput = output;
}

void CasterServer::ReadFrom(Client& client) {
  char buffer[4096];
  const ssize_t got = ::recv(client.fd, buffer, sizeof buffer, 0);
  if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
    Close(client);
    return;
  }
  // What a client sends once its head is read (an NTRIP 1 rover's GGA) is not used.
  if (got < 0 || client.state != Client::State::kHead) return;
  client.head.append(buffer, static_cast<std::size_t>(got));
  TakeHead(client);
}

void CasterServer::TakeHead(Client& client) {
  const std::optional<std::size_t> length = RequestHeadLength(client.head);
  if (!length) {
    if (client.head.size() > kMaxRequestHeadBytes) Close(client);
    return;
  }
  if (*length > kMaxRequestHeadBytes) {
    Close(client);
    return;
  }
  Listener& listener = *client.listener;
  client.agent = HeaderValue(std::string_view(client.head).substr(0, *length), "User-Agent")
                     .value_or(std::string());
  const CasterAnswer answer =
      AnswerRequest(std::string_view(client.head).substr(0, *length), rules_, content_,
                    listener.streaming.load() >= listener.spec.maxClients);
  client.head = std::string();
  Queue(client, std::make_shared<const std::string>(answer.reply));
  if (answer.stream) {
    StartStream(client, answer.chunked);
  } else {
    client.state = Client::State::kReply;
  }
  Flush(client);
}

void CasterServer::StartStream(Client& client, bool chunked) {
  Listener& listener = *client.listener;
  std::erase(listener.pending, client.id);
  client.state = Client::State::kStream;
  client.chunked = chunked;
  client.streamSince = clock_.TickCount();
  listener.source->streaming.push_back(&client);
  listener.streaming.fetch_add(1);
}

void CasterServer::Deliver(Source& source) {
  source.queue.ClearWake();
  while (const SharedBlock block = source.queue.TakeBlock()) {
    if (source.scanned) content_.Scan(*block);
    SharedBlock framed;  // the block in one chunk, made once for every NTRIP 2 client
    for (Client* client : source.streaming) {
      if (client->closed) continue;
      if (client->chunked && !framed)
        framed = std::make_shared<const std::string>(ChunkFrame(*block));
      Offer(*client, client->chunked ? framed : block);
    }
  }
}

void CasterServer::Offer(Client& client, const SharedBlock& block) {
  if (!client.queue.empty()) {
    Queue(client, block);
    return;
  }
  // Nearly always the whole block goes at once, and nothing is queued.
  const ssize_t sent = ::send(client.fd, block->data(), block->size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent < 0 && errno != EAGAIN && errno != EINTR) {
    Close(client);
    return;
  }
  if (sent > 0) client.sent += static_cast<std::uint64_t>(sent);
  if (sent == static_cast<ssize_t>(block->size())) return;
  client.offset = sent > 0 ? static_cast<std::size_t>(sent) : 0;
  Queue(client, block);
  client.waiting -= client.offset;
  if (!client.closed) Watch(client, true);
}

void CasterServer::Queue(Client& client, SharedBlock block) {
  client.waiting += block->size();
  client.queue.push_back(std::move(block));
  if (client.waiting <= kClientQueueBytes || client.state != Client::State::kStream) return;
  tell_("Dropped client " + PeerOf(client.fd) + " of " + client.listener->spec.name +
        ": it took too little of the stream, " + std::to_string(kClientQueueBytes / 1024) +
        " kB were waiting for it.");
  Close(client);
}

void CasterServer::Flush(Client& client) {
  while (!client.queue.empty()) {
    std::array<iovec, kMostBlocksPerSend> parts{};
    std::size_t count = 0;
    for (const SharedBlock& block : client.queue) {
      if (count == parts.size()) break;
      const std::size_t skip = count == 0 ? client.offset : 0;
      parts[count++] = {const_cast<char*>(block->data()) + skip, block->size() - skip};
    }
    msghdr message{};
    message.msg_iov = parts.data();
    message.msg_iovlen = count;
    ssize_t sent = ::sendmsg(client.fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EAGAIN || errno == EINTR) break;
      Close(client);
      return;
    }
    client.waiting -= static_cast<std::size_t>(sent);
    client.sent += static_cast<std::uint64_t>(sent);
    while (sent > 0) {
      const std::size_t left = client.queue.front()->size() - client.offset;
      const std::size_t step = std::min(left, static_cast<std::size_t>(sent));
      client.offset += step;
      sent -= static_cast<ssize_t>(step);
      if (client.offset == client.queue.front()->size()) {
        client.queue.pop_front();
        client.offset = 0;
      }
    }
  }
  if (client.queue.empty() && client.state == Client::State::kReply) {
    // Closed once the client has read it and closed too: a close with its bytes unread could
    // reset the connection before the reply is read.
    ::shutdown(client.fd, SHUT_WR);
    client.state = Client::State::kDone;
  }
  const bool output = !client.queue.empty();
  if (output != client.watchingOutput) Watch(client, output);
}

void CasterServer::Close(Client& client) {
  if (client.closed) return;
  client.closed = true;
  ::close(client.fd);  // which also takes it out of the epoll set
  client.queue.clear();
  if (client.state == Client::State::kStream) client.listener->streaming.fetch_sub(1);
  closed_.push_back(client.id);
}

void CasterServer::Expire() {
  const std::uint32_t now = clock_.TickCount();
  for (auto& listener : listeners_) {
    if (listener->resting && now - listener->restSince >= kOutOfDescriptorsMs) {
      listener->resting = false;
      epoll_event event{};
      event.events = EPOLLIN;
      event.data.u64 = listener->id;
      epoll_ctl(epoll_, EPOLL_CTL_ADD, listener->spec.fd, &event);
    }
    while (!listener->pending.empty()) {
      const auto found = clients_.find(listener->pending.front());
      if (found != clients_.end() && !found->second->closed &&
          now - found->second->since < kRequestLimitMs) {
        break;
      }
      if (found != clients_.end()) Close(*found->second);
      listener->pending.pop_front();
    }
  }
}

void CasterServer::Reap() {
  if (closed_.empty()) return;
  for (auto& source : sources_) {
    std::erase_if(source->streaming, [](const Client* client) { return client->closed; });
  }
  for (const std::uint64_t id : closed_) clients_.erase(id);
  closed_.clear();
  for (auto& listener : listeners_) {
    std::erase_if(listener->pending, [this](std::uint64_t id) { return !clients_.contains(id); });
  }
}

}  // namespace quillon
