#include "app/ui/zep_quillon_app.h"

#include "app/ui/about_dlg.h"
#include "app/ui/main_frame.h"
#include "app/ui/zep_interlink_dlg.h"
#include "app/ui/zep_quillon_doc.h"
#include "app/ui/zep_quillon_view.h"
#include "app/ui/zep_source_dlg.h"
#include "common/strings.h"
#include "platform/owner_name.h"
#include "platform/platform_info.h"

namespace quillon::ui {

CZEPQuillonApp::CZEPQuillonApp(AppEnvironment environment, ModeEnvironment modes)
    : environment_(std::move(environment)),
      modes_(std::move(modes)),
      link_(*environment_.clock, modes_.bluetooth) {
  // Sockets are part of the system on Linux; the check stays replaceable for tests.
  if (!environment_.startSockets) environment_.startSockets = [] { return true; };
  if (!environment_.ownerName) environment_.ownerName = [] { return OwnerName(); };
  if (!environment_.platformType) environment_.platformType = [] { return PlatformTypeText(); };
  if (!environment_.addresses) environment_.addresses = InterfaceAddresses;
  if (modes_.bluetooth != nullptr && modes_.devices != nullptr) {
    modeServices_.emplace(ModeServices{GetClock(), Messages(), *modes_.bluetooth, *modes_.devices,
                                       link_, modes_.settingsFolder, std::nullopt});
    if (!environment_.roverDialog) {
      environment_.roverDialog = [this] {
        return std::make_unique<CZEPInterlinkDlg>(*modeServices_, roverStatus_);
      };
    }
    if (!environment_.baseDialog) {
      environment_.baseDialog = [this] {
        return std::make_unique<CZEPSourceDlg>(*modeServices_, baseStatus_);
      };
    }
  }
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
  if (!frame_->View()->OnInitialUpdate()) {
    exitStatus_ = 0;
    return false;
  }
  frame_->show();
  return true;
}

std::unique_ptr<CDataConnection> CZEPQuillonApp::MakeDataConnection() const {
  return std::make_unique<CDataConnection>(Messages(), GetClock(), environment_.addresses,
                                           environment_.connectionManager);
}

void CZEPQuillonApp::OnAppAbout() {
  CAboutDlg about;
  about.DoModal();
}

void CZEPQuillonApp::OnHelpTopics() { Help().Open(QString::fromLatin1(kHelpContentsAnchor)); }

}  // namespace quillon::ui
