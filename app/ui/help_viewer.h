// The program's help page, "ZEPQuillon.htm", opened with the desktop's viewer.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

namespace quillon::ui {

inline constexpr char kHelpFileName[] = "ZEPQuillon.htm";
inline constexpr char kHelpContentsAnchor[] = "Main_Contents";
inline constexpr char kHelpAboutAnchor[] = "About";

// Where the page is looked for, in this order: next to the executable (where the build puts
// it), then the installed share/quillon folder beside the executable's bin folder.
QStringList DefaultHelpFolders();

class HelpViewer {
 public:
  // Opens a URL with the desktop's viewer; true when a viewer took it.
  using UrlOpener = std::function<bool(const QUrl&)>;

  // With no opener given, QDesktopServices opens the page.
  explicit HelpViewer(QStringList folders = DefaultHelpFolders(), UrlOpener open = {});

  // The page's URL at `anchor`, from the first folder that holds the page; empty when none does.
  QUrl PageUrl(const QString& anchor) const;

  // Opens the page at `anchor`. Nothing happens, and nothing is reported, when the page is
  // missing or no viewer takes it.
  void Open(const QString& anchor) const;

 private:
  QStringList folders_;
  UrlOpener open_;
};

}  // namespace quillon::ui
