// Arbitrary bytes as a settings file: decoding must stay inside the records, the result must
// encode to a whole image that decodes to the same record, and the history must stay in range.
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

void CheckInRange(const SettingsRecord& record) {
  Check(record.hostCount >= 0 && record.hostCount <= kMaxHosts);
  Check(record.hostCount == 0 ||
        (record.selectedHost >= 0 && record.selectedHost < record.hostCount));
  for (const auto& entry : record.hosts) {
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
  const SettingsImage roverImage = EncodeRoverSettings(rover);
  Check(roverImage.size() == kSettingsImageSize);
  RoverSettings roverAgain;
  DecodeRoverSettings(roverImage, roverAgain);
  Check(static_cast<const SettingsRecord&>(roverAgain) ==
        static_cast<const SettingsRecord&>(rover));
  // The image compares the override doubles bit for bit (a NaN is not equal to itself).
  Check(EncodeRoverSettings(roverAgain) == roverImage);

  BaseSettings base;
  DecodeBaseSettings(bytes, base);
  CheckInRange(base);
  const SettingsImage baseImage = EncodeBaseSettings(base);
  Check(baseImage.size() == kSettingsImageSize);
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
