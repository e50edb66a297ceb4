#pragma once
// The drag of a control in progress (TControl::BeginDrag starts one): the program's own
// drag-and-drop between its controls, driven by the pointer while its button is held.
#include "platform/controls.h"

// The control being dragged; nullptr when no drag runs.
TControl* DragSourceControl();
// Whether the drag has started (one that is not immediate waits for the pointer to move).
bool DragStarted();
// The control the pointer was last over during the drag, and the cursor shown there.
TControl* DragTargetControl();
TCursor DragCursorShown();
// Ends the drag in progress without a drop, as Escape does.
void CancelDrag();
