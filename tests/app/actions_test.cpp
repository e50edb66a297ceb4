#include "tests/app/app_fixture.h"

#include "platform/input_simulation.h"
#include "platform/shortcuts.h"

namespace {

// Every action that wraps the selection: its name, opening part, closing part and where the
// caret ends, counted back from the end of the insertion.
struct TagCase {
  const char* action;
  const char* open;
  const char* close;
  int back;
};
const TagCase kTagCases[] = {
    {"Bold", "<B>", "</B>", 4},
    {"FontItalic", "<I>", "</I>", 4},
    {"FontUnder", "<U>", "</U>", 4},
    {"Action2", "<MARQUEE>", "</MARQUEE>", 10},
    {"Action3", "<BLINK>", "</BLINK>", 8},
    {"Stricked", "<S>", "</S>", 4},
    {"NewStroka", "<BR>", "", 0},
    {"Parf", "<P>", "</P>", 4},
    {"FormatAlignLeft", "<P align=\"left\">", "</P>", 4},
    {"FormatAlignCenter", "<P align=\"center\">", "</P>", 4},
    {"FormatAlignRight", "<P align=\"right\">", "</P>", 4},
    {"FormatAlignOba", "<P align=\"justify\">", "</P>", 4},
    {"BookMarkIns", "", "<A name=\"\"></A>", 6},
    {"Action5", "<!-- ", " -->", 4},
    {"AdressTag", "<ADDRESS>", "</ADDRESS>", 10},
    {"FormCod", "<CODE>", "</CODE>", 7},
    {"Kbd", "<KBD>", "</KBD>", 6},
    {"NoBreak", "<NOBR>", "</NOBR>", 7},
    {"HR", "<HR>", "", 0},
    {"Otstup", "<BLOCKQUOTE>", "</BLOCKQUOTE>", 13},
    {"InsSymb", "&copy;", "", 0},
    {"RegTM", "&reg;", "", 0},
    {"Action17", "&#153;", "", 0},
    {"Action18", "&nbsp;", "", 0},
    {"Action19", "&lt;", "", 0},
    {"Action20", "&gt;", "", 0},
    {"additem", "<LI>", "", 0},
    {"Sup", "<SUP>", "</SUP>", 6},
    {"Sub", "<SUB>", "</SUB>", 6},
};

class ActionsTest : public AppTest {
protected:
  void SetUp() override {
    AppTest::SetUp();
    Create();
  }
  // One line "ab word cd" with "word" selected.
  void SelectWord() {
    Ed()->SetText("ab word cd");
    Ed()->PlaceCaretAndSelection(BufferCoord(8, 1), BufferCoord(4, 1), BufferCoord(8, 1));
    ASSERT_EQ(Ed()->SelText(), "word");
  }
};

TEST_F(ActionsTest, EveryTagActionWrapsTheSelectionAndLeavesTheCaretInside) {
  for (const TagCase& c : kTagCases) {
    SCOPED_TRACE(c.action);
    SelectWord();
    Run(c.action);
    std::string inserted = std::string(c.open) + "word" + c.close;
    EXPECT_EQ(Ed()->Lines()->Get(0), "ab " + inserted + " cd");
    EXPECT_EQ(Ed()->CaretY(), 1);
    EXPECT_EQ(Ed()->CaretX(), 4 + int(inserted.size()) - c.back);
    EXPECT_FALSE(Ed()->SelAvail());
    // Without a selection the two parts stand side by side.
    Ed()->SetText("");
    Ed()->SetCaretXY(BufferCoord(1, 1));
    Run(c.action);
    std::string bare = std::string(c.open) + c.close;
    EXPECT_EQ(Ed()->Lines()->Get(0), bare);
    EXPECT_EQ(Ed()->CaretX(), 1 + int(bare.size()) - c.back);
    // One undo takes the insertion back.
    Ed()->Undo();
    EXPECT_EQ(Ed()->Text(), "");
  }
  // The action is a step of its own, never joined with the typing after or before it.
  SelectWord();
  Run("Bold");
  Ed()->CommandProcessor(ecChar, 'q', nullptr);
  EXPECT_EQ(Ed()->Lines()->Get(0), "ab <B>wordq</B> cd");
  Run("EditUndo");
  EXPECT_EQ(Ed()->Lines()->Get(0), "ab <B>word</B> cd");
  Run("EditUndo");
  EXPECT_EQ(Ed()->Lines()->Get(0), "ab word cd");
  Ed()->SetCaretXY(BufferCoord(11, 1));
  Ed()->CommandProcessor(ecChar, 'z', nullptr);
  Run("FontItalic");
  EXPECT_EQ(Ed()->Lines()->Get(0), "ab word cdz<I></I>");
  Run("EditUndo");
  EXPECT_EQ(Ed()->Lines()->Get(0), "ab word cdz");
}

TEST_F(ActionsTest, BookmarkPutsTheCaretBetweenTheQuotes) {
  SelectWord();
  Run("BookMarkIns");
  AnsiString line = Ed()->Lines()->Get(0);
  EXPECT_EQ(line, "ab word<A name=\"\"></A> cd");
  EXPECT_EQ(line[size_t(Ed()->CaretX() - 2)], '"');
  EXPECT_EQ(line[size_t(Ed()->CaretX() - 1)], '"');
}

TEST_F(ActionsTest, CodeAroundTwoLinesLeavesTheCaretOnTheLastLine) {
  Ed()->SetText("first\nsecond");
  Ed()->PlaceCaretAndSelection(BufferCoord(7, 2), BufferCoord(1, 1), BufferCoord(7, 2));
  Run("FormCod");
  EXPECT_EQ(Ed()->Lines()->Get(0), "<CODE>first");
  EXPECT_EQ(Ed()->Lines()->Get(1), "second</CODE>");
  EXPECT_EQ(Ed()->CaretY(), 2);
  EXPECT_EQ(Ed()->CaretX(), 7);
}

TEST_F(ActionsTest, ScriptBlockPutsTheCaretOnTheEmptyLineInside) {
  Ed()->SetText("");
  Run("Action15");
  ASSERT_EQ(Ed()->Lines()->Count(), 6);
  EXPECT_EQ(Ed()->Lines()->Get(0), "<SCRIPT language=\"JavaScript\">");
  EXPECT_EQ(Ed()->Lines()->Get(1), "<!--");
  EXPECT_EQ(Ed()->Lines()->Get(2), "");
  EXPECT_EQ(Ed()->Lines()->Get(3), "//-->");
  EXPECT_EQ(Ed()->Lines()->Get(4), "</SCRIPT>");
  EXPECT_EQ(Ed()->Lines()->Get(5), W1251("<NOSCRIPT>На этой странице имеются Java-скрипты, но Ваш браузер "
                                         "не поддерживает их.</NOSCRIPT>"));
  EXPECT_EQ(Ed()->CaretXY(), BufferCoord(1, 3));
}

TEST_F(ActionsTest, FontColourAndColourCodeWriteTheChosenColour) {
  SelectWord();
  dialogs.Answer(IDOK, "", clRed);
  Run("FontColor");
  EXPECT_EQ(Ed()->Lines()->Get(0), "ab <FONT color=\"#FF0000\">word</FONT> cd");
  EXPECT_EQ(Ed()->CaretX(), 4 + 22 + 4);
  SelectWord();
  dialogs.Answer(IDOK, "", TColor(0x00563412));
  Run("Action14");
  EXPECT_EQ(Ed()->Lines()->Get(0), "ab 123456 cd");
  EXPECT_EQ(Ed()->CaretX(), 10);
  // A system colour is resolved first.
  SelectWord();
  dialogs.Answer(IDOK, "", clWindow);
  Run("Action14");
  TColor w = ColorToRGB(clWindow);
  char expect[16];
  snprintf(expect, sizeof expect, "ab %02X%02X%02X cd", unsigned(w & 0xFF), unsigned((w >> 8) & 0xFF),
           unsigned((w >> 16) & 0xFF));
  EXPECT_EQ(Ed()->Lines()->Get(0), expect);
  // Cancel changes nothing.
  SelectWord();
  dialogs.Answer(IDCANCEL);
  Run("FontColor");
  dialogs.Answer(IDCANCEL);
  Run("Action14");
  EXPECT_EQ(Ed()->Lines()->Get(0), "ab word cd");
  EXPECT_FALSE(Ed()->Modified() && Ed()->SelText() != "word");
}

TEST_F(ActionsTest, ShortcutsOfTheFormFireTheActions) {
  SelectWord();
  EXPECT_TRUE(main->IsShortCut(ShortCut('B', TShiftState{ssCtrl})));
  EXPECT_EQ(Ed()->Lines()->Get(0), "ab <B>word</B> cd");
  Ed()->SetCaretXY(BufferCoord(1, 1));
  EXPECT_TRUE(main->IsShortCut(ShortCut(VK_OEM_COMMA, TShiftState{ssAlt})));
  EXPECT_EQ(Ed()->Lines()->Get(0).substr(0, 4), "&lt;");
  // F2 saves as Ctrl+S does.
  Ed()->SetText("x");
  dialogs.Answer(IDCANCEL);
  EXPECT_TRUE(main->IsShortCut(VK_F2));
  EXPECT_EQ(dialogs.Count(dkSaveFile), 1);
}

struct CatalogueRow {
  const char* name;
  const char* category;
  const char* caption;
  TShortCut shortcut;
  bool enabled;
};
const CatalogueRow kCatalogue[] = {
    {"FileNewActin", "Файл", "&Новый", 16462, true},
    {"FileOpenAction", "Файл", "&Открыть...", scCtrl | 'O', true},
    {"FileSave", "Файл", "&Сохранить", scCtrl | 'S', true},
    {"SaveFileAs", "Файл", "Сохранить &как...", 0, true},
    {"NewWnd", "Файл", "Новое о&кно", scCtrl | scAlt | 'N', true},
    {"FileNewFileWizard", "Файл", "&Мастер...", scCtrl | 'W', true},
    {"FilePrint", "Файл", "&Печать кода...", scCtrl | 'P', true},
    {"FilePreView", "Файл", "&Предварительный просмотр...", 120, true},
    {"HelpMe", "Справка", "&Вызов справки", VK_F1, true},
    {"HelpAboutProgram", "Справка", "&О программе...", 0, true},
    {"Action1", "Файл", "Просмотр в &браузере", scCtrl | VK_F9, true},
    {"EditSelectAll", "&Правка", "В&ыделить всё", 0, true},
    {"InsMode", "&Правка", "Режим в&ставки", VK_INSERT, true},
    {"EditRpls", "Поис&к", "&Найти...", scCtrl | 'F', true},
    {"RazMer", "Шрифт", "&Размер...", scAlt | 'S', true},
    {"TagH1", "Формат", "За&головок", scCtrl | 'H', true},
    {"Action12", "Вставка", "&Ссылка...", scAlt | 'K', true},
    {"Action13", "Вставка", "&Рисунок...", scAlt | 'P', true},
    {"Action6", "Регистр", "ЗАГЛАВНЫЕ", scCtrl | VK_F5, true},
    {"FontColor", "Шрифт", "&Цвет...", scAlt | 'R', true},
    {"FontName", "Шрифт", "&Имя...", scAlt | 'F', true},
    {"Action18", "Символ", "Неразрывный пробел", scCtrl | VK_SPACE, true},
    {"Action19", "Символ", "Символ \"<\"", scAlt | VK_OEM_COMMA, true},
    {"Action20", "Символ", "Символ \">\"", scAlt | VK_OEM_PERIOD, true},
    {"AddTable", "Таблица", "Добавить &таблицу...", scAlt | 'T', true},
    {"addlist", "Список", "Добавить &список...", scAlt | 'L', true},
    {"Win2Koi", "Кодировка", "Windows -> KOI8-R", 0, true},
    {"Ara2Rim", "Кодировка", "Арабские -> Римские", 0, true},
    {"Notez", "Сервис", "Заметки", scCtrl | VK_OEM_3, true},
    {"Action11", "", "Action11", VK_F11, true},
    {"Action21", "Поис&к", "Заменить...", 0, true},
    {"NaitiDalee", "Поис&к", "Найти далее", VK_F3, true},
    {"Action16", "Поис&к", "Найти назад", scShift | VK_F3, true},
};

TEST_F(ActionsTest, CatalogueGivesCategoriesCaptionsShortcutsAndHints) {
  EXPECT_EQ(main->ActionManager1->ActionCount(), 97);
  for (const CatalogueRow& r : kCatalogue) {
    SCOPED_TRACE(r.name);
    TAction* a = main->FindAction(r.name);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Category(), W1251(r.category));
    EXPECT_EQ(a->Caption(), W1251(r.caption));
    EXPECT_EQ(a->ShortCut(), r.shortcut);
    EXPECT_EQ(a->Enabled(), r.enabled);
  }
  EXPECT_EQ(main->FindAction("FileSave")->Hint(), W1251("Сохранить код в файл"));
  EXPECT_EQ(main->FindAction("Action17")->Hint(), W1251("Вставить символ '™'"));
  EXPECT_TRUE(main->FindAction("FileSave")->HandlesShortCut(VK_F2));
  EXPECT_TRUE(main->FindAction("InsMode")->Checked());
  EXPECT_TRUE(main->FindAction("Action4")->Checked());
  EXPECT_EQ(main->FindAction("Action10")->GroupIndex(), 1);
  // Every tag action the catalogue lists has its insertion.
  for (const TagCase& c : kTagCases) EXPECT_NE(TMain::TagInsertionOf(c.action), nullptr) << c.action;
}

// Collects the captions of a tree, submenus as "[caption ... ]".
std::string Tree(TActionClientItem* it) {
  std::string s;
  for (int i = 0; i < it->Count(); ++i) {
    TActionClientItem* c = it->Items(i);
    if (!s.empty()) s += ",";
    if (c->IsSeparator()) s += "-";
    else if (c->Count() > 0) s += "[" + AnsiToUtf8(c->Caption()) + ":" + Tree(c) + "]";
    else s += c->Action()->Name();
  }
  return s;
}

TEST_F(ActionsTest, ActionBarsAndContextMenusHoldTheirActions) {
  EXPECT_EQ(Tree(main->ActionToolBar1->Items()),
            "FileNewActin,FileOpenAction,FileSave,-,FilePrint,FilePreView,Action1,-,EditCuuut,EditCopy,"
            "EditPaaaste,EdEl,-,EditUndo,EditRedo");
  EXPECT_EQ(Tree(main->ActionToolBar2->Items()), "NCut,NCopy,NPaste,noteSave,Xport,MailSend");
  std::string tags = Tree(main->ActionMainMenuBar1->Items());
  EXPECT_EQ(tags.rfind("[Формат:TagH1,-,NewStroka,[Новый абзац:Parf,-,FormatAlignLeft,FormatAlignCenter,"
                       "FormatAlignRight,FormatAlignOba],-,[Список:addlist,additem],[Блок-теги:Otstup,"
                       "FormCod,AdressTag,Kbd]]", 0), 0u);
  EXPECT_NE(tags.find("[Символ:InsSymb,RegTM,Action17,-,Action18,-,Action19,Action20]"), std::string::npos);
  EXPECT_NE(tags.find("[Дополнительно:NoBreak,[Регистр:Action6,Action7,Action8],[Эффекты:Action2,Action3]]"),
            std::string::npos);
  std::string menu = Tree(main->MainWNDMenu->Items());
  EXPECT_NE(menu.find("[С&ервис:Setuuup,Notez]"), std::string::npos);
  EXPECT_NE(menu.find("[П&оиск:EditRpls,-,Action21,-,NaitiDalee,Action16]"), std::string::npos);
  EXPECT_EQ(menu.find("Action11"), std::string::npos);
  EXPECT_EQ(tags.find("Action11"), std::string::npos);
  // Own captions of the code-page submenu.
  TActionClientItem* file = main->MainWNDMenu->Items()->Items(0);
  TActionClientItem* codes = nullptr;
  for (int i = 0; i < file->Count(); ++i)
    if (file->Items(i)->Caption() == W1251("Кодировка")) codes = file->Items(i);
  ASSERT_NE(codes, nullptr);
  EXPECT_EQ(codes->Items(0)->DisplayCaption(), "&Windows -> KOI8-R");
  EXPECT_EQ(codes->Items(10)->DisplayCaption(), "DOS -> ISO");
  EXPECT_EQ(codes->Items(16)->DisplayCaption(), "R&us -> Translit");

  TMenuItem* p1 = main->PopupMenu1->Items();
  ASSERT_EQ(p1->Count(), 3);
  EXPECT_EQ(p1->Items(0)->Action()->Name(), "EditCuuut");
  EXPECT_EQ(p1->Items(2)->Action()->Name(), "EditPaaaste");
  TMenuItem* p2 = main->PopupMenu2->Items();
  ASSERT_EQ(p2->Count(), 2);
  EXPECT_EQ(p2->Items(0)->Caption(), W1251("Выделение"));
  EXPECT_EQ(p2->Items(0)->Count(), 3);
  EXPECT_EQ(p2->Items(1)->Action()->Name(), "InsMode");
  EXPECT_EQ(Ed()->PopupMenu(), main->PopupMenu1);
  EXPECT_EQ(main->StatusBar1->PopupMenu(), main->PopupMenu2);
}

TEST_F(ActionsTest, EditingForwardsReachTheEditor) {
  Ed()->SetText("abc");
  Run("EditSelectAll");
  EXPECT_EQ(Ed()->SelText(), "abc");
  Run("EditCopy");
  Run("EdEl");
  EXPECT_EQ(Ed()->Text(), "");
  Run("EditPaaaste");
  EXPECT_EQ(Ed()->Text(), "abc");
  Run("EditUndo");
  EXPECT_EQ(Ed()->Text(), "");
  Run("EditRedo");
  EXPECT_EQ(Ed()->Text(), "abc");
  Run("EditSelectAll");
  Run("EditCuuut");
  EXPECT_EQ(Ed()->Text(), "");
  // Undo and redo are offered only while the editor has something to take back or bring back,
  // also after the history is cleared under them (as the new-page wizard and loading do).
  TAction* undo = main->FindAction("EditUndo");
  TAction* redo = main->FindAction("EditRedo");
  main->ActionManager1->UpdateActions();
  EXPECT_TRUE(undo->Enabled());
  EXPECT_FALSE(redo->Enabled());
  Run("EditUndo");
  main->ActionManager1->UpdateActions();
  EXPECT_TRUE(redo->Enabled());
  Ed()->ClearUndo();
  main->ActionManager1->UpdateActions();
  EXPECT_FALSE(undo->Enabled());
  EXPECT_FALSE(redo->Enabled());
  Run("EditUndo");
  EXPECT_EQ(Ed()->Text(), "abc");
  // Undo from the menu reports (and paints) a step of many records once, as Ctrl+Z does.
  Ed()->ClearUndo();
  Ed()->SetCaretXY(BufferCoord(4, 1));
  for (int i = 0; i < 40; ++i) Ed()->CommandProcessor(ecChar, 'x', nullptr);
  int reports = 0;
  TStatusChangeEvent shown = Ed()->OnStatusChange;
  Ed()->OnStatusChange =
      TStatusChangeEvent([](void* n, TObject*, TSrcStatusChanges) { ++*static_cast<int*>(n); }, &reports);
  Run("EditUndo");
  Ed()->OnStatusChange = shown;
  EXPECT_EQ(Ed()->Text(), "abc");
  EXPECT_EQ(reports, 1);
}

TEST_F(ActionsTest, ScreenshotOfTheMainWindow) {
  main->Memo1->SetText(W1251("Заметки к странице"));
  ShowForTest(main, 900, 600);
  Run("Notez");
  Ed()->SetSelText("<B>Vantry Tarn</B>");
  ProcessMessages();
  fs::create_directories(VT_TEST_OUTPUT_DIR);
  std::string path = std::string(VT_TEST_OUTPUT_DIR) + "/main_window.png";
  EXPECT_TRUE(SaveWindowImage(main, path));
  EXPECT_GT(fs::file_size(path), 1000u);
}

}  // namespace
