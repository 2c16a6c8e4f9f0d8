#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QTest>
#include <fstream>

#include "app/ui/bluetooth_dlg.h"
#include "app/ui/caster_options_dlg.h"
#include "app/ui/testing/mode_dlg_fixture.h"
#include "common/settings_form.h"

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
  using Settings = typename Mode::Settings;
  Settings Saved() { return ModeDlgFixture::Saved<Settings>(); }

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

// Saved whole before a missing port is refused; 128 two-byte letters pass the edit's limit only.
TYPED_TEST(ModeDlgTest, StoredCastersFillTheListsAndConnectSavesThePickedOneWhole) {
  const std::u16string user = u"jane.surveyor@example.com";
  const std::u16string password = u"tok_9f3c1e7a5b2d4086a1c3e5f7092b4d6f81a3";
  const std::u16string address = u"ntrip.data.gnss.ga.gov.au";
  const std::u16string mount = u"SYDNEY-CORS-RTCM32-MSM7-GPS-GLO-GAL-BDS-QZS-1HZ-VRS-NEAREST";
  typename TestFixture::Settings stored;
  stored.hostCount = 3;
  stored.noAuthentication = 1;
  const QString byId = "/dev/serial/by-id/usb-u-blox_AG_-_www.u-blox.com_u-blox_GNSS_receiver-if00";
  SetFieldText(stored.comPortName, byId.toStdU16String() + u":");
  for (char16_t i = 0; i < 3; ++i) {
    const std::u16string n(1, u'1' + i);
    HostEntry& host = stored.hosts[i];
    SetFieldText(host.address, i < 2 ? u"caster" + n : address);
    SetFieldText(host.userName, i < 2 ? u"user" + n : user);
    SetFieldText(host.password, i < 2 ? u"secret" + n : password);
    host.port = 2101 + i;
    host.mountPointCount = i + 1;
    host.selectedMountPoint = i;
    SetFieldText(host.mountPoints[i], i < 2 ? u"MP" + n : mount);
  }
  TakeSelectedHost(stored);  // the record's own caster is the first, as a Connect leaves it
  ASSERT_TRUE(WriteSettingsFile(stored, this->folder.Path()));
  this->devices = {};  // no port found: the stored one is offered, without its ':'
  typename TypeParam::Dlg dialog(this->services, this->status);
  this->Run(dialog, [&] {
    EXPECT_EQ(dialog.ItemText(kIdComPortList), byId);
    const auto* port = dialog.template Control<QComboBox>(kIdComPortList);
    EXPECT_EQ(std::pair(port->lineEdit()->cursorPosition(), port->toolTip()), std::pair(0, byId));
    EXPECT_EQ(dialog.ItemText(kIdPassword), "secret1");
    auto* addresses = dialog.template Control<QComboBox>(kIdAddressList);
    EXPECT_EQ(addresses->count(), 3);
    addresses->setFocus();
    QTest::keyClick(addresses, Qt::Key_Down);
    QTest::keyClick(addresses, Qt::Key_Down);
    EXPECT_EQ((QStringList{dialog.ItemText(kIdAddressList), dialog.ItemText(kIdPassword),
                           dialog.ItemText(kIdPort), dialog.ItemText(kIdMountPointList)}),
              (QStringList{Q(address), Q(password), "2103", Q(mount)}));
    if (dialog.Item(kIdNoAuthentication) != nullptr) {  // the Rover: no credentials wanted
      EXPECT_EQ(dialog.ItemText(kIdUserName), Q(user));
      EXPECT_FALSE(dialog.Item(kIdMountPointList)->isEnabled());
      Click(dialog, kIdNoAuthentication);
      EXPECT_TRUE(dialog.Item(kIdMountPointList)->isEnabled());
    }
    SaveScreenshot(dialog, QString::fromLatin1(TypeParam::kName) + "_long_values");
    dialog.SetItemText(kIdComPortList, QString());
    dialog.SetItemText(kIdPassword, Q(std::u16string(128, u'\u00E4')));
    Click(dialog, kIdConnect);
    EXPECT_EQ(this->Saved().selectedHost, 0);                            // not saved
    dialog.SetItemText(kIdPassword, Q(std::u16string(127, u'\u00E4')));  // 254 bytes
    Click(dialog, kIdConnect);
  });
  const auto shown = this->boxes.Boxes();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text,
            u"The password is too long: it may take at most 255 bytes (a letter with an accent "
            u"takes two, other characters up to four).");
  EXPECT_EQ(shown[1].text, u"There is no COM port selected?");
  const auto saved = this->Saved();
  EXPECT_EQ(FieldText(saved.address), address);
  EXPECT_EQ(FieldText(saved.userName), user);
  EXPECT_EQ(FieldText(saved.password), std::u16string(127, u'\u00E4'));
  EXPECT_EQ(FieldText(saved.mountPoint), mount);
  EXPECT_EQ(saved.selectedHost, 2);
  EXPECT_EQ(saved.noAuthentication, 0);
}

// A device the list lacks comes back as it is; a stored name wins over a position.
TYPED_TEST(ModeDlgTest, TheStoredDeviceComesBackWhenTheListLacksItOrHasMovedIt) {
  this->devices.AddSerialPort(u"/dev/ttyACM3");  // beside the receiver's pty
  const std::u16string receiver =
      QString::fromStdString(this->receiver.DevicePath()).toStdU16String();
  const struct {
    std::u16string name;
    std::int32_t index;
    std::optional<QString> shown;  // none: the item at `index`
  } cases[] = {
      {u"/dev/rfcomm0:", -1, "/dev/rfcomm0"},  // typed in the box, which selects nothing
      {u"/dev/rfcomm0:", 0, "/dev/rfcomm0"},   // given on the command line
      {receiver + u":", 0, Q(receiver)},
      {receiver + u":", 1, Q(receiver)},
      {u"", 1, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Q(c.name).toStdString() + " " + std::to_string(c.index));
    typename TestFixture::Settings stored;
    SetFieldText(stored.comPortName, c.name);
    stored.comIndex = c.index;
    ASSERT_TRUE(WriteSettingsFile(stored, this->folder.Path()));
    typename TypeParam::Dlg dialog(this->services, this->status);
    int selected = -2;
    QString shown;
    this->Run(dialog, [&] {
      const auto* list = dialog.template Control<QComboBox>(kIdComPortList);
      ASSERT_EQ(list->count(), 2);
      selected = dialog.GetCurSel(kIdComPortList);
      shown = dialog.ItemText(kIdComPortList);
      EXPECT_EQ(shown, c.shown.value_or(list->itemText(c.index)));
      EXPECT_EQ(selected < 0, shown == "/dev/rfcomm0");
      if (c.index < 0)
        SaveScreenshot(dialog, QString::fromLatin1(TypeParam::kName) + "_typed_port");
      dialog.SaveSettings(true);  // as Connect does first
    });
    const auto saved = this->Saved();
    EXPECT_EQ(Q(FieldText(saved.comPortName)), shown);
    EXPECT_EQ(saved.comIndex, selected);
  }
}

// A folder in the settings file's place is said at the load and at the first failed save only.
TYPED_TEST(ModeDlgTest, ARefusedFileAndAFailedSaveAreEachShownOnce) {
  const std::filesystem::path file = this->folder.Path() / TestFixture::Settings::kFileName;
  std::filesystem::create_directory(file);
  typename TypeParam::Dlg dialog(this->services, this->status);
  this->Run(dialog, [&] {
    dialog.SetItemText(kIdComPortList, QString());
    Click(dialog, kIdConnect);
    Click(dialog, kIdConnect);
  });
  const std::u16string named = u"settings file " + file.u16string();
  const auto shown = this->boxes.Boxes();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].text, named + u" is not a regular file: the defaults are used");
  EXPECT_EQ(shown[0].caption, u"Error");
  EXPECT_EQ(shown[1].text, named + u" cannot be saved (Is a directory)");
  EXPECT_EQ(shown[2].text, u"There is no COM port selected?");
  EXPECT_EQ(shown[3].text, u"There is no COM port selected?");
}

// The image holds none of them; the second opening, from the menu, shows the protocol in use.
TYPED_TEST(ModeDlgTest, CasterOptionsOpenWithCtrlTOrFromTheMenuAndAreSavedInTheExtension) {
  const bool base = std::is_same_v<TypeParam, BaseMode>;
  typename TypeParam::Dlg dialog(this->services, this->status);
  QStringList inUse;
  const auto inOptions = [&](std::function<void(CCasterOptionsDlg&)> act) {
    WhenIdle([&, act = std::move(act)] {
      auto* options = VisibleDialog<CCasterOptionsDlg>();
      ASSERT_NE(options, nullptr);
      inUse << options->ItemText(kIdProtocolInUse);
      act(*options);
      if (options->isVisible()) Click(*options, kIdCancel);
    });
  };
  this->Run(dialog, [&] {
    this->EnterCaster(dialog);
    QTest::keyClick(dialog.Item(kIdConnect), Qt::Key_T, Qt::ControlModifier);
    inOptions([&](CCasterOptionsDlg& options) {
      QTest::keyClick(options.Item(kIdNtripVersion), Qt::Key_Down);
      Click(options, kIdTls);
      QTest::keyClick(options.Item(base ? kIdBaseUserName : kIdUpstream), Qt::Key_Down);
      options.SetItemText(base ? kIdBaseUserName : kIdGgaSeconds, base ? "source-user" : "5");
      SaveScreenshot(options, QString::fromLatin1(TypeParam::kName) + "_caster_options");
      Click(options, kIdOk);
    });
    QApplication::processEvents();
    inOptions([](CCasterOptionsDlg&) {});
    dialog.TitleMenu()->actions().at(0)->trigger();
  });
  EXPECT_EQ(inUse, (QStringList{"In use: NTRIP 1", "In use: NTRIP 2 over TLS"}));
  const auto saved = this->Saved();
  EXPECT_EQ(saved.protocol, (CasterProtocol{NtripVersion::k2, true, ""}));
  EXPECT_EQ(FieldText(saved.userName), base ? u"source-user" : u"demo");
  EXPECT_EQ(saved.upstream.ggaSeconds, base ? 0 : 5);
  std::ifstream file(this->folder.Path() / TestFixture::Settings::kFileName, std::ios::binary);
  const SettingsBytes bytes(std::istreambuf_iterator<char>(file), {});
  SettingsRecord image;
  DecodeSharedSettings(std::span(bytes).first(kSettingsImageSize), image);
  EXPECT_EQ(std::tie(image.protocol, image.upstream),
            std::tuple(CasterProtocol{}, UpstreamChoice{}));
}

TYPED_TEST(ModeDlgTest, CancellingTheBluetoothChoiceStartsNoSession) {
  this->bluetooth.SetRadioOn(true);
  typename TypeParam::Dlg dialog(this->services, this->status);
  this->Run(dialog, [&] {
    dialog.SetItemText(kIdAddressList, QStringLiteral("caster"));
    dialog.SetItemText(kIdComPortList, QStringLiteral("BLUETOOTH"));
    WhenIdle([] {
      if (auto* choice = VisibleDialog<CBluetoothDlg>()) Click(*choice, kIdCancel);
    });
    dialog.Item(kIdAddressList)->setFocus();
    QTest::keyClick(dialog.Item(kIdAddressList), Qt::Key_Return);  // Connect is the default
    this->ExpectView(dialog, false);
  });
  EXPECT_TRUE(this->boxes.Boxes().empty());
  EXPECT_FALSE(this->status.HasWorker());
  EXPECT_EQ(FieldText(this->Saved().comPortName), u"BLUETOOTH");
  EXPECT_EQ(this->caster.ConnectionCount(), 0u);
}

// A rate past the bar's range (and an int) holds the bar at its end.
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
    dialog.SetItemText(kIdByteCount, QStringLiteral("1500"));  // as the last session left it
    Click(dialog, kIdConnect);
    EXPECT_EQ(dialog.ItemText(kIdByteCount), "0");
    ASSERT_TRUE(this->status.WaitWorkerEnded(20000));
    this->ExpectView(dialog, true);  // until the timer has seen it
    const auto before = this->clock.Elapsed();
    QString stopping;
    this->clock.beforeSleep = [&](int) {
      stopping = dialog.ItemText(kIdConnect);
      SaveScreenshot(dialog, QString::fromLatin1(TypeParam::kName) + "_disconnecting");
    };
    dialog.DeliverTick(kStatusTimer);
    EXPECT_EQ(this->clock.Elapsed() - before, 5000u);
    EXPECT_EQ(stopping, "Disconnecting...");
    this->clock.beforeSleep = [](int) {};
    this->ExpectView(dialog, false);
    EXPECT_EQ(dialog.focusWidget(), dialog.Item(kIdConnect));
    EXPECT_FALSE(this->status.HasWorker());
    EXPECT_FALSE(this->status.Snapshot().error);
  });
  ASSERT_FALSE(this->boxes.Boxes().empty());
  EXPECT_TRUE(this->boxes.Boxes().back().text.starts_with(TypeParam::kGaveUpText));
  typename TypeParam::Dlg again(this->services, this->status);  // what Connect saved, unremembered
  QStringList shown;
  this->Run(again, [&] {
    for (const int id : {kIdAddressList, kIdPort, kIdPassword, kIdMountPointList}) {
      shown << again.ItemText(id);
    }
  });
  EXPECT_EQ(shown,
            (QStringList{"127.0.0.1", QString::number(this->caster.Port()), "demo", "DEMO"}));
}

}  // namespace
}  // namespace quillon::ui
