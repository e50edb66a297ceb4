#pragma once
// System metrics and parameters the controls ask for: drag distance, scroll-bar sizes, the
// height of a window caption, the wheel's scroll lines and the pointer position.
#include "platform/graphics_types.h"

enum : int { SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21,
             SM_CXDRAG = 68, SM_CYDRAG = 69 };
int GetSystemMetrics(int Index);

// One notch of the mouse wheel.
constexpr int WHEEL_DELTA = 120;
// Rows one wheel notch scrolls; WHEEL_PAGESCROLL means a page.
constexpr int WHEEL_PAGESCROLL = -1;
int WheelScrollLines();

// The pointer position in screen coordinates.
TPoint GetCursorPos();
