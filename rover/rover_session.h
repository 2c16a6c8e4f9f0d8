// The Rover session worker: opens the receiver link, logs in to the caster's mount point, and
// relays the correction stream to the receiver and the receiver's output to the caster until
// the front end asks it to stop or something fails; then, when asked to, waits and logs in again.
#pragma once

#include <filesystem>
#include <string>

#include "link/com_link.h"
#include "platform/clock.h"
#include "rover/rover_settings.h"
#include "rover/rover_status.h"

namespace quillon {

class FanOut;

// Everything one session works with. All of it outlives the worker: the front end stops the
// session (StopSession) before it lets any of it go.
struct RoverSessionContext {
  // Read at start, the override every pass. The worker changes it only under the status lock
  // (the port name's ":", RememberHost after the login).
  RoverSettings& settings;
  RoverStatus& status;
  ComLink& link;
  Clock& clock;
  std::filesystem::path settingsFolder;  // where RememberHost writes "ntripinfo.bin"
  // After a lost session or a failed attempt, wait (ReconnectWaits) and try again rather than
  // give up; the receiver link stays open unless it was the link that failed.
  bool reconnect = false;
  // TLS without verifying the caster's certificate (--insecure): this session's, never saved.
  bool insecureTls = false;
  // Gets every byte that reached the receiver, as it did; null: none does.
  FanOut* relayed = nullptr;
  // Gets every byte the receiver sent, as it sent it (before any GGA override); null: none does.
  FanOut* received = nullptr;
};

// The worker's body. Without `reconnect` ends by itself after a failure (message to the status
// owner, running 0, error 1); with it, counts down in the status (RoverStatus::retryInSeconds)
// and tries again. Ends when it finds running 0 (no message), within 100 ms of the clock during
// a countdown; closes the socket and the link either way.
void RoverSessionThread(const RoverSessionContext& context);

// Writes "ntripinfo.bin" from the front end's thread while a worker may be using the record
// (the override dialog's OK): under the status lock, like the worker's own changes, so the file
// always holds one consistent record and the newest save is the one that stays.
// `problem` as WriteSettingsFile sets it.
bool SaveRoverSettings(const RoverSettings& settings, RoverStatus& status,
                       const std::filesystem::path& folder, std::string* problem = nullptr);

// Sets running and starts the worker thread on the status object.
void StartRoverSession(const RoverSessionContext& context);

}  // namespace quillon
