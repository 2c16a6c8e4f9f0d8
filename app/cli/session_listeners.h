// The listeners a session's options ask for (--listen, --tcp-server, --nmea-server), serving
// from the session's fan-outs on a thread of their own until the session ends.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "app/cli/session_options.h"
#include "platform/clock.h"
#include "serve/caster_server.h"
#include "serve/station_content.h"
#include "session/fan_out.h"

namespace quillon::cli {

class SessionListeners {
 public:
  // Opens and starts every listener `options` names, nothing when it names none: the caster and
  // the raw server serve `stream`, the NMEA server `received`; the caster's mount point is
  // --listen-mount's or else `mountPoint`. Says on `err` where each listens, and later each
  // client dropped. false when one cannot be opened, after one line naming `command` on `err`.
  bool Open(const SessionOptions& options, std::string_view mountPoint, FanOut& stream,
            FanOut& received, Clock& clock, std::FILE* err, std::string_view command);
  // What the status page shows of the session now; nothing without a caster listener.
  void Update(StationStatus status);

 private:
  std::optional<StationContent> content_;
  std::optional<CasterServer> server_;
};

}  // namespace quillon::cli
