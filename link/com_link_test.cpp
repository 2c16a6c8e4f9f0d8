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
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"COM4", u"COM4:"},
      {u"COM4:", u"COM4:"},
      {u"CO:M4", u"CO:M4"},        // a colon anywhere counts
      {u"ABCDEFG", u"ABCDEFG:"},   // exactly fits a 9-unit buffer with terminator
      {u"ABCDEFGH", u"ABCDEFGH"},  // no room left for the colon
      {u"", u":"},
  };
  VirtualClock clock;
  ComLink link(clock, nullptr);
  for (const auto& [name, after] : cases) {
    WideField<9> buffer{};
    SetFieldText(buffer, name);
    EXPECT_FALSE(link.OpenComPort(nullptr, buffer, 9600));
    EXPECT_EQ(FieldText(buffer), after);
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
  const std::pair<ComLink*, std::u16string> cases[] = {
      {&serial, u""},
      {&bluetooth, u"Bluetooth: Host is down."},
      {&noLibrary, u"Bluetooth is not available on this system."},
  };
  for (const auto& [link, detail] : cases) {
    RecordingMessageSink owner;
    WideField<32> name{};
    SetFieldText(name, u"/dev/quillon-missing");
    EXPECT_FALSE(link->OpenComPort(nullptr, name, 9600));
    EXPECT_FALSE(link->OpenComPort(&owner, name, 9600));
    const auto boxes = owner.Boxes();
    ASSERT_EQ(boxes.size(), 1u);  // none for the open without an owner
    EXPECT_EQ(boxes[0].text, u"Unable to open COM Port.");
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(boxes[0].icon, MessageIcon::kNone);
    EXPECT_EQ(boxes[0].detail, detail);
    EXPECT_FALSE(link->IsComPortOpen());
  }
}

}  // namespace
}  // namespace quillon
