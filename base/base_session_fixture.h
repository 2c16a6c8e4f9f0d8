// A Base session between a simulated receiver and the in-process caster (see WorkerFixture).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "base/base_session.h"
#include "common/text.h"
#include "session/worker_fixture.h"

namespace quillon::testing {

inline std::u16string ConnectionErrorText(std::string_view reason) {
  return u"Connection Error: Could not create connection to server. \r\nReason:" + Wide(reason);
}

class BaseSessionFixture : public WorkerFixture<BaseSettings, BaseStatus> {
 protected:
  explicit BaseSessionFixture(std::uint32_t startTick = 1000) : WorkerFixture(startTick) {}

  ~BaseSessionFixture() override { EndSession(); }
  void TearDown() override { EndSession(); }

  // Stops the session and drops the hooks the worker runs at the start of every countdown step
  // (a sleep) and every upload pass (a wait on the caster and the receiver). A test whose hook
  // uses its own locals ends the session before they go, with a StopAtExit declared after them.
  void EndSession() {
    StopSession(status, link, clock, StopKind::kClose);
    clock.beforeSleep = [](int) {};
    clock.beforeWaitAny = [](int) {};
  }
  struct StopAtExit {
    BaseSessionFixture& fixture;
    ~StopAtExit() { fixture.EndSession(); }
  };

  BaseSessionContext Context() { return {settings, status, link, clock, folder.Path()}; }
  void Start() { StartBaseSession(Context()); }
  // One attempt on the test's thread.
  BaseSessionResult RunOnce() {
    status.running.store(1);
    return RunBaseSession(Context());
  }

  // The login is remembered in the settings file just before the upload begins.
  bool LoggedIn() const { return std::filesystem::exists(folder.Path() / kBaseSettingsFileName); }
};

}  // namespace quillon::testing
