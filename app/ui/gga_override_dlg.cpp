#include "app/ui/gga_override_dlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include "ntrip/override_coordinate.h"

namespace quillon::ui {
namespace {

// The most characters OK reads from an edit.
constexpr int kMaxCoordinateText = 255;

}  // namespace

CGgaOverrideDlg::CGgaOverrideDlg(double latitude, double longitude, int enabled, QWidget* parent)
    : Dialog({QStringLiteral("Override GPGGA Position...")}, parent),
      latitude_(latitude),
      longitude_(longitude),
      enabled_(enabled) {
  AddControl<QCheckBox>(kIdEnableOverride, QRect(50, 13, 77, 10),
                        QStringLiteral("Enable Override"));
  AddControl<QLabel>(kNoId, QRect(7, 32, 35, 8), QStringLiteral("Latitude:"));
  AddControl<QLineEdit>(kIdLatitude, QRect(50, 29, 67, 14));
  AddControl<QLabel>(kNoId, QRect(7, 51, 38, 8), QStringLiteral("Longitude:"));
  AddControl<QLineEdit>(kIdLongitude, QRect(50, 48, 67, 14));
  AddControl<QPushButton>(kIdOk, QRect(7, 121, 50, 14), QStringLiteral("OK"))->setDefault(true);
  AddControl<QPushButton>(kIdCancel, QRect(83, 121, 50, 14), QStringLiteral("Cancel"));
}

bool CGgaOverrideDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  SetChecked(kIdEnableOverride, enabled_ == 1);
  EnableEdits(enabled_ == 1);
  SetItemText(kIdLongitude, QString::fromStdString(CoordinateText(longitude_)));
  SetItemText(kIdLatitude, QString::fromStdString(CoordinateText(latitude_)));
  return true;
}

void CGgaOverrideDlg::OnCommand(int id) {
  if (id == kIdEnableOverride) {
    OnEnableOverride();
    return;
  }
  Dialog::OnCommand(id);
}

void CGgaOverrideDlg::EnableEdits(bool enable) {
  EnableItem(kIdLatitude, enable);
  EnableItem(kIdLongitude, enable);
}

void CGgaOverrideDlg::OnEnableOverride() {
  enabled_ = IsChecked(kIdEnableOverride) ? 1 : 0;
  EnableEdits(enabled_ == 1);
}

void CGgaOverrideDlg::OnOK() {
  const auto value = [this](int id) {
    return CoordinateValue(ItemText(id).left(kMaxCoordinateText).toStdU16String());
  };
  longitude_ = value(kIdLongitude);
  latitude_ = value(kIdLatitude);
  EndDialog(kIdOk);
}

}  // namespace quillon::ui
