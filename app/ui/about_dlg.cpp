#include "app/ui/about_dlg.h"

#include <QLabel>

#include "app/ui/handheld.h"
#include "app/ui/qt_message_sink.h"
#include "common/format.h"
#include "common/strings.h"
#include "common/text.h"
#include "common/version.h"
#include "common/wide.h"

namespace quillon::ui {

std::string_view BuildDate() { return __DATE__; }

std::u16string AboutBuildText(std::string_view buildDate) {
  const std::u16string date = EightBitToWide(buildDate);
  const std::u16string text = FormatText(LoadString(kStrBuildText), {kBuildNumber, date});
  return std::u16string(CutToUnits(text, kStringBufferSize - 1));
}

CAboutDlg::CAboutDlg(QWidget* parent) : Dialog({QStringLiteral("About ZEP Quillon")}, parent) {
  auto* icon = AddControl<QLabel>(kNoId, QRect(10, 10, 20, 20));
  const int side = qMin(icon->width(), icon->height());
  icon->setPixmap(ProgramIcon().pixmap(side, side));
  icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  AddControl<QLabel>(kNoId, QRect(31, 13, 104, 8), QStringLiteral("ZEP Quillon"));
  AddControl<QLabel>(kNoId, QRect(31, 21, 110, 8),
                     QStringLiteral("Version ") + QLatin1String(kVersion));
  auto* build = AddControl<QLabel>(kIdBuildText, QRect(31, 31, 109, 53));
  build->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  build->setWordWrap(true);
}

bool CAboutDlg::OnInitDialog() {
  Dialog::OnInitDialog();
  Control<QLabel>(kIdBuildText)->setText(DisplayText(AboutBuildText(BuildDate())));
  return true;
}

}  // namespace quillon::ui
