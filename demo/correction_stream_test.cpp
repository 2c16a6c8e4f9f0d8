// The demo correction stream read back by the RTCM 3 scanner: it is what its header promises.
#include "demo/correction_stream.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "common/great_circle.h"
#include "rtcm/framer.h"
#include "rtcm/message_fields.h"
#include "rtcm/rtcm_scanner.h"

namespace quillon {
namespace {

TEST(CorrectionStream, EveryFrameChecksAndNamesTheOneStationAtItsPlace) {
  struct StationIds final : RtcmFrameSink {
    void OnFrame(std::string_view payload) override {
      if (const auto id = ObservingStationId(payload)) ids.insert(*id);
    }
    void OnNonFrameBytes(std::string_view) override {}
    std::set<unsigned> ids;
  } seen;
  RtcmFramer framer;
  CorrectionStream demo;
  RtcmScanner scanner;
  for (int i = 0; i < 200; ++i) {
    const std::string bytes = demo.Next(97);
    scanner.Scan(bytes, 0);
    framer.Push(bytes, seen);
  }
  const RtcmSummary summary = scanner.Summary(0);
  EXPECT_GT(summary.frames, 100u);
  EXPECT_EQ(summary.crcFailures, 0u);
  EXPECT_EQ(summary.nonFrameBytes, 0u);
  EXPECT_EQ(seen.ids, std::set<unsigned>{kDemoStationId});
  ASSERT_TRUE(summary.station);
  EXPECT_LT(GreatCircleKm(summary.station->wgs84.place, kDemoStationPlace), 1e-6);  // 1 mm
  EXPECT_NEAR(summary.station->wgs84.height, kDemoStationHeight, 0.001);
  EXPECT_FALSE(summary.descriptors.antenna.empty());
  EXPECT_FALSE(summary.descriptors.receiverSerial.empty());
}

}  // namespace
}  // namespace quillon
