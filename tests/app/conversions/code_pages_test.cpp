// The code-page tables against glibc's iconv, bytes outside the letters, round trips and the
// converter component.
#include <gtest/gtest.h>
#include <iconv.h>

#include <set>
#include <string>

#include "app/conversions/code_page_convertor.h"

namespace {

const char* const kIconvNames[kCodePageCount] = {"CP866", "ISO-8859-5", "KOI8-R", "MACCYRILLIC", "CP1251"};
const TCodePage kPages[kCodePageCount] = {cpALT, cpISO, cpKOI, cpMAC, cpWIN};

// The text through iconv, or "" when iconv cannot convert it.
std::string Iconv(const std::string& text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  std::string in = text, out(text.size() * 4 + 4, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return {};
  out.resize(out.size() - ol);
  return out;
}

// The 66 Russian letters in UTF-8, one string each.
std::vector<std::string> RussianLetters() {
  std::vector<std::string> v;
  for (char32_t c = 0x410; c < 0x450; ++c) {
    std::string s;
    s += static_cast<char>(0xC0 | (c >> 6));
    s += static_cast<char>(0x80 | (c & 0x3F));
    v.push_back(s);
  }
  v.push_back("Ё");
  v.push_back("ё");
  return v;
}

std::string InPage(const std::string& utf8, TCodePage p) { return Iconv(utf8, "UTF-8", kIconvNames[p]); }

// Expected sizes of the tables, [source][target].
const int kSizes[kCodePageCount][kCodePageCount] = {
    {0, 66, 66, 34, 66}, {50, 0, 66, 66, 66}, {66, 66, 0, 66, 66}, {34, 66, 66, 0, 43}, {66, 66, 66, 46, 0}};

TEST(CodePageTables, EveryLetterConvertsAsIconvDoes) {
  for (TCodePage s : kPages)
    for (TCodePage t : kPages) {
      SCOPED_TRACE(std::string(kIconvNames[s]) + " -> " + kIconvNames[t]);
      auto table = CodePageTable(s, t);
      EXPECT_EQ(static_cast<int>(table.size()), kSizes[s][t]);
      std::set<int> froms;
      for (const TCodePair& e : table) froms.insert(e.From & 0xFF);
      EXPECT_EQ(froms.size(), table.size()) << "a byte listed twice";
      for (const std::string& letter : RussianLetters()) {
        std::string src = InPage(letter, s), dst = InPage(letter, t);
        ASSERT_EQ(src.size(), 1u);
        ASSERT_EQ(dst.size(), 1u);
        EXPECT_EQ(ConvertString(src, s, t), dst) << letter;
      }
    }
}

TEST(CodePageTables, RowsBeyondTheLettersMatchThePublishedPagesExceptTheMacintoshGhe) {
  // The Macintosh side of these rows has Ґ and ґ where the published page has Ѓ and ѓ.
  EXPECT_EQ(ConvertString("\xAE\xAF", cpMAC, cpWIN), "\xA5\xB4");
  EXPECT_EQ(ConvertString("\xA5\xB4", cpWIN, cpMAC), "\xAE\xAF");
  EXPECT_EQ(Iconv("\xAE\xAF", "MACCYRILLIC", "UTF-8"), "Ѓѓ");
  int checked = 0;
  for (auto [s, t] : {std::pair{cpMAC, cpWIN}, std::pair{cpWIN, cpMAC}})
    for (const TCodePair& e : CodePageTable(s, t)) {
      std::string from(1, static_cast<char>(e.From & 0xFF));
      std::string utf8 = Iconv(from, kIconvNames[s], "UTF-8");
      if (utf8 == "Ѓ" || utf8 == "ѓ" || utf8 == "Ґ" || utf8 == "ґ") continue;
      EXPECT_EQ(std::string(1, static_cast<char>(e.To & 0xFF)), Iconv(from, kIconvNames[s], kIconvNames[t]))
          << std::hex << e.From;
      ++checked;
    }
  EXPECT_EQ(checked, 43 + 46 - 4);
  // "№" and the guillemets go to the Macintosh page only.
  EXPECT_EQ(ConvertString("\xB9\xAB\xBB", cpWIN, cpMAC), "\xDC\xC7\xC8");
  EXPECT_EQ(ConvertString("\xDC\xC7\xC8", cpMAC, cpWIN), "\xDC\xC7\xC8");
}

TEST(CodePageTables, BytesNoTableListsAreCopiedAndNulsKept) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  for (TCodePage s : kPages)
    for (TCodePage t : kPages) {
      std::set<int> listed;
      for (const TCodePair& e : CodePageTable(s, t)) listed.insert(e.From & 0xFF);
      std::string out = ConvertString(all, s, t);
      ASSERT_EQ(out.size(), 256u);
      for (int c = 0; c < 256; ++c)
        if (s == t || !listed.count(c)) {
          EXPECT_EQ(static_cast<unsigned char>(out[c]), c);
        }
    }
  std::string withNul("\xCF\x00\xF0", 3);
  EXPECT_EQ(ConvertString(withNul, cpWIN, cpKOI), std::string("\xF0\x00\xD2", 3));
  EXPECT_EQ(ConvertString("", cpWIN, cpKOI), "");
  // DOS to Macintosh leaves the capital letters' bytes alone.
  EXPECT_EQ(ConvertString("\x80\x9F", cpALT, cpMAC), "\x80\x9F");
}

TEST(CodePageTables, RussianTextSurvivesRoundTripsThroughEveryPage) {
  std::string text = InPage("Съешь же ещё этих мягких французских булок, да выпей чаю! ЁЖИК 1", cpWIN);
  ASSERT_FALSE(text.empty());
  for (TCodePage p : {cpALT, cpISO, cpKOI})
    EXPECT_EQ(ConvertString(ConvertString(text, cpWIN, p), p, cpWIN), text) << kIconvNames[p];
  // Through two other pages and back.
  EXPECT_EQ(ConvertString(ConvertString(ConvertString(text, cpWIN, cpKOI), cpKOI, cpALT), cpALT, cpWIN), text);
}

TEST(CodePageConvertor, EachPropertyRecomputesTheOutput) {
  TCodePageConvertor c(nullptr);
  EXPECT_EQ(c.InputCodePage(), cpALT);
  EXPECT_EQ(c.OutputCodePage(), cpALT);
  std::string hello = InPage("Привет, world!", cpWIN);
  c.SetInputString(hello);
  EXPECT_EQ(c.OutputString(), hello);  // same page: unchanged
  c.SetInputCodePage(cpWIN);
  c.SetOutputCodePage(cpKOI);
  EXPECT_EQ(c.OutputString(), InPage("Привет, world!", cpKOI));
  c.SetInputCodePage(cpKOI);
  c.SetOutputCodePage(cpWIN);
  c.SetInputString(c.ConvertString(hello, cpWIN, cpKOI));
  EXPECT_EQ(c.OutputString(), hello);
  std::string line300(300, '\xE0');  // а
  c.SetInputCodePage(cpWIN);
  c.SetOutputCodePage(cpKOI);
  c.SetInputString(line300);
  EXPECT_EQ(c.OutputString(), std::string(300, '\xC1'));
}

}  // namespace
