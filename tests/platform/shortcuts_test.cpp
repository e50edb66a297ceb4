#include "platform/shortcuts.h"

#include <gtest/gtest.h>

#include "platform/constants_registry.h"

TEST(ShortCuts, PackingAndText) {
  EXPECT_EQ(ShortCut('Z', {ssCtrl}), 0x405A);
  EXPECT_EQ(ShortCut(VK_BACK, {ssShift, ssAlt}), 0xA008);
  // Mouse buttons and double click are not part of a shortcut.
  EXPECT_EQ(ShortCut('A', {ssCtrl, ssLeft, ssDouble}), ShortCut('A', {ssCtrl}));
  EXPECT_EQ(ShortCut(0x100, {}), 0);

  EXPECT_EQ(ShortCutToText(ShortCut('Z', {ssCtrl})), "Ctrl+Z");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_INSERT, {ssShift})), "Shift+Ins");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_F9, {})), "F9");
  EXPECT_EQ(ShortCutToText(ShortCut(VK_BACK, {ssShift, ssAlt})), "Shift+Alt+BkSp");
  EXPECT_EQ(ShortCutToText(ShortCut('N', {ssCtrl, ssShift})), "Shift+Ctrl+N");
  EXPECT_EQ(ShortCutToText(0), "");
}

TEST(ShortCuts, EveryBoundKeyRoundTrips) {
  const Word keys[] = {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, VK_NEXT, VK_PRIOR, VK_HOME, VK_END, VK_INSERT,
                       VK_DELETE, VK_BACK, VK_RETURN, VK_TAB, VK_F1, VK_F12, VK_ESCAPE, VK_SPACE, VK_ADD,
                       VK_NUMPAD5, VK_OEM_PLUS, VK_OEM_MINUS};
  const TShiftState shifts[] = {{}, {ssShift}, {ssCtrl}, {ssAlt}, {ssCtrl, ssShift}, {ssShift, ssAlt},
                                {ssShift, ssCtrl, ssAlt}};
  std::vector<Word> all(std::begin(keys), std::end(keys));
  for (Word k = '0'; k <= '9'; ++k) all.push_back(k);
  for (Word k = 'A'; k <= 'Z'; ++k) all.push_back(k);
  for (Word k : all)
    for (TShiftState s : shifts) {
      TShortCut sc = ShortCut(k, s);
      AnsiString text = ShortCutToText(sc);
      ASSERT_FALSE(text.empty()) << k;
      EXPECT_EQ(TextToShortCut(text), sc) << text;
      Word k2;
      TShiftState s2;
      ShortCutToKey(sc, k2, s2);
      EXPECT_EQ(k2, k);
      EXPECT_EQ(s2, s);
    }
}

TEST(ShortCuts, ParsingIsLenientInCaseAndOrderButRejectsJunk) {
  EXPECT_EQ(TextToShortCut("ctrl+shift+z"), ShortCut('Z', {ssCtrl, ssShift}));
  EXPECT_EQ(TextToShortCut("Alt+Ctrl+Del"), ShortCut(VK_DELETE, {ssCtrl, ssAlt}));
  EXPECT_EQ(TextToShortCut("Ctrl+Num +"), ShortCut(VK_ADD, {ssCtrl}));
  for (const char* bad : {"", "Ctrl+", "Ctrl", "Ctrl+Ctrl+Z", "Ctrl+ZZ", "Hyper+Z", "F25", "+", "Ctrl+Z+"})
    EXPECT_EQ(TextToShortCut(bad), 0) << bad;
}

TEST(ConstantsRegistry, IdentifiersOrDigits) {
  static const TIdentMapEntry map[] = {{1, "clOne"}, {2, "clTwo"}};
  RegisterIntegerConsts(
      "TTestConst", [](const AnsiString& s, int& v) { return IdentToInt(s, v, map); },
      [](int v, AnsiString& s) { return IntToIdent(v, s, map); });
  EXPECT_EQ(IntegerConstToText("TTestConst", 2), "clTwo");
  EXPECT_EQ(IntegerConstToText("TTestConst", 7), "7");
  int v = 0;
  EXPECT_TRUE(TextToIntegerConst("TTestConst", "CLONE", v));
  EXPECT_EQ(v, 1);
  EXPECT_TRUE(TextToIntegerConst("TTestConst", "42", v));
  EXPECT_EQ(v, 42);
  EXPECT_FALSE(TextToIntegerConst("TTestConst", "clThree", v));
  UnregisterIntegerConsts("TTestConst");
  EXPECT_FALSE(FindIntToIdent("TTestConst"));
  EXPECT_EQ(IntegerConstToText("TTestConst", 2), "2");
}
