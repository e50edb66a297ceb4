// The main window's conversion actions on the document and on the selection.
#include "tests/app/app_fixture.h"

#include "app/conversions/code_page_convertor.h"

namespace {

class ConversionActionsTest : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    Create();
  }
  void Select(const std::string& textUtf8, int from, int to) {
    Ed()->SetText(W1251(textUtf8));
    Ed()->PlaceCaretAndSelection(BufferCoord(to, 1), BufferCoord(from, 1), BufferCoord(to, 1));
  }
  std::string Line(int i) const { return AnsiToUtf8(Ed()->Lines()->Get(i)); }
};

TEST_F(ConversionActionsTest, DocumentConversionKeepsLinesAndMarksModified) {
  AnsiString hello = W1251("Привет, world!");
  AnsiString text;
  for (int i = 0; i < 10; ++i) text += hello + (i == 4 ? AnsiString(300 - hello.size(), '\xFF') : "") + "\r\n";
  Ed()->SetText(text.substr(0, text.size() - 2));
  Ed()->SetModified(false);
  ASSERT_EQ(Ed()->Lines()->Count(), 10);
  main->Show();
  ProcessMessages();
  ASSERT_TRUE(Ed()->Focused());
  Run("Win2Koi");
  EXPECT_EQ(Ed()->Lines()->Count(), 10);
  EXPECT_TRUE(Ed()->Modified());
  EXPECT_TRUE(Ed()->Enabled());
  EXPECT_TRUE(Ed()->Focused());  // the editor, off while converting, keeps the keys
  EXPECT_EQ(Ed()->Lines()->Get(0), ConvertString(hello, cpWIN, cpKOI));
  EXPECT_EQ(Ed()->Lines()->Get(4).size(), 300u);
  EXPECT_EQ(Ed()->Lines()->Get(4).back(), '\xD1');  // я
  Run("Koi2Win");
  EXPECT_EQ(Ed()->Lines()->Get(0), hello);
  EXPECT_EQ(Ed()->Lines()->Get(4).back(), '\xFF');
  // Every action of the encoding menu converts between the pages its caption names.
  const std::pair<const char*, std::pair<TCodePage, TCodePage>> actions[] = {
      {"Win2Dos", {cpWIN, cpALT}}, {"Dos2Koi", {cpALT, cpKOI}}, {"koi2iso", {cpKOI, cpISO}},
      {"Iso2Win", {cpISO, cpWIN}}, {"win2iso", {cpWIN, cpISO}}, {"Iso2Dos", {cpISO, cpALT}},
      {"Dos2Win", {cpALT, cpWIN}}, {"Win2Koi", {cpWIN, cpKOI}}, {"Koi2Dos", {cpKOI, cpALT}},
      {"dos2iso", {cpALT, cpISO}}, {"Iso2Koi", {cpISO, cpKOI}}, {"Koi2Win", {cpKOI, cpWIN}}};
  AnsiString expected = hello;
  for (auto& [name, pages] : actions) {
    SCOPED_TRACE(name);
    Run(name);
    expected = ConvertString(expected, pages.first, pages.second);
    EXPECT_EQ(Ed()->Lines()->Get(0), expected);
  }
  EXPECT_EQ(expected, hello);
}

TEST_F(ConversionActionsTest, AConversionIsOneUndoStepAndEarlierStepsStayUsable) {
  // A Windows-1251 page written by another program: tabs, blanks at line ends, a NUL, an empty
  // line, a line of several thousand characters, and "ещё", whose
  // "ё" is a byte that KOI8-R reads as a letter of its own, so that converting back does not
  // give it back.
  const char head[] = "<p>\xE5\xF9\xB8 \t  \r\n\r\n\t<b>\xCF\xF0\xE8\xE2\xE5\xF2</b>\x00x   \r\n";
  std::string page(head, sizeof head - 1);
  page.append(6000, '\xE0');
  page += " \xA8\xB8\xB9\xAB\xBB\r\n";
  fs::path file = root / "page.htm";
  WriteFile(file, page);
  Destroy();
  Create({file.string()});
  const AnsiString loaded = Ed()->Lines()->Text();
  // Converted right after opening: one Undo gives the file as it was read back, unmodified,
  // and one Redo the conversion.
  Run("Koi2Win");
  const AnsiString first = Ed()->Lines()->Text();
  Run("EditUndo");
  EXPECT_EQ(Ed()->Lines()->Text(), loaded);
  EXPECT_FALSE(Ed()->Modified());
  Run("EditRedo");
  EXPECT_EQ(Ed()->Lines()->Text(), first);
  EXPECT_TRUE(Ed()->Modified());
  Run("EditUndo");
  EXPECT_FALSE(Ed()->Modified());
  // An earlier step: a word typed on the empty line.
  Ed()->SetCaretXY(BufferCoord(1, 2));
  for (char c : std::string("new")) Ed()->CommandProcessor(ecChar, c, nullptr);
  const AnsiString typed = Ed()->Lines()->Text();
  ASSERT_NE(typed, loaded);

  // The wrong direction, taken back with Ctrl+Z and made again with Ctrl+Y.
  Run("Koi2Win");
  const AnsiString converted = Ed()->Lines()->Text();
  EXPECT_NE(converted, typed);
  EXPECT_EQ(Ed()->Lines()->Count(), 4);
  EXPECT_TRUE(Ed()->Modified());
  Run("EditUndo");
  EXPECT_EQ(Ed()->Lines()->Text(), typed);
  EXPECT_TRUE(Ed()->Modified());
  Run("EditRedo");
  EXPECT_EQ(Ed()->Lines()->Text(), converted);
  // Converting back is no undo: the "ё" does not come back.
  Run("Win2Koi");
  EXPECT_NE(Ed()->Lines()->Text(), typed);
  Run("EditUndo");
  Run("EditUndo");
  EXPECT_EQ(Ed()->Lines()->Text(), typed);
  // The typing before the conversion is undone as before, and the file saved as it was read.
  Run("EditUndo");
  EXPECT_EQ(Ed()->Lines()->Text(), loaded);
  EXPECT_FALSE(Ed()->Modified());
  Run("FileSave");
  EXPECT_EQ(ReadFile(file), page);
  // Redone all the way: the typing, then the conversion.
  Run("EditRedo");
  Run("EditRedo");
  EXPECT_EQ(Ed()->Lines()->Text(), converted);
  EXPECT_TRUE(Ed()->Modified());
}

TEST_F(ConversionActionsTest, MacintoshConversionsAreHandlersWithoutActions) {
  for (const char* name : {"Win2Mac", "Koi2Mac", "Dos2Mac"}) EXPECT_EQ(main->FindAction(name), nullptr);
  Ed()->SetText("\xB9 \xC0\xFF");
  main->Win2MacExecute(nullptr);
  EXPECT_EQ(Ed()->Lines()->Get(0), "\xDC \x80\xDF");
  Ed()->SetText(ConvertString("\xC0\xE0", cpWIN, cpKOI));
  main->Koi2MacExecute(nullptr);
  EXPECT_EQ(Ed()->Lines()->Get(0), "\x80\xE0");
  Ed()->SetText("\x80\xA0");
  main->Dos2MacExecute(nullptr);
  EXPECT_EQ(Ed()->Lines()->Get(0), "\x80\xE0");
}

TEST_F(ConversionActionsTest, CaseActionsUseTheCyrillicCaseTablesAndUndoInOneStep) {
  Select("xx Ёлка и ёж, Abc xx", 4, 18);
  Run("Action6");
  EXPECT_EQ(Line(0), "xx ЁЛКА И ЁЖ, ABC xx");
  EXPECT_FALSE(Ed()->SelAvail());
  Ed()->Undo();
  EXPECT_EQ(Line(0), "xx Ёлка и ёж, Abc xx");
  Select("ЁЛКА Ґ Abc", 1, 11);
  Run("Action7");
  EXPECT_EQ(Line(0), "ёлка ґ abc");
  Select("hello WORLD o'neil", 1, 19);
  Run("Action8");
  EXPECT_EQ(Line(0), "Hello World O'neil");
  Select("Щука и ёж", 1, 10);
  Run("Rus2Trans");
  EXPECT_EQ(Line(0), "Shchuka i yozh");
  // No selection: nothing is inserted and nothing changes.
  Ed()->SetText("abc");
  Ed()->SetModified(false);
  for (const char* a : {"Action6", "Action7", "Action8", "Rus2Trans", "int2str"}) Run(a);
  EXPECT_EQ(Line(0), "abc");
  EXPECT_FALSE(Ed()->Modified());
}

TEST_F(ConversionActionsTest, NumberActionsReplaceNumbersAndLeaveOtherTextAlone) {
  Select("n=1994;", 3, 7);
  Run("Ara2Rim");
  EXPECT_EQ(Line(0), "n=MCMXCIV;");
  Select("n=0;", 3, 4);
  Run("Ara2Rim");
  EXPECT_EQ(Line(0), "n=;");
  // Not a number: the conversion error, the text as it was.
  for (const char* bad : {"n=12a;", "n=;", "n=99999999999;"}) {
    Select(bad, 3, int(std::string(bad).size()));
    try {
      Run("Ara2Rim");
      ADD_FAILURE() << bad;
    } catch (const EConvertError& e) {
      // The user reads why in Russian.
      EXPECT_NE(AnsiToUtf8(e.Message()).find("не является целым числом"), std::string::npos) << AnsiToUtf8(e.Message());
    }
    EXPECT_EQ(Line(0), bad);
  }
  int beeps = MessageBeepCount();
  Select("n=-5;", 3, 5);
  Run("Ara2Rim");
  EXPECT_EQ(Line(0), "n=-5;");
  EXPECT_GT(MessageBeepCount(), beeps);

  Select("= 2001 руб.", 3, 7);
  Run("int2str");
  EXPECT_EQ(Line(0), "= две тысячи один руб.");
  Ed()->Undo();
  EXPECT_EQ(Line(0), "= 2001 руб.");
  for (const char* bad : {"1234567890123", "12 34", "-15", "1.5"}) {
    Select(bad, 1, int(std::string(bad).size()) + 1);
    Run("int2str");
    EXPECT_EQ(Line(0), bad);
    EXPECT_TRUE(Ed()->SelAvail());
  }
  Select("000", 1, 4);
  Run("int2str");
  EXPECT_EQ(Line(0), "Ноль");
}

}  // namespace
