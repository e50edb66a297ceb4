#pragma once
// Platform-internal: the looks of the action bars ("XP Style" and "Standard"), drawn by one
// application style over the desktop's own. A menu bar or tool bar carries its look as a widget
// property; the style draws the bar, its tool buttons and (for a menu bar) its drop-down menus
// in that look and leaves every other widget to the desktop's style.
class QWidget;

// Makes the bar style the application's style (before any window exists).
void InstallActionBarStyle();

// Gives a menu bar or tool bar its look; shadows put a darker band on the right and bottom edge
// of a menu bar's drop-down menus.
void SetActionBarLook(QWidget* bar, bool xp, bool shadows);

// The property of the menu bar that takes the window's menu keys (Alt, F10): the style lets it
// be worked from the keyboard as the desktop's menu bar is (a marked entry, arrows, Enter).
inline constexpr const char* kMenuKeysProperty = "menuKeys";
