// The About box: the program's icon, name, version, build number and build date.
#pragma once

#include <string>
#include <string_view>

#include "app/ui/dialog.h"

namespace quillon::ui {

inline constexpr int kBuildNumber = 2;
inline constexpr int kIdBuildText = 1029;

// The program's build date as the compiler writes it: "Mar  8 2010".
std::string_view BuildDate();

// The build text of control 1029: "Build Number: 2\r\nBuild Date: " and `buildDate`, cut to
// 255 units.
std::u16string AboutBuildText(std::string_view buildDate);

class CAboutDlg : public Dialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);

 protected:
  bool OnInitDialog() override;
};

}  // namespace quillon::ui
