#include "editor/core/undo.h"

#include "editor/core/line_store.h"

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
                                 const TBufferCoord& AEnd, AnsiString ChangeText,
                                 TSrcSelectionMode SelMode) {
  if (fLockCount > 0) return;
  auto* item = new TSrcEditUndoItem;
  try {
    item->fChangeReason = AReason;
    item->fChangeSelMode = SelMode;
    item->fChangeStartPos = AStart;
    item->fChangeEndPos = AEnd;
    item->fChangeStr = std::move(ChangeText);
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
  // Room first, so that the mark cannot fail to follow the item.
  if (fStarts.size() == fStarts.capacity()) fStarts.reserve(fStarts.size() * 2 + 16);
  fItems.push_back(std::move(owned));
  fStarts.push_back(1);
  StepsAfterPush();
  EnsureMaxEntries();
  if (!groupBreak) CallEvent(OnAddedUndo, this);
}

TSrcEditUndoItem* TSrcEditUndoList::PopItem() {
  if (fItems.empty()) return nullptr;
  StepsBeforePop();
  fStarts.pop_back();
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

// A break only parts changes: on an empty list, or on another break, there is nothing to part.
void TSrcEditUndoList::AddGroupBreak() {
  if (!fItems.empty() && LastChangeReason() != rcGroupBreak)
    AddChange(rcGroupBreak, TBufferCoord{0, 0}, TBufferCoord{0, 0}, AnsiString(), smNormal);
}

void TSrcEditUndoList::Clear() {
  size_t freed = fItems.capacity() * (sizeof(void*) + 1);
  for (const auto& item : fItems) freed += sizeof(TSrcEditUndoItem) + item->fChangeStr.capacity();
  decltype(fItems)().swap(fItems);
  decltype(fStarts)().swap(fStarts);
  ReleaseFreedMemory(freed);
  fSteps = 0;
  fFullUndoImposible = false;
}

// As Undo walks: on while the record has the step's change number or that of the record undone
// just before it (a change is never taken back in part), or, with grouped undo, its reason,
// other than an indent or an unindent.
bool TSrcEditUndoList::GoesOn(size_t Below, uint32_t Number) const {
  const TSrcEditUndoItem& lower = *fItems[Below];
  const TSrcEditUndoItem& upper = *fItems[Below + 1];
  if (lower.fChangeNumber == Number || lower.fChangeNumber == upper.fChangeNumber) return true;
  return fGroupUndo && lower.fChangeReason == upper.fChangeReason && upper.fChangeReason != rcIndent &&
         upper.fChangeReason != rcUnindent;
}

void TSrcEditUndoList::Recount() {
  fStarts.assign(fItems.size(), 0);
  fSteps = 0;
  size_t i = fItems.size();
  while (i > 0) {
    size_t top = i - 1;
    fStarts[top] = 1;
    i = top;
    if (IsBreak(top)) continue;
    ++fSteps;
    const uint32_t number = fItems[top]->fChangeNumber;
    while (i > 0 && GoesOn(i - 1, number)) --i;
  }
}

// A record pushed on top begins a step; the step it joins from below, if any, is worked out
// again only over the records of that step's first change: below them both walks go on alike.
void TSrcEditUndoList::StepsAfterPush() {
  const size_t top = fItems.size() - 1;
  if (IsBreak(top)) return;
  ++fSteps;
  if (top == 0) return;
  const size_t below = top - 1;
  const uint32_t number = fItems[top]->fChangeNumber;
  if (!GoesOn(below, number)) return;
  if (IsBreak(below)) {
    Recount();
    return;
  }
  fStarts[below] = 0;
  --fSteps;
  const uint32_t belowNumber = fItems[below]->fChangeNumber;
  if (belowNumber == number) return;
  // Joined by the reason alone: the records of the change below go on only while they repeat
  // the reason; where one does not, an Undo of its own begins.
  for (size_t k = below; k > 0 && fItems[k - 1]->fChangeNumber == belowNumber; --k) {
    if (GoesOn(k - 1, number)) continue;
    if (IsBreak(k - 1)) {
      Recount();
      return;
    }
    fStarts[k - 1] = 1;
    ++fSteps;
    return;
  }
}

// Before the top record goes: the record below it begins a step of its own from now on.
void TSrcEditUndoList::StepsBeforePop() {
  const size_t top = fItems.size() - 1;
  if (!IsBreak(top)) --fSteps;
  if (top == 0 || fStarts[top - 1]) return;
  const size_t below = top - 1;
  if (IsBreak(below)) {
    // Rare (a group break inside a block): worked out whole without the top record.
    std::unique_ptr<TSrcEditUndoItem> last = std::move(fItems.back());
    fItems.pop_back();
    Recount();
    fItems.push_back(std::move(last));
    fStarts.push_back(1);
    return;
  }
  fStarts[below] = 1;
  ++fSteps;
  const uint32_t belowNumber = fItems[below]->fChangeNumber;
  if (belowNumber == fItems[top]->fChangeNumber) return;
  // Its own change number now carries the walk through all its records: steps that began
  // inside them join it.
  for (size_t k = below; k > 0 && fItems[k - 1]->fChangeNumber == belowNumber; --k) {
    if (!fStarts[k - 1]) continue;
    fStarts[k - 1] = 0;
    if (!IsBreak(k - 1)) --fSteps;
  }
}

void TSrcEditUndoList::SetGroupUndo(bool Value) {
  if (Value == fGroupUndo) return;
  fGroupUndo = Value;
  Recount();
  EnsureMaxEntries();
}

void TSrcEditUndoList::EnsureMaxEntries() {
  if (fSteps <= fMaxUndoActions || fItems.empty()) return;
  const size_t n = fItems.size();
  size_t cut = n;
  int steps = 0;
  if (fMaxUndoActions > 0) {
    // Whole steps go from the bottom, never a part of one: a step undone in part would leave
    // its text half changed. The newest step stays whole even when it alone holds more records
    // than any maximum (a replace-all of many hits).
    cut = 0;
    steps = fSteps;
    while (steps > fMaxUndoActions) {
      size_t top = cut;  // the top record of the oldest step left
      while (top < n && !fStarts[top]) ++top;
      if (top >= n - 1) break;
      if (!IsBreak(top)) --steps;
      cut = top + 1;
    }
    if (cut == 0) return;
  }
  // The text that was saved stays reachable only while the record on top at the save does, or
  // while the records above it do: when the cut ends exactly with that record, undoing every
  // record left leads back to the saved text, which the empty list then stands for.
  const bool atSave = InitialState();
  // Breaks between the cut and the change below it change no text.
  size_t below = cut;
  while (below > 0 && IsBreak(below - 1)) --below;
  const bool savedAtCut = fInitialChangeNumber != 0 && below > 0 &&
                          fItems[below - 1]->fChangeNumber == fInitialChangeNumber &&
                          (cut == n || fItems[cut]->fChangeNumber != fInitialChangeNumber);
  bool saveCut = fInitialChangeNumber == 0;
  for (size_t i = 0; i < cut && !saveCut; ++i) saveCut = fItems[i]->fChangeNumber == fInitialChangeNumber;
  fFullUndoImposible = true;
  fItems.erase(fItems.begin(), fItems.begin() + static_cast<std::ptrdiff_t>(cut));
  fStarts.erase(fStarts.begin(), fStarts.begin() + static_cast<std::ptrdiff_t>(cut));
  fSteps = steps;
  if (atSave)
    SetInitialState(true);
  else if (savedAtCut)
    fInitialChangeNumber = 0;
  else if (saveCut)
    fInitialChangeNumber = 0xFFFFFFFFu;
}

void TSrcEditUndoList::SetMaxUndoActions(int Value) {
  if (Value < 0) Value = 0;
  if (Value != fMaxUndoActions) {
    fMaxUndoActions = Value;
    EnsureMaxEntries();
  }
}

// The text a list stands for is that of its topmost change: group breaks above it change
// nothing, so they neither make nor unmake the saved state.
const TSrcEditUndoItem* TSrcEditUndoList::TopChange() const {
  for (size_t i = fItems.size(); i > 0; --i)
    if (!IsBreak(i - 1)) return fItems[i - 1].get();
  return nullptr;
}

bool TSrcEditUndoList::InitialState() const {
  const TSrcEditUndoItem* top = TopChange();
  return (top ? top->fChangeNumber : 0) == fInitialChangeNumber;
}

void TSrcEditUndoList::SetInitialState(bool Value) {
  if (Value) {
    const TSrcEditUndoItem* top = TopChange();
    fInitialChangeNumber = top ? top->fChangeNumber : 0;
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
    fGroupUndo = s->fGroupUndo;
    Recount();
    return;
  }
  TPersistent::Assign(Source);
}
