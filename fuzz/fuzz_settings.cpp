// Arbitrary bytes as a settings file: decoding must stay inside the records and bring every
// field into range, the result must encode to a whole image that decodes to the same record,
// and the history must stay in range.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/base_settings.h"
#include "common/host_history.h"
#include "rover/rover_settings.h"

namespace {

using namespace quillon;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsPort(std::int32_t port) { return port >= 0 && port <= 65535; }

void CheckInRange(const SettingsRecord& record) {
  Check(record.noAuthentication == 0 || record.noAuthentication == 1);
  Check(record.baudIndex >= 0 && record.baudIndex <= 6);
  Check(IsPort(record.port));
  for (const auto text : {FieldText(record.userName), FieldText(record.password),
                          FieldText(record.mountPoint), FieldText(record.address)}) {
    Check(!HasControlCharacter(text));  // nothing that could end a request header
  }
  Check(record.hostCount >= 0 && record.hostCount <= kMaxHosts);
  Check(record.hostCount == 0 ||
        (record.selectedHost >= 0 && record.selectedHost < record.hostCount));
  for (const auto& entry : record.hosts) {
    Check(IsPort(entry.port));
    Check(entry.mountPointCount >= 0 && entry.mountPointCount <= kMaxMountPoints);
    Check(entry.mountPointCount == 0 ||
          (entry.selectedMountPoint >= 0 && entry.selectedMountPoint < entry.mountPointCount));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);

  RoverSettings rover;
  DecodeRoverSettings(bytes, rover);
  CheckInRange(rover);
  Check(rover.overrideEnabled.load() == 0 || (std::fabs(rover.overrideLatitude.load()) <= 90.0 &&
                                              std::fabs(rover.overrideLongitude.load()) <= 180.0));
  const SettingsBytes roverImage = EncodeRoverSettings(rover);
  Check(roverImage.size() >= kSettingsImageSize);
  RoverSettings roverAgain;
  DecodeRoverSettings(roverImage, roverAgain);
  Check(static_cast<const SettingsRecord&>(roverAgain) ==
        static_cast<const SettingsRecord&>(rover));
  // The image compares the override doubles bit for bit (a NaN is not equal to itself).
  Check(EncodeRoverSettings(roverAgain) == roverImage);

  BaseSettings base;
  DecodeBaseSettings(bytes, base);
  CheckInRange(base);
  const SettingsBytes baseImage = EncodeBaseSettings(base);
  Check(baseImage.size() >= kSettingsImageSize);
  BaseSettings baseAgain;
  DecodeBaseSettings(baseImage, baseAgain);
  Check(baseAgain == base);

  // A login remembered on top of whatever the file held.
  UpdateHostHistory(base);
  CheckInRange(base);
  Check(FindHost(base, FieldText(base.address)) == base.selectedHost);
  const HostEntry& entry = base.hosts[static_cast<std::size_t>(base.selectedHost)];
  Check(FieldText(entry.mountPoints[static_cast<std::size_t>(entry.selectedMountPoint)]) ==
        FieldText(base.mountPoint));
  return 0;
}
