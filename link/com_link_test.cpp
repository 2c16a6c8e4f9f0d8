// What the receiver link adds on top of the device: the colon rule on the caller's name, the
// open failure message, and routing to the Bluetooth library.
#include "link/com_link.h"

#include <gtest/gtest.h>

#include "testing/fake_bluetooth_lib.h"
#include "testing/recording_message_sink.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::FakeBluetoothLib;
using testing::RecordingMessageSink;
using testing::VirtualClock;

TEST(ComLinkTest, AColonIsAppendedInTheCallersBufferOnlyWhenNoneIsThereAndItFits) {
  struct Case {
    std::u16string name;
    std::u16string after;
  };
  const Case cases[] = {
      {u"COM4", u"COM4:"},
      {u"COM4:", u"COM4:"},
      {u"CO:M4", u"CO:M4"},        // a colon anywhere counts
      {u"ABCDEFG", u"ABCDEFG:"},   // exactly fits an 9-unit buffer with terminator
      {u"ABCDEFGH", u"ABCDEFGH"},  // no room left for the colon
      {u"", u":"},
  };
  VirtualClock clock;
  ComLink link(clock, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name.begin(), c.name.end()));
    WideField<9> buffer{};
    SetFieldText(buffer, c.name);
    EXPECT_FALSE(link.OpenComPort(nullptr, buffer, 9600));
    EXPECT_EQ(FieldText(buffer), c.after);
  }
}

// A link that does not open shows the serial port's message when it has an owner; for the
// Bluetooth link (and Bluetooth mode on a platform without a library), with the reason.
TEST(ComLinkTest, AFailedOpenWithAnOwnerShowsTheLinkOpenMessage) {
  VirtualClock clock;
  FakeBluetoothLib library(clock);
  library.SetDevices({{u"only"}});
  library.SetOpenSucceeds(false, "Bluetooth: Host is down.");
  ComLink serial(clock, nullptr);
  ComLink bluetooth(clock, &library);
  ComLink noLibrary(clock, nullptr);
  bluetooth.ChooseBluetooth(0, 1);
  noLibrary.ChooseBluetooth(0, 1);
  const struct {
    ComLink& link;
    std::u16string detail;
  } cases[] = {
      {serial, u""},
      {bluetooth, u"Bluetooth: Host is down."},
      {noLibrary, u"Bluetooth is not available on this system."},
  };
  for (const auto& c : cases) {
    RecordingMessageSink owner;
    WideField<32> name{};
    SetFieldText(name, u"/dev/quillon-missing");
    EXPECT_FALSE(c.link.OpenComPort(nullptr, name, 9600));
    EXPECT_TRUE(owner.Boxes().empty());
    EXPECT_FALSE(c.link.OpenComPort(&owner, name, 9600));
    const auto boxes = owner.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Unable to open COM Port.");
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[0].icon, MessageIcon::kNone);
    EXPECT_EQ(boxes[0].buttons, MessageButtons::kOk);
    EXPECT_EQ(boxes[0].detail, c.detail);
    EXPECT_FALSE(c.link.IsComPortOpen());
  }
}

TEST(ComLinkTest, BluetoothModeSendsEveryOperationToTheLibraryAndIgnoresNameAndBaud) {
  VirtualClock clock;
  FakeBluetoothLib library(clock);
  library.SetDevices({{u"first"}, {u"second"}});
  ComLink link(clock, &library);
  link.ChooseBluetooth(0, 2);  // index 0 is a device like any other

  WideField<16> name{};
  SetFieldText(name, u"COM4");
  ASSERT_TRUE(link.OpenComPort(nullptr, name, 4800));
  EXPECT_EQ(FieldText(name), u"COM4");  // no colon: the name is not used
  EXPECT_EQ(library.CountCalls("Open(0,2)"), 1u);

  const std::uint8_t bytes[] = {1, 2, 3};
  EXPECT_TRUE(link.WriteComPort(bytes, sizeof bytes));
  library.SendToProgram({4, 5});
  std::uint8_t buffer[8];
  EXPECT_EQ(link.ReadComPort(buffer, sizeof buffer), 2);
  EXPECT_EQ(library.CountCalls("Write(3)"), 1u);
  EXPECT_EQ(library.CountCalls("Read(8)"), 1u);
  EXPECT_FALSE(link.IsComPortOpen());

  link.CloseComPort();
  link.CloseComPort();
  EXPECT_EQ(library.CountCalls("Close"), 2u);
  EXPECT_TRUE(link.InBluetoothMode());  // until a Connect resets the choice
  link.ClearBluetoothChoice();
  EXPECT_FALSE(link.InBluetoothMode());
}

}  // namespace
}  // namespace quillon
