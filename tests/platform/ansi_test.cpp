#include <gtest/gtest.h>

#include "platform/ansi.h"

namespace {

TEST(Ansi, RoundTripsEveryAssignedByte) {
  for (int c = 1; c < 256; ++c) {
    if (c == 0x98) continue;
    AnsiString one(1, static_cast<char>(c));
    bool lost = true;
    EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(one), '?', &lost), one) << c;
    EXPECT_FALSE(lost) << c;
  }
  EXPECT_EQ(AnsiToUtf8("\x98"), "\xEF\xBF\xBD");
}

TEST(Ansi, RussianLiteralsBecomeWindows1251) {
  EXPECT_EQ(W1251("Ёж ё"), "\xA8\xE6 \xB8");
  EXPECT_EQ(W1251("Внимание!"), "\xC2\xED\xE8\xEC\xE0\xED\xE8\xE5!");
  bool lost = false;
  EXPECT_EQ(Utf8ToAnsi("a\xE2\x82\xACz\xE4\xB8\xADq", '?', &lost), "a\x88z?q");  // euro kept, CJK lost
  EXPECT_TRUE(lost);
  EXPECT_EQ(Utf8ToAnsiDropping("a\xE4\xB8\xAD" "b"), "ab");
  EXPECT_EQ(Utf8ToAnsi("a\xC3"), "a?");  // truncated sequence
  // A longer form than the character needs ("9" in two bytes) and a surrogate are no characters.
  lost = false;
  EXPECT_EQ(Utf8ToAnsi("\xC0\xB9" "1\xED\xA0\x80" "2", '?', &lost), "?1?2");
  EXPECT_TRUE(lost);
}

TEST(Ansi, CaseTablesCoverCyrillic) {
  EXPECT_EQ(AnsiUpperCase(W1251("ёжик abc")), W1251("ЁЖИК ABC"));
  EXPECT_EQ(AnsiLowerCase(W1251("ЁЖИК ЎЇЄІЃЂ")), W1251("ёжик ўїєіѓђ"));
  EXPECT_EQ(UpperCase(W1251("abc ё")), W1251("ABC ё"));
  EXPECT_TRUE(IsCharAlpha(W1251("ё")[0]));
  EXPECT_TRUE(IsCharAlphaNumeric('7'));
  EXPECT_FALSE(IsCharAlphaNumeric(W1251("«")[0]));
  EXPECT_FALSE(IsCharAlpha('_'));
  EXPECT_TRUE(AnsiSameText(W1251("Привет"), W1251("пРИВЕТ")));
  EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
  int letters = 0;
  for (int c = 0; c < 256; ++c) {
    unsigned char u = static_cast<unsigned char>(c);
    if (IsCharUpper(u)) { EXPECT_TRUE(IsCharLower(AnsiLowerChar(u))) << c; }
    if (IsCharLower(u) && c != 0xB5) { EXPECT_TRUE(IsCharUpper(AnsiUpperChar(u))) << c; }
    letters += IsCharAlpha(u);
  }
  EXPECT_EQ(letters, 52 + 64 + 30 + 1);  // Latin, А..я, the other Cyrillic letters, µ
}

TEST(Ansi, CharType3Table) {
  EXPECT_EQ(CharType3('a'), C3_ALPHA | C3_HALFWIDTH);
  EXPECT_EQ(CharType3('5'), C3_HALFWIDTH);
  EXPECT_EQ(CharType3('!'), C3_SYMBOL | C3_HALFWIDTH);
  EXPECT_EQ(CharType3(0xE0), C3_ALPHA);  // а
  EXPECT_EQ(CharType3(0xAB), C3_SYMBOL);  // «
  EXPECT_EQ(CharType3(0x98), 0);
  EXPECT_EQ(CharType3('\t'), C3_HALFWIDTH);
  EXPECT_EQ(CharType3('\x01'), 0);
}

TEST(Ansi, LeadBytesAreEmptyUnlessReplaced) {
  EXPECT_FALSE(MultiByteSupport());
  EXPECT_EQ(ByteType("\x81\x40", 1), mbSingleByte);
  SetLeadBytes(TSysCharSet::Range(0x81, 0x9F));
  EXPECT_TRUE(MultiByteSupport());
  EXPECT_EQ(ByteType("\x81\x40\x81", 0), mbLeadByte);
  EXPECT_EQ(ByteType("\x81\x40\x81", 1), mbTrailByte);
  EXPECT_EQ(ByteType("\x81\x81\x81", 2), mbLeadByte);
  SetLeadBytes(TSysCharSet());
  EXPECT_FALSE(MultiByteSupport());
}

}  // namespace
