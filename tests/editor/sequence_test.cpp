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

void RunSequence(unsigned seed, bool group, bool trim) {
  std::mt19937 rng(seed);
  TSrcEdit e(nullptr);
  TSrcEditorOptions o = e.Options();
  o = group ? o.With(eoGroupUndo) : o.Without(eoGroupUndo);
  o = trim ? o.With(eoTrimTrailingSpaces) : o.Without(eoTrimTrailingSpaces);
  e.SetOptions(o);
  e.SetMaxUndo(100000);
  const AnsiString original = "first line\r\n\tsecond line\r\nthird\r\n\r\nfifth and last";
  e.Lines()->SetText(original);
  for (int step = 0; step < 300; ++step) {
    int lines = std::max(1, e.Lines()->Count());
    auto pos = [&]() { return BufferCoord(int(rng() % 16) + 1, int(rng() % (lines + 1)) + 1); };
    switch (rng() % 8) {
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
    }
  }
  const AnsiString edited = e.Lines()->Text();
  int guard = 0;
  while (e.UndoList()->CanUndo() && ++guard < 100000) e.Undo();
  ASSERT_EQ(e.Lines()->Text(), original) << "seed " << seed;
  guard = 0;
  while (e.RedoList()->CanUndo() && ++guard < 100000) e.Redo();
  ASSERT_EQ(e.Lines()->Text(), edited) << "seed " << seed;
}

}  // namespace

TEST(SrcEditSequences, UndoAllRestoresAndRedoAllReplays) {
  for (unsigned seed = 1; seed <= 40; ++seed)
    for (bool group : {false, true})
      for (bool trim : {false, true}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << " group " << group << " trim " << trim);
        RunSequence(seed, group, trim);
      }
}

