// A connected caster as the session workers and the source-table client talk to it: plain TCP
// or TLS behind one small interface, so that neither needs to know which.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string_view>

#include "net/caster_socket.h"
#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon {

class CasterStream {
 public:
  virtual ~CasterStream() = default;
  CasterStream(const CasterStream&) = delete;
  CasterStream& operator=(const CasterStream&) = delete;

  // Reads what is ready into `buffer` without waiting for more. Returns the count (> 0), 0 when
  // the caster has closed the connection, or -1 with errno set: EAGAIN when nothing was ready
  // after all (with TLS, a readable socket may hold only part of a record), else the failure.
  virtual ssize_t ReadReady(std::span<char> buffer) = 0;

  // True when bytes are ready inside the stream (TLS records already decrypted) that a wait on
  // Descriptor() would not see. Ask this before waiting on the descriptor together with another.
  virtual bool HoldsReadyBytes() const = 0;

  // Sends what the connection has room for now, without waiting: the count taken (maybe fewer
  // than all), or -1 with errno (EAGAIN when there is no room). Never raises SIGPIPE. Over TLS,
  // after EAGAIN the same bytes must be offered again first.
  virtual ssize_t SendReady(std::string_view data) = 0;

  // Sends all of `data` through SendReady, waiting for room through `clock` in steps. Returns 0
  // when everything went out, otherwise ETIMEDOUT when the caster took nothing for
  // `stallLimitMs`, ECANCELED when `stop` asked to give up, or the error number of the failed
  // send. Never raises SIGPIPE.
  int Send(std::string_view data, Clock& clock, std::uint32_t stallLimitMs,
           const StopRequested& stop = {});

  // Ends the connection (with TLS, a polite close that never waits for the caster) and closes
  // the socket. Harmless when called again; the destructor calls it.
  virtual void Close() = 0;

  // Waits until something can be read (or the caster has closed), in steps through `clock`:
  // kReady at once when HoldsReadyBytes; otherwise as WaitInSteps on the descriptor.
  WaitEnd WaitReadable(Clock& clock, std::uint32_t limitMs, const StopRequested& stop = {});

  // The connected socket, -1 once closed: the one the stop sequence shuts down through the
  // CasterSocket it lives in, and the one to wait on together with another descriptor.
  int Descriptor() const { return socket_.Get(); }

 protected:
  // The stream uses, and at Close closes, the descriptor held in `socket` now.
  explicit CasterStream(CasterSocket& socket)
      : socket_(socket), fd_(socket.Get()), connection_(socket.Connection()) {}

  // What the descriptor must be ready for before SendReady, after it said EAGAIN, can go on:
  // room to write, unless the stream's protocol must read first (TLS may).
  virtual Readiness SendAwaits() const { return Readiness::kWritable; }

  // True while the socket still holds the stream's own connection.
  bool OwnConnection() const { return socket_.Connection() == connection_ && socket_.IsOpen(); }
  // Closes the stream's own connection, unless the socket has moved on to another.
  void CloseSocket() { socket_.CloseIfHeld(connection_); }

  CasterSocket& socket_;
  const int fd_;  // the descriptor the stream was made for
  const std::uint64_t connection_;
};

// Plain TCP: the socket's bytes as they are, for a caster that speaks NTRIP without TLS.
class PlainCasterStream final : public CasterStream {
 public:
  explicit PlainCasterStream(CasterSocket& socket) : CasterStream(socket) {}
  ~PlainCasterStream() override { Close(); }

  ssize_t ReadReady(std::span<char> buffer) override;
  bool HoldsReadyBytes() const override { return false; }
  ssize_t SendReady(std::string_view data) override;
  void Close() override { CloseSocket(); }
};

}  // namespace quillon
