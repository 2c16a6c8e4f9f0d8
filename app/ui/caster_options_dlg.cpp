#include "app/ui/caster_options_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>

#include "app/ui/combo.h"
#include "common/strings.h"
#include "common/utf8.h"

namespace quillon::ui {
namespace {

constexpr int kGgaSecondsChars = 4;
constexpr int kWholeOutput = 0;  // positions in the upstream list
constexpr int kGgaOnly = 1;

}  // namespace

CCasterOptionsDlg::CCasterOptionsDlg(CasterOptions options, ConnectingMode mode, bool editable,
                                     MessageSink& messages, QWidget* parent)
    : Dialog({QStringLiteral("Caster options")}, parent),
      options_(std::move(options)),
      mode_(mode),
      editable_(editable),
      messages_(messages) {
  AddControl<QLabel>(kNoId, QRect(3, 7, 55, 8), QStringLiteral("NTRIP version:"));
  auto* version = AddControl<QComboBox>(kIdNtripVersion, QRect(60, 5, 75, 12));
  version->addItems({QStringLiteral("1"), QStringLiteral("2")});
  AddControl<QCheckBox>(kIdTls, QRect(60, 21, 75, 10), QStringLiteral("Over TLS"));
  AddControl<QLabel>(kNoId, QRect(3, 37, 55, 8), QStringLiteral("CA file:"));
  AddControl<QLineEdit>(kIdCaFile, QRect(60, 35, 75, 12))
      ->setMaxLength(static_cast<int>(kMaxCaFileBytes));
  if (mode_ == ConnectingMode::kBase) {
    AddControl<QLabel>(kNoId, QRect(3, 53, 55, 8), QStringLiteral("User name:"));
    AddControl<QLineEdit>(kIdBaseUserName, QRect(60, 51, 75, 12))
        ->setMaxLength(static_cast<int>(kMaxCredentialBytes));
  } else {
    AddControl<QLabel>(kNoId, QRect(3, 53, 55, 8), QStringLiteral("Upstream:"));
    auto* upstream = AddControl<QComboBox>(kIdUpstream, QRect(60, 51, 75, 12));
    upstream->addItems({QStringLiteral("All output"), QStringLiteral("GGA only")});
    AddControl<QLabel>(kNoId, QRect(3, 69, 55, 8), QStringLiteral("GGA every (s):"));
    auto* seconds = AddControl<QLineEdit>(kIdGgaSeconds, QRect(60, 67, 40, 12));
    seconds->setMaxLength(kGgaSecondsChars);
    seconds->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), seconds));
  }
  auto* inUse = AddControl<QLabel>(kIdProtocolInUse, QRect(3, 85, 132, 30));
  inUse->setWordWrap(true);
  inUse->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  inUse->setTextFormat(Qt::PlainText);
  AddControl<QPushButton>(kIdOk, QRect(7, 121, 50, 14), QStringLiteral("OK"));
  AddControl<QPushButton>(kIdCancel, QRect(83, 121, 50, 14), QStringLiteral("Cancel"));
}

bool CCasterOptionsDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  const CasterProtocol& protocol = options_.protocol;
  SetCurSel(kIdNtripVersion, protocol.version == NtripVersion::k2 ? 1 : 0);
  SetChecked(kIdTls, protocol.tls);
  SetItemText(kIdCaFile, QString::fromStdString(protocol.caFile));
  SetItemText(kIdProtocolInUse, QStringLiteral("In use: ") + ToQString(ProtocolText(protocol)));
  if (mode_ == ConnectingMode::kBase) {
    SetItemText(kIdBaseUserName, ToQString(options_.userName));
  } else {
    SetCurSel(kIdUpstream, options_.ggaSeconds == 0 ? kWholeOutput : kGgaOnly);
    if (options_.ggaSeconds != 0) SetItemText(kIdGgaSeconds, QString::number(options_.ggaSeconds));
  }
  EnableControls();
  return true;
}

void CCasterOptionsDlg::EnableControls() {
  const bool version2 = GetCurSel(kIdNtripVersion) == 1;
  if (!version2) SetChecked(kIdTls, false);
  EnableItem(kIdNtripVersion, editable_);
  EnableItem(kIdTls, editable_ && version2);
  EnableItem(kIdCaFile, editable_ && IsChecked(kIdTls));
  if (mode_ == ConnectingMode::kBase) {
    EnableItem(kIdBaseUserName, editable_);
  } else {
    EnableItem(kIdUpstream, editable_);
    EnableItem(kIdGgaSeconds, editable_ && GetCurSel(kIdUpstream) == kGgaOnly);
  }
}

void CCasterOptionsDlg::OnCommand(int id) {
  if (id == kIdTls) {
    EnableControls();
    return;
  }
  Dialog::OnCommand(id);
}

void CCasterOptionsDlg::OnSelChange(int /*id*/) { EnableControls(); }

void CCasterOptionsDlg::OnOK() {
  if (!editable_) {
    EndDialog(kIdOk);
    return;
  }
  CasterOptions taken = options_;
  const bool version2 = GetCurSel(kIdNtripVersion) == 1;
  taken.protocol.version = version2 ? NtripVersion::k2 : NtripVersion::k1;
  taken.protocol.tls = version2 && IsChecked(kIdTls);
  taken.protocol.caFile = taken.protocol.tls ? ToUtf8(ItemText(kIdCaFile).toStdU16String()) : "";
  if (mode_ == ConnectingMode::kBase) {
    taken.userName = ItemText(kIdBaseUserName).toStdU16String();
  } else if (GetCurSel(kIdUpstream) == kGgaOnly) {
    bool number = false;
    const int seconds = ItemText(kIdGgaSeconds).toInt(&number);
    taken.ggaSeconds = number ? seconds : -1;
  } else {
    taken.ggaSeconds = 0;
  }
  if (const std::u16string problem = CasterOptionsProblem(taken, mode_); !problem.empty()) {
    messages_.Show({problem, LoadString(kStrError)});
    return;
  }
  options_ = std::move(taken);
  EndDialog(kIdOk);
}

}  // namespace quillon::ui
