#include "tests/app/app_fixture.h"

#include <algorithm>
#include <cstdio>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>

#include "app/settings/settings_window.h"
#include "platform/forms.h"
#include "platform/icons.h"
#include "platform/input_simulation.h"

namespace {

const AnsiString kUntitled = W1251("Новый");

TEST(FileNames, ExtractFileNameExTakesTheTailAndItsBase) {
  EXPECT_EQ(ExtractFileNameEx("", 1), "");
  EXPECT_EQ(ExtractFileNameEx("/a/index.htm", 1), "index.htm");
  EXPECT_EQ(ExtractFileNameEx("/a/index.htm", 0), "index");
  EXPECT_EQ(ExtractFileNameEx("/a/b.c.htm", 0), "b.c");
  EXPECT_EQ(ExtractFileNameEx("/a/.htaccess", 0), ".htaccess");
  EXPECT_EQ(ExtractFileNameEx("/a/README", 0), "README");
  EXPECT_EQ(ExtractFileNameEx("/a/", 1), "");
  EXPECT_EQ(ExtractFileNameEx(kUntitled, 0), kUntitled);
}

TEST_F(AppTest, StartWithoutArgumentsLoadsTheTemplateWithTheCaretOnTheBodyLine) {
  Create();
  EXPECT_EQ(main->Caption(), "Vantry Tarn - [" + kUntitled + "]");
  EXPECT_EQ(Application->Title(), kUntitled + " - Tarn");
  EXPECT_EQ(Panel(5), kUntitled);
  EXPECT_EQ(main->DocumentName(), kUntitled);
  EXPECT_EQ(Ed()->Lines()->Count(), 8);
  EXPECT_EQ(Ed()->Lines()->Get(0), "<html><head>");
  EXPECT_EQ(Ed()->CaretY(), 6);
  EXPECT_FALSE(Ed()->Modified());
  EXPECT_EQ(Panel(0), W1251("Поток"));
  EXPECT_EQ(Panel(1), W1251("ВСТ"));
  EXPECT_FALSE(main->Panel1->Visible());
  EXPECT_EQ(dialogs.asked.size(), 0u);
}

TEST(Program, WithoutADesktopSessionSaysSoAndExitsWithOne) {
  // The program as run.sh starts it, with no display and no toolkit platform named.
  std::string command = std::string("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ") + VT_PROGRAM_FILE +
                        " 2>&1";
  FILE* p = popen(command.c_str(), "r");
  ASSERT_NE(p, nullptr);
  std::string out;
  char buf[512];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  int status = pclose(p);
  ASSERT_TRUE(WIFEXITED(status)) << out;
  EXPECT_EQ(WEXITSTATUS(status), 1) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
  EXPECT_NE(out.find("графический сеанс"), std::string::npos) << out;
  EXPECT_NE(out.find("DISPLAY"), std::string::npos) << out;
  EXPECT_NE(out.find("WAYLAND_DISPLAY"), std::string::npos) << out;
}

TEST_F(AppTest, StartTellsWhichDocumentsHaveACopyFromAnInterruptedSave) {
  // What an in-place save killed midway leaves in the recovery folder.
  fs::path recovery = settings / "recovery";
  fs::create_directories(recovery);
  std::string doc = (root / "site" / "index.html").string();
  WriteFile(recovery / "index.html.vt-copy-AbC123", "old text\n");
  WriteFile(recovery / "index.html.vt-copy-AbC123.document", doc + "\n");
  // What a save killed before the rename leaves beside its document; and a copy made before
  // an in-place save touched its document, which holds nothing the document lacks.
  fs::create_directories(root / "site");
  std::string other = (root / "site" / "other.html").string(), newText = other + ".vt-XyZ789";
  WriteFile(other, "kept text\n");
  WriteFile(newText, "new text, not all of it");
  WriteFile(recovery / "other.html.vt-new-XyZ789.document", other + "\n" + newText + "\n");
  WriteFile(recovery / "other.html.vt-copy-Kept12", "kept");
  WriteFile(recovery / "other.html.vt-copy-Kept12.document", other + "\n");
  Create();
  ASSERT_EQ(dialogs.Count(dkMessageBox), 1);
  const TDialogRequest* m = dialogs.Last(dkMessageBox);
  EXPECT_EQ(m->Caption, W1251("Внимание!"));
  std::string text = AnsiToUtf8(m->Text);
  EXPECT_NE(text.find(doc + " — копия index.html.vt-copy-AbC123"), std::string::npos) << text;
  EXPECT_NE(text.find("\"" + recovery.string() + "\""), std::string::npos) << text;
  EXPECT_NE(text.find("новый текст, возможно неполный, остался в файлах рядом с ними:\r\n" + other + " — " + newText),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Kept12"), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(recovery / "other.html.vt-copy-Kept12"));
  EXPECT_EQ(ReadFile(newText), "new text, not all of it");
  // The start goes on as usual, and the copy stays until the user removes it.
  EXPECT_EQ(main->DocumentName(), kUntitled);
  EXPECT_EQ(Ed()->Lines()->Get(0), "<html><head>");
  EXPECT_EQ(ReadFile(recovery / "index.html.vt-copy-AbC123"), "old text\n");
}

TEST_F(AppTest, BodyLineComesFromTheSettingsAndGarbageGivesTheDefaults) {
  WriteIni("[General]\nMyPath=" + program.string() + "\n[Editor]\nBodyNmb=3\n");
  Create();
  EXPECT_EQ(Ed()->CaretY(), 3);
  Destroy();
  WriteIni("garbage line\n[General]\nMyPath=" + program.string() +
           "\n[broken\n=x\n[Editor]\nBodyNmb=six\nWordWrap=yes\n[TMainWindow]\nState=max\nWidth=wide\n\x01\x02\n");
  Create();
  EXPECT_EQ(Ed()->CaretY(), 6);
  EXPECT_EQ(main->WindowState(), wsNormal);
  EXPECT_EQ(main->Width(), 800);
  EXPECT_EQ(dialogs.asked.size(), 0u);
}

TEST_F(AppTest, WithoutAProgramFolderSettingWhatTheProgramWritesLivesInTheUsersDataFolder) {
  // The program as installed: the shipped data beside the executable, in a folder only read.
  fs::path install = root / "install";
  fs::copy(VT_TEST_DATA_DIR, install, fs::copy_options::recursive);
  SetInstallFolder(install.string());
  auto contents = [](const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder))
      files[fs::relative(e.path(), folder).string()] = e.is_regular_file() ? ReadFile(e.path()) : "";
    return files;
  };
  const auto shipped = contents(install);
  fs::permissions(install, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const char* written[] = {"Template.html", "autoreplace.lst", "insert.lst", "notes.not"};
  WriteIni("");
  Create();
  EXPECT_EQ(main->ProgramFolder(), userData.string());
  for (const char* name : written) EXPECT_EQ(ReadFile(userData / name), shipped.at(name)) << name;

  // Notes, both lists and the settings are written; a new page is viewed in the browser.
  main->Memo1->SetText("my notes");
  main->Memo1->SetModified(true);
  Run("noteSave");
  Run("Setuuup");
  TTarnSetup* setup = nullptr;
  for (int i = Application->ComponentCount() - 1; i >= 0 && !setup; --i)
    setup = dynamic_cast<TTarnSetup*>(Application->Components(i));
  ASSERT_NE(setup, nullptr);
  setup->WordFrom->SetText("teh");
  setup->WordTo->SetText("the");
  setup->Button1->Click();
  setup->Edit1->SetText("<hr>");
  setup->Button4->Click();
  setup->wordwrap->SetChecked(true);
  setup->OKButton->Click();
  delete setup;
  Run("Action1");
  EXPECT_TRUE(fs::exists(userData / "\xD0\x9D\xD0\xBE\xD0\xB2\xD1\x8B\xD0\xB9-preview.htm"));
  Run("HelpMe");
  Run("NewWnd");
  ASSERT_EQ(shellOpened.size(), 3u);
  EXPECT_EQ(shellOpened[1], (install / "help" / "index.htm").string());
  EXPECT_EQ(shellOpened[2], (install / fs::path(Application->ExeName()).filename()).string());
  EXPECT_EQ(dialogs.Count(dkMessageBox), 0);
  std::map<std::string, std::string> mine;
  for (const char* name : written) mine[name] = ReadFile(userData / name);
  EXPECT_EQ(mine["notes.not"], "my notes\r\n");
  EXPECT_NE(mine["autoreplace.lst"].find("teh=the"), std::string::npos);
  EXPECT_NE(mine["insert.lst"].find("<hr>"), std::string::npos);

  // A rebuild lays the shipped data out again; the next start finds the user's files as they were.
  Destroy();
  EXPECT_EQ(contents(install), shipped);
  fs::permissions(install, fs::perms::owner_all, fs::perm_options::add);
  fs::copy(VT_TEST_DATA_DIR, install, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  Create();
  EXPECT_EQ(main->Memo1->Text(), "my notes\r\n");
  EXPECT_TRUE(Ed()->WordWrap());
  for (const char* name : written) EXPECT_EQ(ReadFile(userData / name), mine[name]) << name;
}

TEST_F(AppTest, CommandLineArgumentsAreJoinedWithBlanks) {
  fs::create_directories(root / "My Pages");
  WriteFile(root / "My Pages" / "a.htm", "<p>one</p>\n<p>two</p>\n");
  Create({(root / "My").string(), "Pages/a.htm"});
  AnsiString path = (root / "My Pages" / "a.htm").string();
  EXPECT_EQ(main->DocumentName(), path);
  EXPECT_EQ(Ed()->Lines()->Count(), 2);
  EXPECT_EQ(Ed()->Lines()->Get(1), "<p>two</p>");
  EXPECT_EQ(main->Caption(), "Vantry Tarn - [a.htm]");
  EXPECT_EQ(Application->Title(), "a.htm - Tarn");
  EXPECT_EQ(Panel(5), path);
  EXPECT_FALSE(Ed()->Modified());
  // A name whose file does not exist yet, in a folder that does: a new, empty document of that
  // name, which the status bar calls new, and whose first save makes the file.
  Destroy();
  Create({(root / "My").string(), "Pages/new page.htm"});
  AnsiString fresh = (root / "My Pages" / "new page.htm").string();
  EXPECT_EQ(dialogs.Count(dkMessageBox), 0);
  EXPECT_EQ(main->DocumentName(), fresh);
  EXPECT_EQ(main->Caption(), "Vantry Tarn - [new page.htm]");
  EXPECT_EQ(Panel(5), fresh + W1251(" — новый файл, он будет создан при сохранении"));
  EXPECT_EQ(Ed()->Text(), "");
  EXPECT_FALSE(Ed()->Modified());
  EXPECT_FALSE(fs::exists(root / "My Pages" / "new page.htm"));
  Ed()->SetSelText("<p>new</p>");
  Run("FileSave");
  EXPECT_EQ(dialogs.Count(dkSaveFile), 0);
  EXPECT_EQ(ReadFile(root / "My Pages" / "new page.htm"), "<p>new</p>\r\n");
  EXPECT_EQ(Panel(5), fresh);
}

TEST_F(AppTest, SavingAnUntitledDocumentGoesToSaveAsPresetWithItsName) {
  Create();
  Ed()->SetSelText("x");
  AnsiString target = (root / "page.html").string();
  dialogs.Answer(IDOK, target);
  Run("FileSave");
  const TDialogRequest* r = dialogs.Last(dkSaveFile);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->FileName, kUntitled);
  EXPECT_EQ(r->DefaultExt, "html");
  EXPECT_TRUE(r->OverwritePrompt);
  EXPECT_EQ(r->Filter, W1251("Веб-страницы|*.htm; *.html|Все файлы|*.*"));
  EXPECT_EQ(main->DocumentName(), target);
  EXPECT_EQ(main->Caption(), "Vantry Tarn - [page.html]");
  EXPECT_FALSE(Ed()->Modified());
  EXPECT_NE(ReadFile(root / "page.html").find("x"), std::string::npos);
  // A named document is saved without a dialog; the title stays as it is.
  Ed()->SetSelText("y");
  main->SetCaption("kept");
  Run("FileSave");
  EXPECT_EQ(dialogs.Count(dkSaveFile), 1);
  EXPECT_EQ(main->Caption(), "kept");
  EXPECT_NE(ReadFile(root / "page.html").find("xy"), std::string::npos);
  // Save As of a named document offers its name without folder and extension.
  dialogs.Answer(IDCANCEL);
  Run("SaveFileAs");
  EXPECT_EQ(dialogs.Last(dkSaveFile)->FileName, "page");
}

TEST_F(AppTest, SavePromptYesSavesNoDiscardsCancelKeepsTheDocument) {
  WriteFile(root / "doc.htm", "old\n");
  Create({(root / "doc.htm").string()});
  Ed()->SelectAll();
  Ed()->SetSelText("new");
  ASSERT_TRUE(Ed()->Modified());

  // Cancel: nothing changes, the handler ends silently.
  dialogs.Answer(IDCANCEL);
  EXPECT_TRUE(RunAborted("FileNewActin"));
  const TDialogRequest* q = dialogs.Last(dkMessageBox);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->Caption, W1251("Вопрос"));
  EXPECT_EQ(q->Flags, unsigned(MB_YESNOCANCEL | MB_ICONQUESTION));
  AnsiString path = (root / "doc.htm").string();
  EXPECT_EQ(q->Text, W1251("Сохранить изменения в файле \"doc.htm\"?\n\r(") + path + ")");
  EXPECT_EQ(main->DocumentName(), path);
  EXPECT_EQ(Ed()->Text(), "new");
  EXPECT_TRUE(Ed()->Modified());
  EXPECT_TRUE(main->Enabled());

  // No: the template replaces the document, the file is untouched.
  dialogs.Answer(IDNO);
  Run("FileNewActin");
  EXPECT_EQ(main->DocumentName(), kUntitled);
  EXPECT_EQ(ReadFile(root / "doc.htm"), "old\n");

  // Yes on an untitled document: Save As, then the new document.
  Ed()->SetSelText("z");
  dialogs.Answer(IDYES);
  dialogs.Answer(IDOK, (root / "saved.html").string());
  Run("FileNewActin");
  EXPECT_NE(ReadFile(root / "saved.html").find("z"), std::string::npos);
  EXPECT_EQ(main->DocumentName(), kUntitled);
  EXPECT_FALSE(Ed()->Modified());
}

TEST_F(AppTest, YesWithACancelledSaveDialogKeepsTheDocument) {
  Create();
  Ed()->SetSelText("unsaved");
  dialogs.Answer(IDYES);
  dialogs.Answer(IDCANCEL);
  EXPECT_TRUE(RunAborted("FileNewActin"));
  EXPECT_NE(Ed()->Text().find("unsaved"), AnsiString::npos);
  EXPECT_TRUE(Ed()->Modified());
}

TEST_F(AppTest, CancelInTheSavePromptKeepsTheWindowOpen) {
  Create();
  main->Show();
  Ed()->SetSelText("x");
  dialogs.Answer(IDCANCEL);
  main->Close();
  EXPECT_TRUE(main->Visible());
  EXPECT_FALSE(Application->Terminated());
  // No: the window closes and the program ends.
  dialogs.Answer(IDNO);
  main->Close();
  EXPECT_FALSE(main->Visible());
  EXPECT_TRUE(Application->Terminated());
}

// Typing a page (five-letter words, a line break every 60 characters) and pressing Ctrl+Z until
// nothing is left to undo gives the page back. Typing more than the undo steps kept, the oldest
// go: the text then differs from the saved one whatever is undone, and closing asks to save.
TEST_F(AppTest, TypedTextIsUndoneToTheEndAndACutHistoryStillAsksToSave) {
  Create();
  main->Show();
  const AnsiString loaded = Ed()->Text();
  std::string page;
  for (int i = 6; i <= 900; i += 6) page += i % 60 == 0 ? "abcde\n" : "abcde ";
  auto undoAll = [&] {
    for (int k = 0; k < 10000 && Ed()->CanUndo(); ++k) SimulateKeyStroke(Ed(), 'Z', TShiftState{ssCtrl});
  };
  SimulateTyping(Ed(), page);
  ASSERT_TRUE(Ed()->Modified());
  undoAll();
  EXPECT_EQ(Ed()->Text(), loaded);
  EXPECT_FALSE(Ed()->Modified());

  // A word is about one step: eight pages are more than the steps kept.
  SimulateTyping(Ed(), page + page + page + page + page + page + page + page);
  EXPECT_TRUE(Ed()->UndoList()->FullUndoImpossible());
  undoAll();
  EXPECT_NE(Ed()->Text(), loaded);
  EXPECT_TRUE(Ed()->Modified());
  dialogs.Answer(IDCANCEL);
  main->Close();
  EXPECT_EQ(dialogs.Count(dkMessageBox), 1);
  EXPECT_TRUE(main->Visible());
}

TEST_F(AppTest, MaximisedPlacementIsRestoredWithTheNormalPlaceKept) {
  Create();
  main->SetBounds(40, 30, 700, 500);
  main->Show();
  dialogs.Answer(IDNO);
  main->Close();
  TIniFile ini((settings / "quorbex.ini").string());
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "Width", 0), 700);
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "State", 0), 1);
  Destroy();

  Create();
  EXPECT_EQ(main->WindowState(), wsNormal);
  EXPECT_EQ(main->Width(), 700);
  EXPECT_EQ(main->Height(), 500);
  main->Show();
  main->SetWindowState(wsMaximized);
  main->Close();
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "State", 0), 2);
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "Width", 0), 700);
  Destroy();

  Create();
  EXPECT_EQ(main->WindowState(), wsMaximized);
}

TEST_F(AppTest, AbsurdStoredPlacementKeepsTheWindowOnTheScreen) {
  const char* placements[] = {
      "Left=2147483000\nTop=2147483000\nWidth=2147483647\nHeight=2147483647\n",
      "Left=-2147483648\nTop=-2147483648\nWidth=-5\nHeight=0\n",
      "Left=-5000\nTop=9000\nWidth=300\nHeight=200\n",
  };
  for (const char* p : placements) {
    WriteIni("[General]\nMyPath=" + program.string() + "\n[TMainWindow]\nState=1\n" + p);
    Create();
    main->Show();
    ProcessMessages();
    EXPECT_LE(main->Width(), Screen->Width()) << p;
    EXPECT_LE(main->Height(), Screen->Height()) << p;
    EXPECT_GT(main->Left() + main->Width(), 0) << p;  // some of it on the screen
    EXPECT_LT(main->Left(), Screen->Width()) << p;
    EXPECT_GE(main->Top(), 0) << p;
    EXPECT_LT(main->Top(), Screen->Height()) << p;
    Destroy();
  }
}

TEST_F(AppTest, TheEditorHasTheFocusWhenTheWindowShows) {
  Create();
  main->Show();
  ProcessMessages();
  EXPECT_TRUE(Ed()->Focused());
}

// The browser engine is the preview's alone: the main window shows, paints and takes commands
// without it in the process (no test of this program opens the preview).
TEST_F(AppTest, TheShownMainWindowHasNotLoadedTheBrowserEngine) {
  Create();
  main->Show();
  for (int i = 0; i < 5; ++i) ProcessMessages();
  Run("EditSelectAll");
  std::ifstream maps("/proc/self/maps");
  std::string line, engine;
  while (std::getline(maps, line))
    for (const char* lib : {"libQt6WebEngine", "libQt6Quick", "libQt6Qml", "libwebview.so"})
      if (line.find(lib) != std::string::npos) engine += line + "\n";
  EXPECT_EQ(engine, "");
}

// Nor any image-format or icon-engine plugin of the toolkit: the window's own pictures are drawn,
// and the bars' overflow buttons make their pictures only when they show. Checked in a process of
// its own, as the program starts, since other tests load pictures; without the desktop's icon
// theme, whose pictures are files that only some machines have.
TEST_F(AppTest, TheShownMainWindowHasNotLoadedImagePlugins) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  auto showAndList = [this] {
    SetThemeIconsEnabled(false);
    Create();
    main->Show();
    for (int i = 0; i < 5; ++i) ProcessMessages();
    std::ifstream maps("/proc/self/maps");
    std::string line;
    std::string plugins;
    while (std::getline(maps, line))
      if (line.find("/imageformats/") != std::string::npos || line.find("/iconengines/") != std::string::npos)
        plugins += line + "\n";
    std::fputs(plugins.c_str(), stderr);
    std::fflush(stderr);
    _exit(plugins.empty() ? 0 : 1);
  };
  EXPECT_EXIT(showAndList(), ::testing::ExitedWithCode(0), "");
}

TEST_F(AppTest, TheGutterWidensForLongDocumentsAndNarrowsAgain) {
  std::string text;
  for (int i = 0; i < 123456; ++i) text += "<p>\r\n";
  WriteFile(root / "long.htm", text);
  Create({(root / "long.htm").string()});
  main->Show();
  ProcessMessages();
  // Room for "123457" (the empty last line) in the editor's character cells.
  EXPECT_GE(Ed()->GutterWidth(), 6 * Ed()->CharWidth());
  EXPECT_EQ(Ed()->Gutter()->FormatLineNumber(123457).size(), 6u);
  Ed()->Lines()->SetText("short");
  ProcessMessages();
  EXPECT_LT(Ed()->GutterWidth(), 5 * Ed()->CharWidth());
}

TEST_F(AppTest, OpeningWhatNothingOpensSaysSo) {
  SetShellHook([](const AnsiString&, const AnsiString&, const std::string&) { return false; });
  fs::remove(program / "help" / "index.htm");
  Create();
  try {
    Run("HelpMe");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find("index.htm"), AnsiString::npos) << e.Message();
  }
}

TEST_F(AppTest, MissingNotesFileShowsTheErrorAndTheWindowStillOpens) {
  fs::remove(program / "notes.not");
  Create();
  const TDialogRequest* e = dialogs.Last(dkMessageBox);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->Caption, W1251("Ошибка"));
  EXPECT_NE(e->Text.find("notes.not"), AnsiString::npos);
  // The remaining steps are skipped: no document was loaded, the window holds an untitled one.
  EXPECT_EQ(main->DocumentName(), kUntitled);
  main->Show();
  EXPECT_TRUE(main->Visible());
}

TEST_F(AppTest, MissingTemplateShowsTheErrorUnderTheUntitledName) {
  fs::remove(program / "Template.html");
  Create();
  ASSERT_NE(dialogs.Last(dkMessageBox), nullptr);
  EXPECT_EQ(dialogs.Last(dkMessageBox)->Caption, W1251("Ошибка"));
  EXPECT_EQ(main->DocumentName(), kUntitled);
  EXPECT_EQ(main->Caption(), "Vantry Tarn - [" + kUntitled + "]");
}

// The notes as the user changes them in the panel.
void EditNotes(TMain* main, const char* text) {
  main->Memo1->SetText(text);
  main->Memo1->SetModified(true);
}

TEST_F(AppTest, NotesAreSavedOnEveryPromptSaveAndToggle) {
  WriteFile(program / "notes.not", "first\n");
  Create();
  EXPECT_EQ(main->Memo1->Lines()->Get(0), "first");
  EditNotes(main, "second");
  main->CheckFileSave();
  EXPECT_EQ(ReadFile(program / "notes.not"), "second\r\n");
  EditNotes(main, "third");
  Run("Notez");
  EXPECT_EQ(ReadFile(program / "notes.not"), "third\r\n");
  EXPECT_TRUE(main->Panel1->Visible());
  EXPECT_EQ(main->Panel2->Caption(), ">");
  EXPECT_TRUE(main->FindAction("Notez")->Checked());
  main->Panel2Click(nullptr);
  EXPECT_FALSE(main->Panel1->Visible());
  EXPECT_EQ(main->Panel2->Caption(), "<");
  EXPECT_FALSE(main->FindAction("Notez")->Checked());
  EditNotes(main, "fourth");
  dialogs.Answer(IDCANCEL);
  Run("FileSave");
  EXPECT_EQ(ReadFile(program / "notes.not"), "fourth\r\n");
  EditNotes(main, "fifth");
  Run("noteSave");
  EXPECT_EQ(ReadFile(program / "notes.not"), "fifth\r\n");
}

TEST_F(AppTest, NotesAreWrittenOnlyWhenChangedInThePanel) {
  const std::string notes = "notes kept since last week\r\n";
  WriteFile(program / "notes.not", notes);
  // A start-up stopped by a list file: neither the notes nor a document were loaded.
  fs::remove(program / "autoreplace.lst");
  fs::create_directory(program / "autoreplace.lst");
  Create();
  ASSERT_NE(dialogs.Last(dkMessageBox), nullptr);
  EXPECT_EQ(main->DocumentName(), kUntitled);
  EXPECT_EQ(main->Caption(), "Vantry Tarn - [" + kUntitled + "]");
  // Save asks for a name; the notes file keeps the notes the panel never showed.
  Ed()->SetSelText("typed");
  dialogs.Answer(IDCANCEL);
  Run("FileSave");
  ASSERT_NE(dialogs.Last(dkSaveFile), nullptr);
  EXPECT_EQ(dialogs.Last(dkSaveFile)->FileName, kUntitled);
  Run("noteSave");
  Run("Notez");
  dialogs.Answer(IDNO);
  main->Show();
  main->Close();
  EXPECT_EQ(ReadFile(program / "notes.not"), notes);
  // The window placement that start-up did not restore is not written either.
  EXPECT_EQ(ReadFile(settings / "quorbex.ini").find("TMainWindow"), std::string::npos);
  Destroy();

  // A normal start: notes left alone are not rewritten by saves and prompts, typed ones are.
  fs::remove(program / "autoreplace.lst");
  fs::copy_file(fs::path(VT_TEST_DATA_DIR) / "autoreplace.lst", program / "autoreplace.lst");
  fs::path doc = root / "doc.html";
  WriteFile(doc, "doc\n");
  Create({doc.string()});
  EXPECT_EQ(main->Memo1->Text(), notes);
  WriteFile(program / "notes.not", "changed elsewhere\r\n");
  Ed()->SetSelText("x");
  Run("FileSave");
  main->CheckFileSave();
  Run("Notez");
  EXPECT_EQ(ReadFile(program / "notes.not"), "changed elsewhere\r\n");
  ShowForTest(main, 800, 600);
  SimulateTyping(main->Memo1, "+");
  EXPECT_TRUE(main->Memo1->Modified());
  Run("Notez");
  EXPECT_EQ(ReadFile(program / "notes.not").find("+"), 0u);
  EXPECT_FALSE(main->Memo1->Modified());

  // Another window saves the shared notes meanwhile: the panel left alone takes them in...
  const std::string first = ReadFile(program / "notes.not") + "note of the other window\r\n";
  WriteFile(program / "notes.not", first);
  Run("Notez");
  EXPECT_EQ(main->Memo1->Text(), first);
  // ...and notes typed here keep both, the other window's under a heading, on the next save.
  EditNotes(main, (first + "note of this window").c_str());
  WriteFile(program / "notes.not", first + "second note of the other window\r\n");
  main->CheckFileSave();
  const std::string both = first + "note of this window\r\n" +
                           W1251("----- Заметки, сохранённые в другом окне программы -----") +
                           "\r\nsecond note of the other window\r\n";
  EXPECT_EQ(ReadFile(program / "notes.not"), both);
  EXPECT_EQ(main->Memo1->Text(), both);
  EXPECT_FALSE(main->Memo1->Modified());
}

TEST_F(AppTest, NotesThatCannotBeSavedAreReportedOnceAndStopNoDocumentWork) {
  fs::path doc = root / "doc.html", other = root / "other.html";
  WriteFile(doc, "old\n");
  WriteFile(other, "other\n");
  Create({doc.string()});
  // A folder in the notes file's place cannot be written, whoever runs the program.
  fs::remove(program / "notes.not");
  fs::create_directory(program / "notes.not");
  size_t shown = dialogs.asked.size();
  EditNotes(main, "notes");
  Ed()->SetSelText("new ");
  Run("FileSave");
  EXPECT_EQ(ReadFile(doc), "new old\n");
  ASSERT_EQ(dialogs.asked.size(), shown + 1);
  EXPECT_NE(dialogs.asked.back().Text.find("notes.not"), AnsiString::npos);
  dialogs.Answer(IDOK, other.string());
  Run("FileOpenAction");
  EXPECT_EQ(main->DocumentName(), other.string());
  Ed()->SetSelText("x");
  dialogs.Answer(IDYES);
  main->Show();
  main->Close();
  EXPECT_EQ(ReadFile(other), "xother\n");
  EXPECT_FALSE(main->Visible());
  // Open dialog and save prompt only: the notes failure was not shown again.
  EXPECT_EQ(dialogs.asked.size(), shown + 3);
  // Asked for by name, the notes' save reports every failure.
  EXPECT_THROW(Run("noteSave"), Exception);
}

TEST_F(AppTest, NotesExportAndMail) {
  Create();
  main->Memo1->SetText("a b");
  dialogs.Answer(IDOK, (root / "out.txt").string());
  Run("Xport");
  EXPECT_EQ(ReadFile(root / "out.txt"), "a b\r\n");
  const TDialogRequest* r = dialogs.Last(dkSaveFile);
  EXPECT_EQ(r->Caption, W1251("Экспорт заметок"));
  EXPECT_EQ(r->FileName, "Notes");
  EXPECT_EQ(r->DefaultExt, "txt");
  Run("MailSend");
  ASSERT_EQ(shellOpened.size(), 1u);
  EXPECT_EQ(shellOpened[0], AnsiString("mailto:notes@example.com?Subject=\"") +
                                W1251("Заметки по поводу веб-страницы") + "\"&Body=\"a b\r\n\"");
  // What a link reserves is encoded: the mail holds the notes whole, not cut at "&" or "#".
  main->Memo1->SetText(W1251("Цена 100% & скидка #1 + a=b?/%41"));
  Run("MailSend");
  ASSERT_EQ(shellOpened.size(), 2u);
  EXPECT_EQ(shellOpened[1], AnsiString("mailto:notes@example.com?Subject=\"") +
                                W1251("Заметки по поводу веб-страницы") + "\"&Body=\"" +
                                W1251("Цена 100%25 %26 скидка %231 %2B a%3Db%3F%2F%2541") + "\r\n\"");
}

TEST_F(AppTest, HelpAndNewWindowOpenProgramFolderFiles) {
  Create();
  main->SetBounds(11, 12, 640, 480);
  Run("HelpMe");
  Run("NewWnd");
  ASSERT_EQ(shellOpened.size(), 2u);
  // Both lie beside the executable, not among the data files.
  fs::path exe = Application->ExeName();
  EXPECT_EQ(shellOpened[0], (exe.parent_path() / "help" / "index.htm").string());
  EXPECT_EQ(shellOpened[1], exe.string());
  TIniFile ini((settings / "quorbex.ini").string());
  // The new window opens offset down and to the right, not exactly over this one.
  EXPECT_GT(ini.ReadInteger("TMainWindow", "Left", 0), main->Left());
  EXPECT_GT(ini.ReadInteger("TMainWindow", "Top", 0), main->Top());
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "Width", 0), 640);
}

TEST_F(AppTest, OpenThatFailsKeepsTheDocumentAndItsName) {
  WriteFile(root / "doc.htm", "kept\n");
  Create({(root / "doc.htm").string()});
  fs::create_directories(root / "folder");
  std::vector<std::string> bad = {(root / "missing.htm").string(), (root / "folder").string()};
  for (const std::string& b : bad) {
    dialogs.Answer(IDOK, b);
    EXPECT_THROW(Run("FileOpenAction"), EFOpenError) << b;
    EXPECT_EQ(main->DocumentName(), (root / "doc.htm").string());
    EXPECT_EQ(main->Caption(), "Vantry Tarn - [doc.htm]");
    EXPECT_EQ(Ed()->Text(), "kept");
  }
  // A save now writes the document it still is, never the file that failed.
  Ed()->SetSelText("!");
  Run("FileSave");
  EXPECT_FALSE(fs::exists(root / "missing.htm"));
  EXPECT_EQ(ReadFile(root / "doc.htm"), "!kept\n");
}

TEST_F(AppTest, UnreadableFileOnTheCommandLineLeavesAnUntitledDocument) {
  Create({(root / "no folder" / "nothing.htm").string()});
  ASSERT_NE(dialogs.Last(dkMessageBox), nullptr);
  EXPECT_EQ(main->DocumentName(), kUntitled);
  Ed()->SetSelText("typed");
  dialogs.Answer(IDCANCEL);
  Run("FileSave");
  EXPECT_EQ(dialogs.Last(dkSaveFile)->FileName, kUntitled);
  EXPECT_FALSE(fs::exists(root / "no folder"));
}

TEST_F(AppTest, CommandLineNameTheCodePageCannotHoldLeavesTheNewPage) {
  for (const char* name : {"日本語.html", "café—x.html"}) {
    SetSystemProgramArguments({(root / name).string()});
    Application->CreateForm(main);
    const TDialogRequest* e = dialogs.Last(dkMessageBox);
    ASSERT_NE(e, nullptr) << name;
    EXPECT_EQ(e->Caption, W1251("Ошибка"));
    EXPECT_NE(AnsiToUtf8(e->Text).find("нет в кодовой странице"), std::string::npos) << AnsiToUtf8(e->Text);
    EXPECT_EQ(main->DocumentName(), kUntitled);
    EXPECT_EQ(Ed()->Lines()->Get(0), "<html><head>");
    Destroy();
    dialogs.asked.clear();
  }
}

TEST_F(AppTest, APipeIsRefusedWithoutWaitingAndADeviceOpensEmpty) {
  std::string fifo = (root / "pipe.html").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  Create({fifo});
  const TDialogRequest* e = dialogs.Last(dkMessageBox);
  ASSERT_NE(e, nullptr);
  EXPECT_NE(AnsiToUtf8(e->Text).find("именованный канал"), std::string::npos) << AnsiToUtf8(e->Text);
  EXPECT_EQ(main->DocumentName(), kUntitled);
  // The Open dialog: refused, the document stays; Save As onto the pipe: refused, still modified.
  dialogs.Answer(IDOK, fifo);
  EXPECT_THROW(Run("FileOpenAction"), EFOpenError);
  EXPECT_EQ(main->DocumentName(), kUntitled);
  Ed()->SetSelText("typed");
  dialogs.Answer(IDOK, fifo);
  EXPECT_THROW(Run("SaveFileAs"), EFCreateError);
  EXPECT_TRUE(Ed()->Modified());
  EXPECT_EQ(main->DocumentName(), kUntitled);
  Destroy();
  Create({"/dev/zero"});
  EXPECT_EQ(main->DocumentName(), "/dev/zero");
  EXPECT_EQ(Ed()->Text(), "");
}

TEST_F(AppTest, UnreadablePermissionsAreReportedWhenNotRoot) {
  if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
  WriteFile(root / "secret.htm", "s\n");
  fs::permissions(root / "secret.htm", fs::perms::none);
  Create();
  dialogs.Answer(IDOK, (root / "secret.htm").string());
  EXPECT_THROW(Run("FileOpenAction"), EFOpenError);
  EXPECT_EQ(main->DocumentName(), kUntitled);
}

TEST_F(AppTest, FailedSaveLeavesTheDocumentModifiedUnderItsName) {
  // A full disk: the device that answers every write with "no space".
  Create({"/dev/full"});
  ASSERT_EQ(main->DocumentName(), "/dev/full");
  Ed()->SetSelText("edited");
  EXPECT_ANY_THROW(Run("FileSave"));
  EXPECT_TRUE(Ed()->Modified());
  Destroy();
  // A folder that cannot hold files (its parent is a file): Save As fails and the document
  // keeps its name, its text and its modified state; the old file is untouched.
  WriteFile(root / "doc.htm", "on disk\n");
  Create({(root / "doc.htm").string()});
  Ed()->SelectAll();
  Ed()->SetSelText("edited");
  dialogs.Answer(IDOK, (root / "doc.htm" / "x.html").string());
  EXPECT_ANY_THROW(Run("SaveFileAs"));
  EXPECT_TRUE(Ed()->Modified());
  EXPECT_EQ(main->DocumentName(), (root / "doc.htm").string());
  EXPECT_EQ(main->Caption(), "Vantry Tarn - [doc.htm]");
  EXPECT_EQ(ReadFile(root / "doc.htm"), "on disk\n");
  // A read-only folder (not for root, who writes anywhere).
  if (geteuid() != 0) {
    fs::create_directories(root / "ro");
    fs::permissions(root / "ro", fs::perms::owner_read | fs::perms::owner_exec);
    dialogs.Answer(IDOK, (root / "ro" / "x.html").string());
    EXPECT_ANY_THROW(Run("SaveFileAs"));
    EXPECT_TRUE(Ed()->Modified());
    fs::permissions(root / "ro", fs::perms::owner_all);
  }
}

TEST_F(AppTest, DroppingFilesOpensOnlyTheFirst) {
  for (const char* n : {"one.htm", "two.htm", "three.htm"}) WriteFile(root / n, std::string(n) + "\n");
  Create();
  ShowForTest(main, 800, 600);
  SimulateFileDrop(main->StatusBar1, {(root / "one.htm").string(), (root / "two.htm").string(),
                                      (root / "three.htm").string()});
  EXPECT_EQ(main->DocumentName(), (root / "one.htm").string());
  EXPECT_EQ(Ed()->Text(), "one.htm");
}

TEST_F(AppTest, StyleAndShadowsComeFromTheSettings) {
  WriteIni("[General]\nMyPath=" + program.string() + "\nStyle=standard\nShadows=1\n");
  Create();
  EXPECT_EQ(main->ActionManager1->Style(), XPStyle());
  EXPECT_TRUE(main->MainWNDMenu->Shadows());
  EXPECT_TRUE(main->ActionMainMenuBar1->Shadows());
  EXPECT_FALSE(main->ActionMainMenuBar1->MenuEvents());
  EXPECT_TRUE(main->MainWNDMenu->MenuEvents());
  Destroy();
  WriteIni("[General]\nMyPath=" + program.string() + "\nStyle=Standard\n");
  Create();
  EXPECT_EQ(main->ActionManager1->Style(), StandardStyle());
  EXPECT_FALSE(main->MainWNDMenu->Shadows());
}

TEST_F(AppTest, InsertAndSelectionModesShowInTheStatusBar) {
  Create();
  Run("InsMode");
  EXPECT_FALSE(Ed()->InsertMode());
  EXPECT_EQ(Panel(1), W1251("ПРЗ"));
  Run("InsMode");
  EXPECT_TRUE(Ed()->InsertMode());
  EXPECT_EQ(Panel(1), W1251("ВСТ"));
  Run("Action9");
  EXPECT_EQ(Ed()->SelectionMode(), smColumn);
  EXPECT_EQ(Panel(0), W1251("Блок"));
  EXPECT_TRUE(main->FindAction("Action9")->Checked());
  EXPECT_FALSE(main->FindAction("Action4")->Checked());
  Run("Action10");
  EXPECT_EQ(Ed()->SelectionMode(), smLine);
  EXPECT_EQ(Panel(0), W1251("Строки"));
  Run("Action4");
  EXPECT_EQ(Ed()->SelectionMode(), smNormal);
  EXPECT_EQ(Panel(0), W1251("Поток"));
  main->Timer1Timer(nullptr);
  EXPECT_EQ(Panel(2), "");
  EXPECT_EQ(Panel(3), "");
  EXPECT_EQ(Panel(4), "");
}

TEST_F(AppTest, EditorLeavesTheSelectionModeKeysToTheWindow) {
  Create();
  TSrcEditKeyStrokes* k = Ed()->Keystrokes();
  TShiftState cs = TShiftState{ssCtrl, ssShift};
  EXPECT_EQ(k->FindKeycode('N', cs), -1);
  EXPECT_EQ(k->FindKeycode('C', cs), -1);
  EXPECT_EQ(k->FindKeycode('L', cs), -1);
  EXPECT_NE(k->FindKeycode('C', TShiftState{ssCtrl}), -1);
  // What the window stores for the editor is exactly the three removed bindings.
  TSrcEditKeyStrokes stored(nullptr);
  stored.Assign(k);
  std::vector<TFormProperty> props;
  WriteKeystrokeProperties(stored, nullptr, props);
  ASSERT_EQ(props.size(), 2u);
  EXPECT_EQ(props[0].Name, "RemovedKeystrokes");
  EXPECT_EQ(props[0].Value.Items.size(), 3u);
  EXPECT_EQ(props[1].Value.Items.size(), 0u);
}

}  // namespace
