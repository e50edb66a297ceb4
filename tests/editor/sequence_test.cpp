// Long random sequences of edits: taking all of them back restores the original text, and
// redoing all of them gives the edited text again.
#include <gtest/gtest.h>

#include <random>

#include "editor/src_edit.h"

namespace {

AnsiString RandomPiece(std::mt19937& rng) {
  static const char* pieces[] = {"a", "bc", "\t", "  x", "\r\n", "de\r\nf", "\r\n\r\n", "g\nh", "ijk\r\n", "  "};
  return pieces[rng() % 10];
}

void RunSequence(unsigned seed, bool group, bool trim, bool clipboard) {
  std::mt19937 rng(seed);
  TSrcEdit e(nullptr);
  TSrcEditorOptions o = e.Options();
  o = group ? o.With(eoGroupUndo) : o.Without(eoGroupUndo);
  o = trim ? o.With(eoTrimTrailingSpaces) : o.Without(eoTrimTrailingSpaces);
  e.SetOptions(o);
  e.SetMaxUndo(100000);
  const AnsiString original = "first line\r\n\tsecond line\r\nthird\r\n\r\nfifth and last";
  // Half of the runs start from loaded lines, which stay in the loaded text until changed.
  if (seed % 2) {
    TStringStream loaded(original);
    e.Lines()->LoadFromStream(&loaded);
  } else {
    e.Lines()->SetText(original);
  }
  for (int step = 0; step < 300; ++step) {
    int lines = std::max(1, e.Lines()->Count());
    auto pos = [&]() { return BufferCoord(int(rng() % 16) + 1, int(rng() % (lines + 1)) + 1); };
    switch (rng() % (clipboard ? 11 : 8)) {
      case 0:
      case 1: {
        e.SetSelectionMode(static_cast<TSrcSelectionMode>(rng() % 3));
        TBufferCoord a = pos(), b = pos();
        e.PlaceCaretAndSelection(b, a, b);
        AnsiString piece = rng() % 3 == 0 ? AnsiString() : RandomPiece(rng);
        e.SetSelText(piece);
        break;
      }
      case 2:
      case 3:
        e.SetCaretXY(pos());
        e.CommandProcessor(ecChar, static_cast<char>('a' + rng() % 26), nullptr);
        break;
      case 4:
        e.SetCaretXY(pos());
        e.CommandProcessor(ecLineBreak, 0, nullptr);
        break;
      case 5:
        e.SetSelectionMode(smNormal);
        e.SetCaretXY(pos());
        e.CommandProcessor(ecDeleteLastChar, 0, nullptr);
        break;
      case 6:
        e.SetSelectionMode(smNormal);
        e.SetCaretXY(pos());
        e.CommandProcessor(ecDeleteChar, 0, nullptr);
        break;
      case 7:
        e.SetInsertMode(!e.InsertMode());
        break;
      case 8:
      case 9: {
        e.SetSelectionMode(static_cast<TSrcSelectionMode>(rng() % 3));
        TBufferCoord a = pos(), b = pos();
        e.PlaceCaretAndSelection(b, a, b);
        if (rng() % 2) e.CopyToClipboard(); else e.CutToClipboard();
        break;
      }
      case 10:
        e.SetSelectionMode(static_cast<TSrcSelectionMode>(rng() % 3));
        e.SetCaretXY(pos());
        e.PasteFromClipboard();
        break;
    }
  }
  const AnsiString edited = e.Lines()->Text();
  int guard = 0;
  while (e.UndoList()->CanUndo() && ++guard < 100000) e.Undo();
  ASSERT_EQ(e.Lines()->Text(), original) << "seed " << seed;
  guard = 0;
  while (e.RedoList()->CanUndo() && ++guard < 100000) e.Redo();
  ASSERT_EQ(e.Lines()->Text(), edited) << "seed " << seed;
  // The records redo put back are as exact as the first ones.
  guard = 0;
  while (e.UndoList()->CanUndo() && ++guard < 100000) e.Undo();
  ASSERT_EQ(e.Lines()->Text(), original) << "seed " << seed;
  TMemoryStream saved;
  e.Lines()->SaveToStream(&saved);
  ASSERT_EQ(saved.Data(), original + "\r\n") << "seed " << seed;
}

}  // namespace

TEST(SrcEditSequences, UndoAllRestoresAndRedoAllReplays) {
  for (unsigned seed = 1; seed <= 40; ++seed)
    for (bool group : {false, true})
      for (bool trim : {false, true}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " group " << group << " trim " << trim);
        RunSequence(seed, group, trim, false);
      }
}

// Copy, cut and paste in all three selection modes mixed into the same kind of sequence.
TEST(SrcEditSequences, ClipboardEditsUndoAndRedoExactly) {
  for (unsigned seed = 1; seed <= 40; ++seed)
    for (bool trim : {false, true}) {
      SCOPED_TRACE(testing::Message() << "seed " << seed << " trim " << trim);
      RunSequence(seed, true, trim, true);
    }
}

// With trimming on, a column block cut from behind a tab takes the tab with the trimming, and
// undo gives the line back exactly; a column paste whose pieces reach several lines below
// the text adds each of them and one undo takes them all away again.
TEST(SrcEditSequences, ColumnEditsWithTrimmingUndoExactly) {
  TSrcEdit e(nullptr);
  e.SetOptions(e.Options().With(eoGroupUndo).With(eoTrimTrailingSpaces));
  const AnsiString original = "first line\r\n\tsecoe\r\nthird";
  e.Lines()->SetText(original);
  e.SetSelectionMode(smColumn);
  e.PlaceCaretAndSelection(BufferCoord(11, 3), BufferCoord(2, 1), BufferCoord(11, 3));
  e.CutToClipboard();
  EXPECT_EQ(e.Lines()->Get(1), "");
  e.Undo();
  EXPECT_EQ(e.Lines()->Text(), original);

  e.Lines()->SetText("bc  ij");
  e.ClearUndo();
  e.SetCaretXY(BufferCoord(7, 1));
  e.InsertBlock(BufferCoord(7, 1), BufferCoord(7, 1), "\r\n\r\n n  b\r\nl");
  ASSERT_EQ(e.Lines()->Count(), 4);
  EXPECT_EQ(e.Lines()->Get(2), "       n  b");
  EXPECT_EQ(e.Lines()->Get(3), "      l");
  while (e.UndoList()->CanUndo()) e.Undo();
  EXPECT_EQ(e.Lines()->Text(), "bc  ij");
}

// Trimming (on by default) never turns a tab in front of an edit into blanks: not when the
// selection after it is typed over, and not when undo gives back a cut or a line break.
TEST(SrcEditSequences, TabsInFrontOfAnEditSurviveTrimmingAndUndo) {
  TSrcEdit e(nullptr);
  ASSERT_TRUE(e.Options().Contains(eoTrimTrailingSpaces));
  e.Lines()->SetText("\tfoo");
  e.PlaceCaretAndSelection(BufferCoord(5, 1), BufferCoord(2, 1), BufferCoord(5, 1));
  e.CommandProcessor(ecChar, 'x', nullptr);
  EXPECT_EQ(e.Lines()->Get(0), "\tx");

  e.Lines()->SetText("\tfoo");
  e.ClearUndo();
  e.PlaceCaretAndSelection(BufferCoord(5, 1), BufferCoord(2, 1), BufferCoord(5, 1));
  e.CutToClipboard();
  EXPECT_EQ(e.Lines()->Get(0), "");
  e.Undo();
  EXPECT_EQ(e.Lines()->Text(), "\tfoo");
  e.Redo();
  EXPECT_EQ(e.Lines()->Get(0), "");

  e.Lines()->SetText("\tx");
  e.ClearUndo();
  e.SetCaretXY(BufferCoord(3, 1));
  e.CommandProcessor(ecDeleteLastChar, 0, nullptr);
  EXPECT_EQ(e.Lines()->Get(0), "");
  e.Undo();
  EXPECT_EQ(e.Lines()->Text(), "\tx");

  e.Lines()->SetText("\tfoo");
  e.ClearUndo();
  e.SetCaretXY(BufferCoord(2, 1));
  e.CommandProcessor(ecLineBreak, 0, nullptr);
  EXPECT_EQ(e.Lines()->Get(0), "");
  e.Undo();
  EXPECT_EQ(e.Lines()->Text(), "\tfoo");
  e.Redo();
  EXPECT_EQ(e.Lines()->Get(0), "");
  EXPECT_EQ(e.Lines()->Count(), 2);
}

// A loaded line edited at its start and end, with and without trimming: the undo record holds
// only what was deleted, and undo gives the loaded text back byte for byte.
TEST(SrcEditSequences, BackspaceInALoadedLineRecordsOnlyTheDeletedCharacter) {
  const AnsiString body(1000, 'a');
  const AnsiString original = "x" + body + " b\r\nsecond\r\n";
  for (bool trim : {false, true}) {
    SCOPED_TRACE(trim);
    TSrcEdit e(nullptr);
    TSrcEditorOptions o = e.Options();
    e.SetOptions(trim ? o.With(eoTrimTrailingSpaces) : o.Without(eoTrimTrailingSpaces));
    TStringStream loaded(original);
    e.Lines()->LoadFromStream(&loaded);
    e.SetCaretXY(BufferCoord(2, 1));
    e.CommandProcessor(ecDeleteLastChar, 0, nullptr);
    EXPECT_TRUE(e.Lines()->Line(0) == body + " b");
    EXPECT_EQ(e.UndoList()->PeekItem()->fChangeStr, "x");
    EXPECT_EQ(e.CaretX(), 1);
    // At the line's end trimming takes the blank before the deleted character along.
    e.SetCaretXY(BufferCoord(1003, 1));
    e.CommandProcessor(ecDeleteLastChar, 0, nullptr);
    EXPECT_TRUE(e.Lines()->Line(0) == (trim ? body : body + " "));
    EXPECT_EQ(e.UndoList()->PeekItem()->fChangeStr, trim ? " b" : "b");
    while (e.UndoList()->CanUndo()) e.Undo();
    TMemoryStream saved;
    e.Lines()->SaveToStream(&saved);
    EXPECT_TRUE(saved.Data() == original);
  }
}
