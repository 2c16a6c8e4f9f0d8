// The Base session worker: uploads the receiver's output to a caster's mount point, retrying a
// failed upload after a countdown until the attempts are used up.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>

#include "base/base_settings.h"
#include "base/base_status.h"
#include "base/receiver_reader.h"
#include "link/com_link.h"
#include "platform/clock.h"
#include "session/fan_out.h"

namespace quillon {

// One more caster for the same receiver (quillon base --also): its record, read from its own
// file and never saved, the short name the status gives it, and its own status.
struct ExtraCasterSession {
  std::string name;
  BaseSettings settings;
  BaseStatus status;
};

// Everything one session works with. All of it outlives the worker: the front end stops the
// session (StopSession) before it lets any of it go.
struct BaseSessionContext {
  BaseSettings& settings;  // read by the worker; RememberHost after each accepted login
  BaseStatus& status;
  ComLink& link;
  Clock& clock;
  // Where RememberHost writes "sourceinfo.bin"; empty: the host history is not kept.
  std::filesystem::path settingsFolder;
  // TLS without verifying the caster's certificate (--insecure): this session's, never saved.
  bool insecureTls = false;
  // Every caster retries for ever, kCountdownSeconds apart (--reconnect).
  bool reconnect = false;
  // More casters, each with its own attempts, started and ended with the session, which gives up
  // only once every caster has. Null: this caster alone.
  std::deque<ExtraCasterSession>* extras = nullptr;
  // Where the receiver's bytes go besides the casters (a log); each caster attaches its own
  // queue while it uploads. Null: the session makes its own.
  FanOut* outputs = nullptr;

  // Set by the worker for each caster's attempts: the reader of the receiver, which the primary
  // caster opens and watches; an extra caster (extraCaster) leaves the receiver alone.
  ReceiverReader* reader = nullptr;
  bool extraCaster = false;
};

// How one attempt ended.
enum class BaseSessionResult : int {
  kNoSocket = 1,       // socket not created (text 61213), or an address that is none
  kConnectFailed = 2,  // text 61214 with the system's reason
  kLinkNotOpened = 3,  // no text: the link has shown its own message
  kRejected = 4,       // the reply was not accepted, such as no "OK\r\n" in it (text 61215)
  kUploadFailed = 5,   // the caster closed, failed, or took nothing for a while (text 61216)
  kLoginIoFailed = 6,  // request not sent or reply not read (text 61221)
  kStopped = 7,        // running was cleared
};

inline constexpr int kBaseAttempts = 15;
inline constexpr int kCountdownSeconds = 60;

// One attempt: opens the receiver link when no serial device is open (a Bluetooth link every
// time; not for an extra caster), connects, logs in, and uploads until running is cleared or the
// upload fails. The upload takes the receiver's bytes from the caster's own queue, attached only
// while it uploads, so that after a countdown it sends live bytes; the passes wake when bytes
// wait (or at least every kWaitStepMs). A receiver that is reported gone leaves the caster
// connected: the link is opened again every kReceiverReopenMs meanwhile
// (BaseStatus::receiverLost). Every failure sets error, leaves its text in the status text and
// closes the socket; the link stays open for the next attempt. The stop (result 7) closes the
// socket and the link. Without a reader in `context`, the attempt reads the receiver with one of
// its own.
BaseSessionResult RunBaseSession(const BaseSessionContext& context);

// The worker's body: the receiver's reader, the extra casters' workers, and the primary's
// attempts with a countdown between them. After the primary's last failed attempt, and once
// every extra caster has given up too, the final message to the status owner, then running 0
// (error stays 1). Ends within one countdown step (100 ms of the clock) of running being
// cleared, the extra casters' workers with it.
void BaseSessionThread(const BaseSessionContext& context);

// Sets running and starts the worker thread on the status object.
void StartBaseSession(const BaseSessionContext& context);

}  // namespace quillon
