// The Base session worker: uploads the receiver's output to a caster's mount point, retrying a
// failed upload after a countdown until the attempts are used up.
#pragma once

#include <cstdint>
#include <filesystem>

#include "base/base_settings.h"
#include "base/base_status.h"
#include "link/com_link.h"
#include "platform/clock.h"

namespace quillon {

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
// Longest silence of the receiver before its link is closed and opened again.
inline constexpr std::uint32_t kReceiverWatchdogMs = 25000;
// How often a link that reported the receiver gone is opened again.
inline constexpr std::uint32_t kReceiverReopenMs = 5000;
// Most bytes taken from the receiver, and sent to the caster, at a time.
inline constexpr std::size_t kUploadChunkSize = 1024;

// One attempt: opens the receiver link when no serial device is open (a Bluetooth link every
// time), connects, logs in, and uploads until running is cleared or the upload fails. The
// upload passes wake when the receiver has bytes (or at least every kWaitStepMs); after a
// countdown (an attempt after the first) what the receiver wrote meanwhile is dropped first. A
// receiver that is reported gone leaves the caster connected: the link is opened again every
// kReceiverReopenMs meanwhile (BaseStatus::receiverLost). Every failure sets error, leaves its
// text in the status text and closes the socket; the link stays open for the next attempt. The
// stop (result 7) closes the socket and the link.
BaseSessionResult RunBaseSession(const BaseSessionContext& context);

// The worker's body: attempts with a countdown between them; after the last failed attempt the
// final message to the status owner, then running 0 (error stays 1). Ends within one countdown
// step (100 ms of the clock) of running being cleared.
void BaseSessionThread(const BaseSessionContext& context);

// Sets running and starts the worker thread on the status object.
void StartBaseSession(const BaseSessionContext& context);

}  // namespace quillon
