#include "editor/core/commands.h"

#include <gtest/gtest.h>

#include <set>

TEST(EditorCommands, HundredDistinctIdentifiersRegistered) {
  auto map = EditorCommandMap();
  ASSERT_EQ(map.size(), 100u);
  std::set<int> numbers;
  std::set<AnsiString> names;
  for (const auto& e : map) {
    numbers.insert(e.Value);
    names.insert(e.Name);
  }
  EXPECT_EQ(numbers.size(), 100u);
  EXPECT_EQ(names.size(), 100u);

  // Registered at start-up for form storage.
  EXPECT_EQ(IntegerConstToText(kEditorCommandTypeName, ecSetMarker9), "ecSetMarker9");
  EXPECT_EQ(IntegerConstToText(kEditorCommandTypeName, 1200), "1200");
  int v = 0;
  ASSERT_TRUE(TextToIntegerConst(kEditorCommandTypeName, "ecAutoCompletion", v));
  EXPECT_EQ(v, 650);
  EXPECT_FALSE(IdentToEditorCommand("ecNoSuchCommand", v));
  EXPECT_EQ(EditorCommandToCodeString(ecUserFirst), "ecUserFirst");
  EXPECT_EQ(EditorCommandToCodeString(1002), "1002");
}

TEST(EditorCommands, SelectingMovesAreMovesPlusHundred) {
  for (TSrcEditorCommand c = ecLeft; c <= ecGotoXY; ++c) {
    AnsiString move, sel;
    ASSERT_TRUE(EditorCommandToIdent(c, move));
    ASSERT_TRUE(EditorCommandToIdent(c + ecSelection, sel));
    EXPECT_EQ(sel, "ecSel" + move.substr(2));
  }
  EXPECT_EQ(ecGotoMarker0 + 9, ecGotoMarker9);
  EXPECT_EQ(ecSetMarker0, 351);
}
