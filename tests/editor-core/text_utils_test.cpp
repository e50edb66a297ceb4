#include <gtest/gtest.h>

#include "editor/core/text_utils.h"

namespace {

TEST(TextUtils, ConvertersAndTheirPicker) {
  EXPECT_EQ(PickTabConverterEx(0), &ConvertTabs1Ex);
  EXPECT_EQ(PickTabConverterEx(1), &ConvertTabs1Ex);
  EXPECT_EQ(PickTabConverterEx(2), &ConvertTabsPow2Ex);
  EXPECT_EQ(PickTabConverterEx(65536), &ConvertTabsPow2Ex);
  EXPECT_EQ(PickTabConverterEx(131072), &ConvertTabsGeneralEx);
  EXPECT_EQ(PickTabConverterEx(6), &ConvertTabsGeneralEx);
  EXPECT_EQ(PickTabConverter(8), &ConvertTabsPow2);
  for (int w : {2, 3, 4, 5, 8}) {
    SCOPED_TRACE(w);
    const std::string lines[] = {"\t", "ab\tc\t\td", "abcdefgh\t!", "x"};
    for (const auto& s : lines) {
      bool has;
      AnsiString e = PickTabConverterEx(w)(s, w, has);
      EXPECT_EQ(static_cast<int>(e.size()), ExpandedLength(s, w));
      EXPECT_EQ(has, s.find('\t') != std::string::npos);
      // Non-tab characters land at their display column.
      for (size_t i = 0; i < s.size(); ++i)
        if (s[i] != '\t') {
          EXPECT_EQ(e[static_cast<size_t>(CharIndexToColumn(static_cast<int>(i) + 1, w, s) - 1)], s[i]);
        }
    }
  }
  bool has;
  EXPECT_EQ(ConvertTabsGeneralEx("ab\tc", 3, has), "ab\tc");
  EXPECT_EQ(ConvertTabsPow2Ex("abc\td", 4, has), "abc\td");
  EXPECT_EQ(ConvertTabsPow2Ex("abcd\te", 4, has), "abcd\t\t\t\te");
}

TEST(TextUtils, ColumnsAndPositions) {
  EXPECT_EQ(CharIndexToColumn(0, 4, "\tx"), 1);
  EXPECT_EQ(CharIndexToColumn(2, 4, "\tx"), 5);
  EXPECT_EQ(CharIndexToColumn(4, 4, "\tx"), 7);  // beyond the end: one column each
  EXPECT_EQ(CharIndexToColumn(3, 1, "\t\tx"), 3);
  EXPECT_EQ(CharIndexToColumn(2, 8, "ab\t"), 2);  // before the first tab
  EXPECT_EQ(ClampValue(5, 1, 3), 3);
  EXPECT_EQ(ClampValue(-5, 1, 3), 1);
  EXPECT_EQ(MinPoint({5, 2}, {1, 3}), (TBufferCoord{5, 2}));
  EXPECT_EQ(MinPoint({5, 2}, {1, 2}), (TBufferCoord{1, 2}));
  int before;
  EXPECT_FALSE(GetHasTabs("", before));
  EXPECT_EQ(before, 0);
  EXPECT_FALSE(GetHasTabs("abc", before));
  EXPECT_EQ(before, 3);
  EXPECT_TRUE(GetHasTabs("ab\t", before));
  EXPECT_EQ(before, 2);
  const char text[] = "ab\rc";
  EXPECT_EQ(FindLineEnd(text), text + 2);
  EXPECT_EQ(FindLineEnd(nullptr), nullptr);
}

TEST(TextUtils, ScansWithAndWithoutLeadBytes) {
  TSysCharSet blanks{' ', '.'};
  EXPECT_EQ(ScanForCharInSet("ab cd", 1, blanks), 3);
  EXPECT_EQ(ScanForCharInSet("ab cd", 4, blanks), 0);
  EXPECT_EQ(ScanForCharInSet("ab cd", 0, blanks), 0);
  EXPECT_EQ(ReverseScanForCharInSet("a.b c", 5, blanks), 4);
  EXPECT_EQ(ReverseScanForCharInSet("a.b c", 3, blanks), 2);
  EXPECT_EQ(ReverseScanForCharInSet("a.b c", 6, blanks), 0);
  EXPECT_EQ(ScanForLeadByte("\x81 ", 1), 0);  // no double-byte code page
  SetLeadBytes(TSysCharSet::Range(0x81, 0x9F));
  // "\x81 " is one double-byte character whose trail byte is a blank.
  EXPECT_EQ(ScanForCharInSet("\x81  x", 1, blanks), 3);
  EXPECT_EQ(ScanForCharInSet("\x81  x", 2, blanks), 3);  // starts on a trail byte
  EXPECT_EQ(ReverseScanForCharInSet("a \x81 x", 4, blanks), 2);
  EXPECT_EQ(ScanForLeadByte("ab\x81x", 1), 3);
  EXPECT_EQ(ReverseScanForLeadByte("\x81x\x81xa", 5), 3);
  EXPECT_EQ(ReverseScanForLeadByte("\x81x\x81xa", 2), 1);
  SetLeadBytes(TSysCharSet());
}

TEST(TextUtils, CharacterClassesFromTypeFlags) {
  EXPECT_EQ(CharTypeClass(C3_SYMBOL), 9);
  EXPECT_EQ(CharTypeClass(C3_HALFWIDTH), 1);
  EXPECT_EQ(CharTypeClass(C3_HALFWIDTH | C3_ALPHA), 1);
  EXPECT_EQ(CharTypeClass(C3_HALFWIDTH | C3_SYMBOL), 2);
  EXPECT_EQ(CharTypeClass(C3_HALFWIDTH | C3_KATAKANA | C3_ALPHA), 3);
  EXPECT_EQ(CharTypeClass(C3_HALFWIDTH | C3_IDEOGRAPH), 0);
  EXPECT_EQ(CharTypeClass(C3_FULLWIDTH | C3_ALPHA), 4);
  EXPECT_EQ(CharTypeClass(C3_FULLWIDTH | C3_LEXICAL), 5);
  EXPECT_EQ(CharTypeClass(C3_FULLWIDTH | C3_KATAKANA), 6);
  EXPECT_EQ(CharTypeClass(C3_HIRAGANA | C3_FULLWIDTH), 7);
  EXPECT_EQ(CharTypeClass(C3_IDEOGRAPH | C3_ALPHA), 8);
  EXPECT_EQ(CharTypeClass(C3_ALPHA), 0);
  // Letters and digits of this code page fall in one class, punctuation in another.
  EXPECT_EQ(CharTypeClass(CharType3('a')), CharTypeClass(CharType3('7')));
  EXPECT_NE(CharTypeClass(CharType3('a')), CharTypeClass(CharType3('!')));
}

}  // namespace
