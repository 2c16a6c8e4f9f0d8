#include "app/ui/zep_quillon_app.h"

#include "app/ui/about_dlg.h"
#include "app/ui/main_frame.h"
#include "app/ui/zep_interlink_dlg.h"
#include "app/ui/zep_quillon_doc.h"
#include "app/ui/zep_quillon_view.h"
#include "common/strings.h"
#include "platform/owner_name.h"

namespace quillon::ui {

CZEPQuillonApp::CZEPQuillonApp(AppEnvironment environment, ModeEnvironment modes)
    : environment_(std::move(environment)),
      modes_(std::move(modes)),
      link_(*environment_.clock, modes_.bluetooth) {
  // Sockets are part of the system on Linux; the check stays replaceable for tests.
  if (!environment_.startSockets) environment_.startSockets = [] { return true; };
  if (!environment_.ownerName) environment_.ownerName = [] { return OwnerName(); };
}

CZEPQuillonApp::~CZEPQuillonApp() = default;

bool CZEPQuillonApp::InitInstance() {
  if (!environment_.startSockets()) {
    Messages().Show(
        {LoadString(kStrSocketStartupFailed), u"", MessageIcon::kExclamation, MessageButtons::kOk});
    return false;
  }
  document_ = std::make_unique<CZEPQuillonDoc>();
  frame_ = std::make_unique<CMainFrame>(*this);
  if (!document_->OnNewDocument()) return false;
  frame_->View()->OnInitialUpdate();
  frame_->show();
  return true;
}

void CZEPQuillonApp::OnAppAbout() {
  CAboutDlg about;
  about.DoModal();
}

int CZEPQuillonApp::RunRoverDialog() {
  ModeServices services{GetClock(),      Messages(), *modes_.bluetooth,
                        *modes_.devices, link_,      modes_.settingsFolder,
                        std::nullopt};
  CZEPInterlinkDlg dialog(services, roverStatus_, frame_.get());
  return dialog.DoModal();
}

void CZEPQuillonApp::OnHelpTopics() { Help().Open(QString::fromLatin1(kHelpContentsAnchor)); }

}  // namespace quillon::ui
