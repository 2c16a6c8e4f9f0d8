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
  return u"Connection Error: Could not create connection to server. \r\nReason:" + FromUtf8(reason);
}

class BaseSessionFixture : public WorkerFixture<BaseSettings, BaseStatus> {
 protected:
  explicit BaseSessionFixture(std::uint32_t startTick = 1000) : WorkerFixture(startTick) {}

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
