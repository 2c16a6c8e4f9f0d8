// The handheld the program was made for, as the windowed program shows it on a desktop: a
// portrait screen that the main window stands for and that every dialog fills.
#pragma once

#include <QFont>
#include <QIcon>
#include <QSize>
#include <QWidget>
#include <optional>

namespace quillon::ui {

// The handheld's screen in logical pixels (Qt scales them for the display).
inline constexpr QSize kHandheldScreen{240, 320};

// Average character width of the handheld's dialog font, in pixels.
inline constexpr int kHandheldCharWidth = 6;

// Below this screen height (pixels) dialogs adjust their controls so that they stay usable.
inline constexpr int kSmallScreenHeight = 320;

// Room a desktop's window manager takes above a window for its title bar, in logical pixels.
inline constexpr int kWindowTitleAllowance = 32;

// The scale factor at which the main window (the handheld's screen and a title bar) fits a
// screen whose free area is `available` logical pixels at `scale`: `scale` itself when the
// window fits, else the largest that fits, in steps of 0.05, never below 1.
double FittedScale(double scale, QSize available);

// Whether `widget`'s screen, or a screen of `height` pixels when one is given, is that small.
bool IsSmallScreen(const QWidget& widget, std::optional<int> height);

// The font of the dialog templates ("System", 8 points): the desktop's font at 8 points.
QFont DialogFont();

// The program's icon (res/quillon.png and its 32-pixel drawing).
QIcon ProgramIcon();

// The main window, which dialogs without a parent fill and message boxes are centred on.
// None until the main frame registers itself; it unregisters when destroyed.
void SetMainWindow(QWidget* window);
QWidget* MainWindow();

}  // namespace quillon::ui
