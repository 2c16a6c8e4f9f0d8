// What the status page, its JSON and its metrics show of a session besides the served stream,
// in plain values: the command line fills it from its session statuses about once a second.
// Texts may hold anything (a caster's reply, a client's User-Agent); each page escapes them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/connect_checks.h"
#include "common/great_circle.h"
#include "ntrip/receiver_solution.h"

namespace quillon {

// One place the stream goes: a caster, the log, a listener's clients.
struct OutputStatus {
  std::string name;   // "caster.example.com", "log", ...: a metric label, unique among outputs
  std::string state;  // how it does now, on one line: "uploading", "retry 3 in 42 s: refused"
  bool up = false;    // doing its work now (uploading, writing, serving)
  std::int64_t bytesPerSecond = 0;
  std::int64_t bytesTotal = 0;
};

// One client of the program's own caster.
struct ClientStatus {
  std::string peer;   // "192.168.1.20:51234"
  std::string agent;  // its User-Agent as it sent it
  std::int64_t connectedSeconds = 0;
  std::int64_t bytesTotal = 0;
};

struct StationStatus {
  ConnectingMode mode = ConnectingMode::kBase;
  std::int64_t uptimeSeconds = 0;
  std::vector<OutputStatus> outputs;
  std::vector<ClientStatus> clients;
  // The Rover: the receiver's solution while one stands, and its position (from its GGA) for the
  // distance to the station.
  std::optional<ReceiverSolution> solution;
  std::optional<GeoPosition> receiverPosition;
};

}  // namespace quillon
