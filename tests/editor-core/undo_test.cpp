#include <gtest/gtest.h>

#include "editor/core/undo.h"

namespace {

struct Counter {
  int added = 0;
  void Added(TObject*) { ++added; }
};

void Change(TSrcEditUndoList& u, TSrcChangeReason r = rcInsert) {
  u.AddChange(r, {1, 1}, {2, 1}, "x", smNormal);
}

TEST(UndoList, NumbersRecordsAndBlocks) {
  TSrcEditUndoList u;
  Counter c;
  u.OnAddedUndo = TNotifyEvent(&c, &Counter::Added);
  Change(u);
  Change(u);
  EXPECT_EQ(u.Items(0)->fChangeNumber, 1u);
  EXPECT_EQ(u.Items(1)->fChangeNumber, 2u);
  u.BeginBlock();
  u.BeginBlock();  // nested: one number for all
  Change(u, rcPasteBegin);
  Change(u, rcDelete);
  u.EndBlock();
  Change(u, rcPasteEnd);
  EXPECT_EQ(c.added, 5);
  u.EndBlock();
  EXPECT_EQ(c.added, 6);  // the closed block reports once more
  for (int i = 2; i < 5; ++i) EXPECT_EQ(u.Items(i)->fChangeNumber, 3u);
  Change(u);
  EXPECT_EQ(u.PeekItem()->fChangeNumber, 4u);
  u.EndBlock();  // unbalanced: ignored
  EXPECT_EQ(u.BlockCount(), 0);
  // An empty block reports nothing on closing.
  u.BeginBlock();
  u.EndBlock();
  EXPECT_EQ(c.added, 7);
  EXPECT_EQ(u.NextChangeNumber(), 6);
}

TEST(UndoList, LocksGroupBreaksAndEmptyState) {
  TSrcEditUndoList u;
  Counter c;
  u.OnAddedUndo = TNotifyEvent(&c, &Counter::Added);
  EXPECT_EQ(u.LastChangeReason(), rcNothing);
  EXPECT_EQ(u.PopItem(), nullptr);
  // A break parts changes: an empty list has none to part.
  u.AddGroupBreak();
  EXPECT_EQ(u.ItemCount(), 0);
  EXPECT_TRUE(u.InitialState());
  Change(u);
  u.SetInitialState(true);
  c.added = 0;
  u.AddGroupBreak();
  u.AddGroupBreak();
  EXPECT_EQ(u.ItemCount(), 2);
  EXPECT_EQ(c.added, 0);  // a group break is not reported
  // nor does it move the list away from the saved text
  EXPECT_TRUE(u.InitialState());
  u.Lock();
  u.Lock();
  Change(u);
  u.Unlock();
  Change(u);
  u.Unlock();
  u.Unlock();  // never below zero
  EXPECT_EQ(u.ItemCount(), 2);
  Change(u);
  EXPECT_EQ(u.ItemCount(), 3);
  EXPECT_FALSE(u.InitialState());
  std::unique_ptr<TSrcEditUndoItem> top(u.PopItem());
  EXPECT_EQ(top->fChangeReason, rcInsert);
  EXPECT_TRUE(u.InitialState());
  u.PushItem(nullptr);
  EXPECT_EQ(u.ItemCount(), 2);
}

TEST(UndoList, TrimsAtTheMaximumAndRemembersIt) {
  TSrcEditUndoList u;
  for (int i = 0; i < 1024; ++i) Change(u);
  EXPECT_FALSE(u.FullUndoImpossible());
  Change(u);
  EXPECT_EQ(u.ItemCount(), 1024);
  EXPECT_TRUE(u.FullUndoImpossible());
  EXPECT_EQ(u.Items(0)->fChangeNumber, 2u);  // the oldest one is gone
  u.SetMaxUndoActions(-3);
  EXPECT_EQ(u.MaxUndoActions(), 0);
  EXPECT_EQ(u.ItemCount(), 0);
  // With a maximum of 0 every record is dropped as it comes, and still reported.
  int added = 0;
  struct Counter {
    int* n;
    void Added(TObject*) { ++*n; }
  } counter{&added};
  u.OnAddedUndo = TNotifyEvent(&counter, &Counter::Added);
  Change(u);
  Change(u);
  EXPECT_EQ(u.ItemCount(), 0);
  EXPECT_EQ(added, 2);
  u.OnAddedUndo = nullptr;
  u.SetMaxUndoActions(10);
  u.Clear();
  EXPECT_FALSE(u.FullUndoImpossible());

  // The maximum counts undo steps as Undo takes them, whatever their records: grouped typing
  // is one, a block is one, a group break none.
  TSrcEditUndoList g;
  g.SetGroupUndo(true);
  g.SetMaxUndoActions(3);
  for (int i = 0; i < 3000; ++i) Change(g);
  g.AddGroupBreak();
  g.BeginBlock();
  for (int i = 0; i < 3000; ++i) {
    Change(g, rcDelete);
    Change(g);
  }
  g.EndBlock();
  g.AddGroupBreak();
  EXPECT_EQ(g.StepCount(), 2);
  EXPECT_FALSE(g.FullUndoImpossible());
  // Typing on after padding: the insert joins the typing before it, and the padding goes with
  // the insert it was made for: a change is never undone in part.
  g.BeginBlock();
  Change(g, rcPadding);
  Change(g);
  g.EndBlock();
  Change(g);
  EXPECT_EQ(g.StepCount(), 3);
  EXPECT_FALSE(g.FullUndoImpossible());
  Change(g, rcDelete);
  EXPECT_EQ(g.StepCount(), 3);  // the oldest step went whole
  EXPECT_TRUE(g.FullUndoImpossible());
  EXPECT_EQ(g.ItemCount(), 1 + 6000 + 1 + 3 + 1);
  delete g.PopItem();
  EXPECT_EQ(g.StepCount(), 2);
  delete g.PopItem();
  EXPECT_EQ(g.StepCount(), 2);  // the padding and its insert are one step on their own again
}

TEST(UndoList, InitialStateTracksTheSavePoint) {
  TSrcEditUndoList u;
  EXPECT_TRUE(u.InitialState());
  Change(u);
  EXPECT_FALSE(u.InitialState());
  u.SetInitialState(true);
  EXPECT_TRUE(u.InitialState());
  Change(u);
  EXPECT_FALSE(u.InitialState());
  delete u.PopItem();
  EXPECT_TRUE(u.InitialState());  // back at the save point
  delete u.PopItem();
  EXPECT_FALSE(u.InitialState());  // past it
  u.SetInitialState(true);
  EXPECT_TRUE(u.InitialState());
  u.SetInitialState(false);  // counts as changed until the next save
  EXPECT_FALSE(u.InitialState());
  Change(u);
  delete u.PopItem();
  EXPECT_FALSE(u.InitialState());

  // Without grouped undo, a history cut exactly at the save point: undoing every step left
  // leads back to the saved text. Cut once more, the empty list is that text no longer.
  TSrcEditUndoList m;
  m.SetMaxUndoActions(3);
  Change(m);
  m.SetInitialState(true);
  for (int i = 0; i < 3; ++i) Change(m);
  EXPECT_TRUE(m.FullUndoImpossible());
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(m.InitialState());
    delete m.PopItem();
  }
  EXPECT_TRUE(m.InitialState());
  for (int i = 0; i < 4; ++i) Change(m);
  while (m.CanUndo()) delete m.PopItem();
  EXPECT_FALSE(m.InitialState());
}

TEST(UndoList, AssignCopiesItemsAndCounters) {
  TSrcEditUndoList a, b;
  a.SetMaxUndoActions(50);
  a.BeginBlock();
  a.AddChange(rcDelete, {3, 4}, {1, 2}, "text", smColumn);
  a.Lock();
  b.Assign(&a);
  ASSERT_EQ(b.ItemCount(), 1);
  EXPECT_NE(b.Items(0), a.Items(0));
  EXPECT_EQ(b.Items(0)->fChangeStr, "text");
  EXPECT_EQ(b.Items(0)->fChangeSelMode, smColumn);
  EXPECT_EQ(b.Items(0)->fChangeStartPos, (TBufferCoord{3, 4}));
  EXPECT_EQ(b.MaxUndoActions(), 50);
  EXPECT_EQ(b.BlockCount(), 1);
  EXPECT_TRUE(b.IsLocked());
  EXPECT_EQ(b.NextChangeNumber(), a.NextChangeNumber());
  TSrcEditUndoItem item;
  EXPECT_THROW(b.Assign(&item), EConvertError);
}

}  // namespace
