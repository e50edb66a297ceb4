#pragma once
// Groups the changes a command makes while the scope lives into one undo step (when Open: a
// command that may change nothing leaves the undo list alone).
#include "editor/src_edit.h"

struct UndoBlockScope {
  explicit UndoBlockScope(TCustomSrcEdit* e, bool open = true) : e_(e), open_(open) {
    if (open_) e_->BeginUndoBlock();
  }
  ~UndoBlockScope() {
    if (open_) e_->EndUndoBlock();
  }
  UndoBlockScope(const UndoBlockScope&) = delete;
  UndoBlockScope& operator=(const UndoBlockScope&) = delete;
  TCustomSrcEdit* e_;
  bool open_;
};
