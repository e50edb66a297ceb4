#pragma once
// Input as a user produces it, sent through the window system's event path of a control (the
// native widget of a standard control): for tests and scripted runs.
#include <string>
#include <vector>

#include "platform/controls.h"
#include "platform/graphics.h"

// A key pressed and released. `text` is what the keyboard layout types (UTF-8); with
// `russianLayout` a letter key reports the Cyrillic letter of the ЙЦУКЕН layout, as the desktop
// does under a Russian layout. Without a control the key goes where the keyboard's go now: to an
// open menu, else to the focused widget.
void SimulateKeyStroke(TWinControl* control, Word vk, TShiftState shift = {},
                       const std::string& text = std::string(), bool russianLayout = false);
// The two halves of a stroke, for a key held over other input.
void SimulateKeyPress(TWinControl* control, Word vk, TShiftState shift = {});
void SimulateKeyRelease(TWinControl* control, Word vk, TShiftState shift = {});
// Typing text (UTF-8), one key event per character.
void SimulateTyping(TWinControl* control, const std::string& utf8);
enum TSimulatedMouse { smPress, smRelease, smMove, smDoubleClick };
void SimulateMouse(TWinControl* control, TSimulatedMouse kind, TMouseButton button, int x, int y,
                   TShiftState shift = {});
void SimulateWheel(TWinControl* control, int delta, TShiftState shift = {});
void SimulateInputMethodCommit(TWinControl* control, const std::string& utf8);
void SimulateFileDrop(TWinControl* control, const std::vector<std::string>& paths, int x = 1, int y = 1);
// A keyboard of the window system's own that holds the given modifier keys at this moment, in
// place of the desktop's (offscreen there is none): what the key state asks the keyboard itself
// answers it until EndSimulatedKeyboard.
void SimulateKeyboardHolding(TShiftState held);
void EndSimulatedKeyboard();
// A primary selection as another program of an X desktop holds it (text in UTF-8, with LF line
// breaks), in place of the desktop's own, for runs on a platform that has none (offscreen):
// PrimarySelection() reads and writes it until EndSimulatedPrimarySelection.
void SimulatePrimarySelection(const std::string& Utf8);
void EndSimulatedPrimarySelection();
// Shows the control's window as a top-level window of the given size and lets it paint.
void ShowForTest(TWinControl* control, int width, int height);
// The control's client area as painted now, saved as a PNG file; false when it cannot be.
bool SaveClientImage(TWinControl* control, const std::string& path);
// The whole window of a control (a form with its child controls) as painted now, saved as a
// PNG file; false when it cannot be.
bool SaveWindowImage(TWinControl* control, const std::string& path);
// The open popup (a drop-down or context menu) as painted now, saved as a PNG file; false when
// no popup is open.
bool SavePopupImage(const std::string& path);
// The same pictures copied into a bitmap; false when there is no window or no popup.
bool GrabWindowImage(TWinControl* control, TBitmap& image);
bool GrabPopupImage(TBitmap& image);
// The colour (as $00BBGGRR) of a client pixel after painting.
TColor ClientPixel(TWinControl* control, int x, int y);
// Whether the window of a control holds a copy of its pixels besides the window's own.
bool HoldsPixelCopy(TWinControl* control);
// The text a message box of the given text shows a person, as its label displays it (UTF-8).
std::string ShownMessageText(const AnsiString& Text);
