#pragma once
// Undo records and the bounded undo/redo stacks of the editor.
#include <cstdint>
#include <memory>
#include <vector>

#include "editor/core/types.h"
#include "platform/classes.h"

enum TSrcChangeReason : uint8_t {
  rcInsert = 0, rcPaste = 1, rcDropInsert = 2, rcDeleteBackward = 3, rcDelete = 4,
  rcLineBreak = 5, rcIndent = 6, rcUnindent = 7, rcDeleteBeforeCaret = 8, rcDeleteAfterCaret = 9,
  rcBlock1Begin = 10, rcBlock1End = 11, rcPasteBegin = 12, rcPasteEnd = 13,
  rcBlock2Begin = 14, rcBlock2End = 15, rcBlock3Begin = 16, rcBlock3End = 17,
  rcCaret = 18, rcSelection = 19, rcNothing = 20, rcGroupBreak = 21, rcDeleteAll = 22,
  rcPadding = 25,
  // The whole text, line for line of the lengths the text has: undo and redo exchange it with
  // the text, so that the record always holds the other one.
  rcExchangeText = 26,
};

class TSrcEditUndoItem : public TPersistent {
public:
  TSrcChangeReason fChangeReason = rcNothing;
  TSrcSelectionMode fChangeSelMode = smNormal;
  TBufferCoord fChangeStartPos;
  TBufferCoord fChangeEndPos;
  AnsiString fChangeStr;
  uint32_t fChangeNumber = 0;

  void Assign(TPersistent* Source) override;
};

class TSrcEditUndoList : public TPersistent {
public:
  TSrcEditUndoList();
  ~TSrcEditUndoList() override;

  // ChangeText is taken over by the record: a text given as a temporary or moved in is not copied.
  void AddChange(TSrcChangeReason AReason, const TBufferCoord& AStart, const TBufferCoord& AEnd,
                 AnsiString ChangeText, TSrcSelectionMode SelMode);
  // Appends Item (owned from now on); nil is ignored.
  void PushItem(TSrcEditUndoItem* Item);
  // Removes the top item and hands it to the caller; nil when empty.
  TSrcEditUndoItem* PopItem();
  TSrcEditUndoItem* PeekItem() const;
  TSrcChangeReason LastChangeReason() const;
  bool CanUndo() const { return !fItems.empty(); }
  int ItemCount() const { return static_cast<int>(fItems.size()); }
  TSrcEditUndoItem* Items(int i) const { return fItems.at(static_cast<size_t>(i)).get(); }

  void BeginBlock();
  void EndBlock();
  void AddGroupBreak();
  void Lock() { ++fLockCount; }
  void Unlock() {
    if (fLockCount > 0) --fLockCount;
  }
  bool IsLocked() const { return fLockCount > 0; }
  void Clear();

  // The most undo steps kept: the records that one Undo takes back together (a block, a group
  // of records of one reason, a single record) are one step, a group break none. The oldest
  // steps go whole; the newest are kept whole whatever their records.
  int MaxUndoActions() const { return fMaxUndoActions; }
  void SetMaxUndoActions(int Value);
  // Whether records of one reason that follow each other undo together (the editor's grouped
  // undo), so that steps are counted as Undo takes them.
  bool GroupUndo() const { return fGroupUndo; }
  void SetGroupUndo(bool Value);
  int StepCount() const { return fSteps; }
  bool InitialState() const;
  void SetInitialState(bool Value);
  bool FullUndoImpossible() const { return fFullUndoImposible; }
  uint32_t BlockChangeNumber() const { return fBlockChangeNumber; }
  void SetBlockChangeNumber(uint32_t n) { fBlockChangeNumber = n; }
  int BlockCount() const { return fBlockCount; }
  int NextChangeNumber() const { return fNextChangeNumber; }

  void Assign(TPersistent* Source) override;

  TNotifyEvent OnAddedUndo;

private:
  // Whether an Undo that began with change number Number goes on from the record above Below
  // to Below.
  bool GoesOn(size_t Below, uint32_t Number) const;
  bool IsBreak(size_t Index) const { return fItems[Index]->fChangeReason == rcGroupBreak; }
  // The topmost record that is not a group break; nil when there is none.
  const TSrcEditUndoItem* TopChange() const;
  // The steps as Undo takes them, worked out from the top.
  void Recount();
  void StepsAfterPush();
  void StepsBeforePop();
  void EnsureMaxEntries();
  void IncNextChangeNumber();

  uint32_t fBlockChangeNumber = 0;
  int fBlockCount = 0;
  bool fFullUndoImposible = false;
  std::vector<std::unique_ptr<TSrcEditUndoItem>> fItems;
  // For each item: an Undo begins there (the top of a step). A group break that begins one is
  // moved aside alone and is no step.
  std::vector<uint8_t> fStarts;
  int fSteps = 0;
  bool fGroupUndo = false;
  int fLockCount = 0;
  int fMaxUndoActions = 1024;
  int fNextChangeNumber = 1;
  uint32_t fInitialChangeNumber = 0;
};
