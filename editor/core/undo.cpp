#include "editor/core/undo.h"

void TSrcEditUndoItem::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TSrcEditUndoItem*>(Source)) {
    fChangeReason = s->fChangeReason;
    fChangeSelMode = s->fChangeSelMode;
    fChangeStartPos = s->fChangeStartPos;
    fChangeEndPos = s->fChangeEndPos;
    fChangeStr = s->fChangeStr;
    fChangeNumber = s->fChangeNumber;
    return;
  }
  TPersistent::Assign(Source);
}

TSrcEditUndoList::TSrcEditUndoList() = default;

TSrcEditUndoList::~TSrcEditUndoList() { OnAddedUndo = nullptr; }

void TSrcEditUndoList::IncNextChangeNumber() {
  ++fNextChangeNumber;
  if (fNextChangeNumber == 0) ++fNextChangeNumber;
}

void TSrcEditUndoList::AddChange(TSrcChangeReason AReason, const TBufferCoord& AStart,
                                 const TBufferCoord& AEnd, const AnsiString& ChangeText,
                                 TSrcSelectionMode SelMode) {
  if (fLockCount > 0) return;
  auto* item = new TSrcEditUndoItem;
  try {
    item->fChangeReason = AReason;
    item->fChangeSelMode = SelMode;
    item->fChangeStartPos = AStart;
    item->fChangeEndPos = AEnd;
    item->fChangeStr = ChangeText;
    if (fBlockChangeNumber != 0) {
      item->fChangeNumber = fBlockChangeNumber;
    } else {
      item->fChangeNumber = static_cast<uint32_t>(fNextChangeNumber);
      IncNextChangeNumber();
    }
  } catch (...) {
    delete item;
    throw;
  }
  PushItem(item);
}

void TSrcEditUndoList::PushItem(TSrcEditUndoItem* Item) {
  if (!Item) return;
  std::unique_ptr<TSrcEditUndoItem> owned(Item);
  // Trimming may free the item itself (a maximum of 0): take what is needed from it first.
  bool groupBreak = Item->fChangeReason == rcGroupBreak;
  fItems.push_back(std::move(owned));
  EnsureMaxEntries();
  if (!groupBreak) CallEvent(OnAddedUndo, this);
}

TSrcEditUndoItem* TSrcEditUndoList::PopItem() {
  if (fItems.empty()) return nullptr;
  TSrcEditUndoItem* item = fItems.back().release();
  fItems.pop_back();
  return item;
}

TSrcEditUndoItem* TSrcEditUndoList::PeekItem() const {
  return fItems.empty() ? nullptr : fItems.back().get();
}

TSrcChangeReason TSrcEditUndoList::LastChangeReason() const {
  return fItems.empty() ? rcNothing : fItems.back()->fChangeReason;
}

void TSrcEditUndoList::BeginBlock() {
  ++fBlockCount;
  fBlockChangeNumber = static_cast<uint32_t>(fNextChangeNumber);
}

void TSrcEditUndoList::EndBlock() {
  if (fBlockCount <= 0) return;
  --fBlockCount;
  if (fBlockCount == 0) {
    uint32_t closed = fBlockChangeNumber;
    fBlockChangeNumber = 0;
    IncNextChangeNumber();
    if (!fItems.empty() && fItems.back()->fChangeNumber == closed) CallEvent(OnAddedUndo, this);
  }
}

void TSrcEditUndoList::AddGroupBreak() {
  if (LastChangeReason() != rcGroupBreak)
    AddChange(rcGroupBreak, TBufferCoord{0, 0}, TBufferCoord{0, 0}, AnsiString(), smNormal);
}

void TSrcEditUndoList::Clear() {
  fItems.clear();
  fFullUndoImposible = false;
}

void TSrcEditUndoList::EnsureMaxEntries() {
  size_t n = fItems.size();
  if (static_cast<int>(n) <= fMaxUndoActions) return;
  size_t cut = n;
  if (fMaxUndoActions > 0) {
    // Whole actions go from the bottom, never a part of one: an action undone in part would
    // leave its text half changed. The newest action stays whole even when it alone holds
    // more records than the maximum (a replace-all of many hits).
    const size_t max = static_cast<size_t>(fMaxUndoActions);
    const uint32_t newest = fItems.back()->fChangeNumber;
    cut = 0;
    while (n - cut > max && fItems[cut]->fChangeNumber != newest) {
      uint32_t action = fItems[cut]->fChangeNumber;
      while (cut < n && fItems[cut]->fChangeNumber == action) ++cut;
    }
    if (cut == 0) return;
  }
  fFullUndoImposible = true;
  fItems.erase(fItems.begin(), fItems.begin() + static_cast<std::ptrdiff_t>(cut));
}

void TSrcEditUndoList::SetMaxUndoActions(int Value) {
  if (Value < 0) Value = 0;
  if (Value != fMaxUndoActions) {
    fMaxUndoActions = Value;
    EnsureMaxEntries();
  }
}

bool TSrcEditUndoList::InitialState() const {
  if (fItems.empty()) return fInitialChangeNumber == 0;
  return fItems.back()->fChangeNumber == fInitialChangeNumber;
}

void TSrcEditUndoList::SetInitialState(bool Value) {
  if (Value) {
    fInitialChangeNumber = fItems.empty() ? 0 : fItems.back()->fChangeNumber;
  } else if (InitialState()) {
    fInitialChangeNumber = 0xFFFFFFFFu;
  }
}

void TSrcEditUndoList::Assign(TPersistent* Source) {
  if (auto* s = dynamic_cast<TSrcEditUndoList*>(Source)) {
    Clear();
    for (auto& it : s->fItems) {
      auto copy = std::make_unique<TSrcEditUndoItem>();
      copy->Assign(it.get());
      fItems.push_back(std::move(copy));
    }
    fBlockChangeNumber = s->fBlockChangeNumber;
    fBlockCount = s->fBlockCount;
    fFullUndoImposible = s->fFullUndoImposible;
    fLockCount = s->fLockCount;
    fMaxUndoActions = s->fMaxUndoActions;
    fNextChangeNumber = s->fNextChangeNumber;
    return;
  }
  TPersistent::Assign(Source);
}
