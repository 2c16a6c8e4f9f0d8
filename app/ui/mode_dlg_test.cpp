// What the Rover and the Base dialogs share, run against both.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QProgressBar>
#include <QTest>

#include "app/ui/bluetooth_dlg.h"
#include "app/ui/testing/mode_dlg_fixture.h"
#include "app/ui/testing/screenshot.h"

namespace quillon::ui {
namespace {

using namespace quillon::ui::testing;

struct RoverMode {
  using Dlg = CZEPInterlinkDlg;
  using Status = RoverStatus;
  using Settings = RoverSettings;
  static constexpr char kName[] = "rover";
  static constexpr char16_t kGaveUpText[] = u"Unable to open COM Port.";
};

struct BaseMode {
  using Dlg = CZEPSourceDlg;
  using Status = BaseStatus;
  using Settings = BaseSettings;
  static constexpr char kName[] = "base";
  static constexpr char16_t kGaveUpText[] = u"Could not re-connect to NTRIP Caster.";
};

template <class Mode>
class ModeDlgTest : public testing::ModeDlgFixture {
 protected:
  typename Mode::Status status;
};

struct ModeName {
  template <class Mode>
  static std::string GetName(int) {
    return Mode::kName;
  }
};
using Modes = ::testing::Types<RoverMode, BaseMode>;
TYPED_TEST_SUITE(ModeDlgTest, Modes, ModeName);

TYPED_TEST(ModeDlgTest, AFirstStartShowsTheStartUpTextsAndTheIdleView) {
  typename TypeParam::Dlg dialog(this->services, this->status);
  this->Run(dialog, [&] {
    EXPECT_EQ(dialog.ItemText(kIdAddressList), "0.0.0.0");
    EXPECT_EQ(dialog.ItemText(kIdPort), "2101");
    for (const int id : {kIdUserName, kIdPassword, kIdMountPointList}) {
      if (dialog.Item(id) != nullptr) {
        EXPECT_EQ(dialog.ItemText(id), "") << id;
      }
    }
    EXPECT_EQ(dialog.GetCurSel(kIdBaudList), 1);
    EXPECT_EQ(dialog.ItemText(kIdComPortList), QString::fromStdString(this->receiver.DevicePath()));
    EXPECT_EQ(dialog.focusWidget(), dialog.Item(kIdConnect));
    this->ExpectView(dialog, false);
    SaveScreenshot(dialog, QString::fromLatin1(TypeParam::kName) + "_idle");
  });
  EXPECT_TRUE(this->timerWasSet);
  EXPECT_EQ(this->status.owner.load(), &this->boxes);
}

// Picking the third stored caster shows its entry; Connect saves the pick, with the user name
// the Base has no control for and 0 for the Rover's flag, before it refuses a missing COM port.
TYPED_TEST(ModeDlgTest, StoredCastersFillTheListsAndConnectSavesThePickedOne) {
  typename TypeParam::Settings stored;
  stored.hostCount = 3;
  stored.noAuthentication = 1;
  SetFieldText(stored.comPortName, u"/dev/ttyS9:");
  for (char16_t i = 0; i < 3; ++i) {
    const std::u16string n(1, u'1' + i);
    SetFieldText(stored.hosts[i].address, u"caster" + n);
    SetFieldText(stored.hosts[i].userName, u"user" + n);
    SetFieldText(stored.hosts[i].password, u"secret" + n);
    stored.hosts[i].port = 2101 + i;
    stored.hosts[i].mountPointCount = i + 1;
    stored.hosts[i].selectedMountPoint = i;
    SetFieldText(stored.hosts[i].mountPoints[i], u"MP" + n);
  }
  ASSERT_TRUE(WriteSettingsFile(stored, this->folder.Path()));
  this->devices = {};  // no port found: the stored one is offered, without its ':'
  typename TypeParam::Dlg dialog(this->services, this->status);
  this->Run(dialog, [&] {
    EXPECT_EQ(dialog.ItemText(kIdComPortList), "/dev/ttyS9");
    EXPECT_EQ(dialog.ItemText(kIdPassword), "secret1");
    auto* addresses = dialog.template Control<QComboBox>(kIdAddressList);
    EXPECT_EQ(addresses->count(), 3);
    addresses->setFocus();
    QTest::keyClick(addresses, Qt::Key_Down);
    QTest::keyClick(addresses, Qt::Key_Down);
    EXPECT_EQ((QStringList{dialog.ItemText(kIdAddressList), dialog.ItemText(kIdPassword),
                           dialog.ItemText(kIdPort), dialog.ItemText(kIdMountPointList)}),
              (QStringList{"caster3", "secret3", "2103", "MP3"}));
    if (dialog.Item(kIdNoAuthentication) != nullptr) {  // the Rover: no credentials wanted
      EXPECT_EQ(dialog.ItemText(kIdUserName), "user3");
      EXPECT_FALSE(dialog.Item(kIdMountPointList)->isEnabled());
      Click(dialog, kIdNoAuthentication);
      EXPECT_TRUE(dialog.Item(kIdMountPointList)->isEnabled());
    }
    dialog.SetItemText(kIdComPortList, QString());
    Click(dialog, kIdConnect);
  });
  ASSERT_EQ(this->boxes.Boxes().size(), 1u);
  EXPECT_EQ(this->boxes.Boxes()[0].text, u"There is no COM port selected?");
  const auto saved = this->template Saved<typename TypeParam::Settings>();
  EXPECT_EQ(FieldText(saved.address), u"caster3");
  EXPECT_EQ(FieldText(saved.userName), u"user3");
  EXPECT_EQ(saved.selectedHost, 2);
  EXPECT_EQ(saved.noAuthentication, 0);
}

// The Bluetooth device choice's Cancel says nothing.
TYPED_TEST(ModeDlgTest, ConnectRefusalsShowTheirMessageAfterTheSettingsWereSaved) {
  struct Case {
    QString address, port, comPort;
    bool radioOn;
    std::u16string message;  // empty: no box
  };
  const Case cases[] = {
      {"", "2101", "/dev/ttyUSB0", true, u"Address is empty."},
      {"caster", "2101", "", true, u"There is no COM port selected?"},
      {"caster", "0", "/dev/ttyUSB0", true, u"Port number appears to be invalid?"},
      {"caster", "2101", "BLUETOOTH", false,
       u"The bluetooth radio appears to be in the off state. Please turn on and try again."},
      {"caster", "2101", "BLUETOOTH", true, u""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.comPort.toStdString() + " " + c.port.toStdString());
    this->bluetooth.SetRadioOn(c.radioOn);
    const std::size_t before = this->boxes.Boxes().size();
    typename TypeParam::Dlg dialog(this->services, this->status);
    this->Run(dialog, [&] {
      dialog.SetItemText(kIdAddressList, c.address);
      dialog.SetItemText(kIdPort, c.port);
      dialog.SetItemText(kIdComPortList, c.comPort);
      WhenIdle([] {
        if (auto* choice = VisibleDialog<CBluetoothDlg>()) Click(*choice, kIdCancel);
      });
      Click(dialog, kIdConnect);
      this->ExpectView(dialog, false);
    });
    const auto shown = this->boxes.Boxes();
    ASSERT_EQ(shown.size(), before + (c.message.empty() ? 0 : 1));
    if (!c.message.empty()) {
      EXPECT_EQ(shown.back().text, c.message);
      EXPECT_EQ(shown.back().caption, u"Error");
    }
    EXPECT_FALSE(this->status.HasWorker());
    const auto saved = this->template Saved<typename TypeParam::Settings>();
    EXPECT_EQ(Q(FieldText(saved.address)), c.address);
    EXPECT_EQ(Q(FieldText(saved.comPortName)), c.comPort);
  }
  EXPECT_EQ(this->caster.ConnectionCount(), 0u);
}

// Months into a session: the byte count past 32 bits in full, the connect time on the handheld's
// clock face, and a rate past the bar's range (and past an int) held at the bar's end.
TYPED_TEST(ModeDlgTest, CountersPast32BitsShowWholeAndTheConnectTimeKeepsItsClockFace) {
  typename TypeParam::Dlg dialog(this->services, this->status);
  this->Run(dialog, [&] {
    {
      std::lock_guard guard(this->status.lock);
      this->status.running.store(1);  // the counters as a worker leaves them, without one
      this->status.total = (std::int64_t{1} << 32) + 5;
      this->status.elapsedSeconds = 123 * 86400 + 3723;
      this->status.peak = 1000;
      this->status.rate = std::int64_t{1} << 33;
    }
    dialog.DeliverTick(kStatusTimer);
    EXPECT_EQ(dialog.ItemText(kIdByteCount), "4294967301");
    EXPECT_EQ(dialog.ItemText(kIdConnectTime), "01:02:03");
    const auto* progress = dialog.template Control<QProgressBar>(kIdProgress);
    EXPECT_EQ(progress->maximum(), 1000);
    EXPECT_EQ(progress->value(), 1000);
    this->status.running.store(0);
  });
}

// The worker cannot open the receiver's port; the next tick stops it (5 s) and shows idle.
TYPED_TEST(ModeDlgTest, AfterTheWorkerGaveUpTheNextTickRestoresTheIdleView) {
  typename TypeParam::Dlg dialog(this->services, this->status);
  this->Run(dialog, [&] {
    this->EnterCaster(dialog);
    dialog.SetItemText(kIdComPortList, QStringLiteral("/dev/quillon-none"));
    Click(dialog, kIdConnect);
    ASSERT_TRUE(this->status.WaitWorkerEnded(20000));
    this->ExpectView(dialog, true);  // until the timer has seen it
    const auto before = this->clock.Elapsed();
    dialog.DeliverTick(kStatusTimer);
    EXPECT_EQ(this->clock.Elapsed() - before, 5000u);
    this->ExpectView(dialog, false);
    EXPECT_FALSE(this->status.HasWorker());
    EXPECT_FALSE(this->status.Snapshot().error);
  });
  ASSERT_FALSE(this->boxes.Boxes().empty());
  EXPECT_TRUE(this->boxes.Boxes().back().text.starts_with(TypeParam::kGaveUpText));
}

}  // namespace
}  // namespace quillon::ui
