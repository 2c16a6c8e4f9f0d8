#include "app/ui/zep_quillon_view.h"

#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

#include "app/ui/handheld.h"
#include "app/ui/help_viewer.h"
#include "app/ui/wait.h"
#include "app/ui/zep_quillon_app.h"

namespace quillon::ui {

CZEPQuillonView::CZEPQuillonView(CZEPQuillonApp& app, QWidget* parent)
    : QWidget(parent),
      splash_([&app] { return app.ReadOwnerName(); },
              [&app] { app.Help().Open(QString::fromLatin1(kHelpAboutAnchor)); }) {
  setFont(DialogFont());
  auto* layout = new QVBoxLayout(this);
  layout->addStretch(2);
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(64, 64));
  icon->setAlignment(Qt::AlignCenter);
  layout->addWidget(icon);
  auto* name = new QLabel(QStringLiteral("<b>ZEP Quillon</b><br>Version 8.4.2"), this);
  name->setAlignment(Qt::AlignCenter);
  layout->addWidget(name);
  layout->addStretch(1);
  auto* hint =
      new QLabel(QStringLiteral("Help \u2192 Help Topics... describes the program."), this);
  hint->setAlignment(Qt::AlignCenter);
  hint->setWordWrap(true);
  layout->addWidget(hint);
  layout->addStretch(2);

  // The view does not exist as a window yet, so the splash has no owner to disable.
  splash_.ShowSplash(kSplashCountdownTicks, nullptr);
  WaitPainted(app.GetClock(), kStartupHoldMs);
}

// The mode chooser lays out its buttons and checks the platform here; this view's labels are
// complete from its construction.
void CZEPQuillonView::OnInitialUpdate() {}

}  // namespace quillon::ui
