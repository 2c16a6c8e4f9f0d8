// "Override GPGGA Position...": the fixed position that replaces the receiver's in the GGA
// sentences sent to the caster, and whether to use it. The Rover dialog opens it with Ctrl+G or
// Alt+G and takes the values over on OK.
#pragma once

#include "app/ui/dialog.h"

namespace quillon::ui {

inline constexpr int kIdLongitude = 1033;
inline constexpr int kIdLatitude = 1035;
inline constexpr int kIdEnableOverride = 1039;

class CGgaOverrideDlg : public Dialog {
  Q_OBJECT

 public:
  // Degrees, north and east positive; `enabled` 1 when the override is on.
  CGgaOverrideDlg(double latitude, double longitude, int enabled, QWidget* parent = nullptr);

  // The values to take over after OK.
  double Latitude() const { return latitude_; }
  double Longitude() const { return longitude_; }
  int Enabled() const { return enabled_; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id) override;
  void OnOK() override;

 private:
  void OnEnableOverride();
  void EnableEdits(bool enable);

  double latitude_;
  double longitude_;
  int enabled_;
};

}  // namespace quillon::ui
