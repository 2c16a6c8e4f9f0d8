// A sample for the tests of the caster's answers: thirty seconds of a base's stream scanned at
// one-second ticks, and a Rover's status whose receiver is a degree of latitude north of the
// station (111.2 km).
#pragma once

#include <string>

#include "rtcm/framer.h"
#include "rtcm/test_frames.h"
#include "serve/station_content.h"
#include "testing/virtual_clock.h"

namespace quillon {

// GPS and GLONASS MSM7 once a second, biases 12 times, the position every ten seconds, the
// descriptors once: 6906 bytes in 30 s, 1841 bit/s.
inline void ScanSampleStream(StationContent& content, testing::VirtualClock& clock) {
  using testframes::Bytes;
  using testframes::Payload;
  for (int second = 0; second < 30; ++second) {
    std::string bytes = RtcmFrame(Payload(1077, 2001, std::string(50, '\x5A'))) +
                        RtcmFrame(Payload(1087, 2001, std::string(50, '\x5A')));
    for (int i = 0; i < 12; ++i) bytes += RtcmFrame(Payload(1230, 2001));
    if (second % 10 == 0) bytes += Bytes(testframes::kGeonet1005);
    if (second == 0) bytes += Bytes(testframes::kGeonet1033);
    content.Scan(bytes);
    clock.Advance(1000);
  }
}

inline StationStatus SampleRoverStatus() {
  StationStatus status;
  status.mode = ConnectingMode::kRover;
  status.uptimeSeconds = 3 * 86400 + 3723;
  status.outputs = {{"caster.example.com", "relaying", true, 1234, 99999},
                    {"log", "cannot write: disk full", false, 0, 512}};
  status.clients = {{"192.168.1.20:51234", "NTRIP <script>alert(1)</script>\x1b[2J", 75, 4096}};
  status.solution = ReceiverSolution{FixQuality::kRtkFixed, 14, 0.9, 1.0, 2001};
  status.receiverPosition = GeoPosition{35.949756936, 139.069904560};
  return status;
}

}  // namespace quillon
