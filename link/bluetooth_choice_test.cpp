#include "link/bluetooth_choice.h"

#include <gtest/gtest.h>

#include "common/strings.h"
#include "testing/fake_bluetooth_lib.h"
#include "testing/recording_message_sink.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::FakeBluetoothLib;
using Names = std::vector<std::u16string>;

class BluetoothChoiceTest : public ::testing::Test {
 protected:
  void SetUp() override { RememberedBluetoothPortSelection() = -1; }
  void TearDown() override { RememberedBluetoothPortSelection() = -1; }

  testing::VirtualClock clock_;
  FakeBluetoothLib bluetooth_{clock_};
  testing::RecordingMessageSink sink_;
};

TEST_F(BluetoothChoiceTest, ConnectResetsTheChoiceAndAsksOnlyForTheBluetoothPort) {
  const BluetoothChoice pick{2, 1};
  const struct {
    std::u16string_view port;
    bool radioOn;
    std::optional<BluetoothChoice> chosen;
    bool goesOn;
    std::string steps;
  } cases[] = {
      {u"/dev/ttyUSB0", false, pick, true, "record(-1,-1)"},  // the radio does not matter
      {u"bluetooth", true, pick, true, "record(-1,-1)"},      // the test is case-sensitive
      {u"BLUETOOTH", true, pick, true, "record(-1,-1) choose record(2,1)"},
      {u"MY-BLUETOOTH-2", true, pick, true, "record(-1,-1) choose record(2,1)"},
      {u"BLUETOOTH", true, std::nullopt, false, "record(-1,-1) choose"},  // cancelled
      {u"BLUETOOTH", false, pick, false, "record(-1,-1) box"},
  };
  for (const auto& c : cases) {
    testing::RecordingMessageSink sink;
    bluetooth_.SetRadioOn(c.radioOn);
    std::string steps;
    const bool goesOn = ChooseBluetoothForConnect(
        c.port, bluetooth_, sink,
        [&] {
          steps += " choose";
          return c.chosen;
        },
        [&](BluetoothChoice choice) {
          steps +=
              " record(" + std::to_string(choice.device) + "," + std::to_string(choice.port) + ")";
        });
    for (const auto& box : sink.Boxes()) {
      steps += " box";
      EXPECT_EQ(box.text, LoadString(kStrBluetoothRadioOff));
    }
    EXPECT_EQ(goesOn, c.goesOn) << c.steps;
    EXPECT_EQ(steps.substr(1), c.steps);
  }
}

// The dialog's own test has the list; here the names the command line gives.
TEST_F(BluetoothChoiceTest, CommandLineChoosesAsTheDialogsOkDoesOrSaysNoneMatches) {
  bluetooth_.SetDevices({{u"A"}, {u"B", false}, {u"C"}, {std::u16string(300, u'x')}});
  EXPECT_EQ(ReadDeviceNames(bluetooth_), (Names{u"A", u"C", std::u16string(255, u'x')}));
  // A long name is matched as the list shows it: cut to 255 units.
  EXPECT_EQ(ChooseBluetoothByName(bluetooth_, sink_, std::u16string(255, u'x'), 1).value().device,
            3);
  // Named device and port: library index for the link, list position for the library.
  auto choice = ChooseBluetoothByName(bluetooth_, sink_, u"C", 1);
  ASSERT_TRUE(choice);
  EXPECT_EQ(std::pair(choice->device, choice->port), std::pair(2, 1));
  EXPECT_EQ(bluetooth_.SelectedDevice(), 1);
  EXPECT_EQ(RememberedBluetoothPortSelection(), 0);
  // No port given: the remembered one; then no name either: the library's selected device.
  bluetooth_.SelectDevice(0);
  choice = ChooseBluetoothByName(bluetooth_, sink_, std::nullopt, std::nullopt);
  ASSERT_TRUE(choice);
  EXPECT_EQ(std::pair(choice->device, choice->port), std::pair(0, 1));
  // A fresh process without a remembered port takes "XCOM3", port 2.
  RememberedBluetoothPortSelection() = -1;
  EXPECT_EQ(ChooseBluetoothByName(bluetooth_, sink_, u"A", std::nullopt).value().port, 2);
  EXPECT_TRUE(sink_.Boxes().empty());

  // Letter case counts; a selection that points nowhere; no devices at all.
  EXPECT_FALSE(ChooseBluetoothByName(bluetooth_, sink_, u"a", 2));
  bluetooth_.SelectDevice(5);
  EXPECT_FALSE(ChooseBluetoothByName(bluetooth_, sink_, std::nullopt, 2));
  bluetooth_.SetDevices({});
  EXPECT_FALSE(ChooseBluetoothByName(bluetooth_, sink_, u"A", 2));
  const auto boxes = sink_.Boxes();
  ASSERT_EQ(boxes.size(), 3u);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.text, u"Could not find any devices.");
    EXPECT_EQ(box.icon, MessageIcon::kNone);
  }
}

}  // namespace
}  // namespace quillon
