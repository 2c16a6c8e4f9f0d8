// A connection manager with scripted answers that records every call, for the tests of the
// data connection and of the front ends that bring it up.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "net/data_connection.h"

namespace quillon::testing {

struct ScriptedConnectionManager final : ConnectionManager {
  bool loads = true;
  std::set<ConnMgrEntryPoint> missing;
  ManagerResult statusResult = 0;
  std::uint32_t statusValue = 0;
  ManagerResult requestResult = 0;
  // "status", "request", "release 7" or "release cached 7" (with the handle), "unload".
  std::vector<std::string> calls;

  bool Load() override { return loads; }
  void Unload() override { calls.emplace_back("unload"); }
  bool HasEntryPoint(ConnMgrEntryPoint entry) override { return !missing.contains(entry); }
  ManagerResult ConnectionStatus(ConnectionHandle, std::uint32_t& status) override {
    calls.emplace_back("status");
    status = statusValue;
    return statusResult;
  }
  ManagerResult EstablishConnectionSync(const ConnectionInfo&, ConnectionHandle& connection,
                                        std::uint32_t, std::uint32_t&) override {
    calls.emplace_back("request");
    if (requestResult >= 0) connection = 7;
    return requestResult;
  }
  ManagerResult ReleaseConnection(ConnectionHandle connection, bool cache) override {
    calls.push_back((cache ? "release cached " : "release ") + std::to_string(connection));
    return 0;
  }
};

}  // namespace quillon::testing
