// The settings window: keys and lists it writes, the backup into a zip archive and the restore
// from one, and the integration buttons.
#include "app/settings/settings_window.h"

#include <sys/stat.h>

#include "platform/input_simulation.h"
#include "platform/registry.h"
#include "tests/app/app_fixture.h"

namespace {

class SettingsTest : public AppTest {
protected:
  TTarnSetup* setup = nullptr;
  void SetUp() override {
    AppTest::SetUp();
    for (const char* lib : {"libzipdll.so", "libunzdll.so"})
      fs::copy_file(fs::path(VT_ZIP_LIB_DIR) / lib, program / lib);
    Create();
    Run("Setuuup");
    for (int i = Application->ComponentCount() - 1; i >= 0 && !setup; --i)
      setup = dynamic_cast<TTarnSetup*>(Application->Components(i));
    ASSERT_NE(setup, nullptr);
  }
  void TearDown() override {
    delete setup;
    AppTest::TearDown();
  }
  std::string LastMessage() const {
    auto* m = dialogs.Last(dkMessageBox);
    return m ? AnsiToUtf8(m->Text) : std::string();
  }
  std::string Backup() {
    std::string archive = (root / "backup.zip").string();
    dialogs.Answer(IDOK, archive);
    setup->BackUp->Click();
    return archive;
  }
};

TEST_F(SettingsTest, ShowsTheSettingsAndApplyWritesThemBack) {
  EXPECT_FALSE(main->Enabled());
  // On a fresh settings folder the window shows the settings in force, and applying them
  // unchanged changes nothing.
  EXPECT_TRUE(setup->StyleXP->Checked());
  EXPECT_TRUE(setup->arpls->Checked());
  EXPECT_FALSE(setup->CheckBox1->Checked());
  EXPECT_FALSE(setup->wordwrap->Checked());
  EXPECT_EQ(main->ActionManager1->Style(), XPStyle());
  EXPECT_TRUE(main->SrcAutoCorrect1->Enabled());
  setup->ApplyChanges->Click();
  EXPECT_EQ(main->ActionManager1->Style(), XPStyle());
  EXPECT_TRUE(main->SrcAutoCorrect1->Enabled());
  EXPECT_FALSE(Ed()->WordWrap());
  setup->StyleStd->SetChecked(true);
  EXPECT_EQ(setup->NewFileNmbBody->Text(), "6");
  EXPECT_EQ(setup->TarnPath->Text(), main->ProgramFolder());
  TStringList insert;
  insert.LoadFromFile((program / "insert.lst").string());
  EXPECT_EQ(setup->ListBox1->Items()->Text(), insert.Text());
  setup->NewFileNmbBody->SetText("7");
  setup->wordwrap->SetChecked(true);
  setup->WordFrom->SetText("teh");
  setup->WordTo->SetText("the");
  setup->Button1->Click();
  setup->Edit1->SetText("<hr>");
  setup->Button4->Click();
  setup->OKButton->Click();
  EXPECT_FALSE(setup->Visible());
  EXPECT_TRUE(main->Enabled());
  std::string ini = ReadFile(settings / "quorbex.ini");
  EXPECT_NE(ini.find("Style=Standard"), std::string::npos);
  EXPECT_NE(ini.find("BodyNmb=7"), std::string::npos);
  EXPECT_NE(ini.find("WordWrap=1"), std::string::npos);
  EXPECT_NE(ReadFile(program / "autoreplace.lst").find("teh=the"), std::string::npos);
  EXPECT_NE(ReadFile(program / "insert.lst").find("<hr>"), std::string::npos);
  EXPECT_TRUE(Ed()->WordWrap());
  // The next new file puts the caret on line 7.
  Run("FileNewActin");
  EXPECT_EQ(Ed()->CaretY(), 7);
}

TEST_F(SettingsTest, ApplyWritesNoListTheWindowCouldNotShow) {
  // The replacement list is missing: showing stops there, before the insertion list is read.
  fs::remove(program / "autoreplace.lst");
  std::string insert = ReadFile(program / "insert.lst");
  delete setup;
  setup = new TTarnSetup(Application);
  EXPECT_THROW(setup->FormShow(nullptr), EFOpenError);
  EXPECT_EQ(setup->ListBox1->Items()->Count(), 0);
  setup->WordFrom->SetText("teh");
  setup->WordTo->SetText("the");
  setup->Button1->Click();
  setup->ApplyChanges->Click();
  EXPECT_EQ(ReadFile(program / "autoreplace.lst"), "teh=the\r\n");
  EXPECT_EQ(ReadFile(program / "insert.lst"), insert);
}

// A list that cannot be read is reported, and the window shows all the same with the main window
// switched off for it (it alone can switch it on again); Escape closes it without writing.
TEST_F(SettingsTest, AFailingShowIsReportedAndEscapeClosesTheWindow) {
  setup->CancelButton->Click();
  delete setup;
  setup = nullptr;
  fs::remove(program / "autoreplace.lst");
  std::string ini = ReadFile(settings / "quorbex.ini");
  int messages = dialogs.Count(dkMessageBox);
  Run("Setuuup");
  for (int i = Application->ComponentCount() - 1; i >= 0 && !setup; --i)
    setup = dynamic_cast<TTarnSetup*>(Application->Components(i));
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(dialogs.Count(dkMessageBox), messages + 1);
  EXPECT_TRUE(setup->Visible());
  EXPECT_FALSE(main->Enabled());
  SimulateKeyStroke(setup->NewFileNmbBody, VK_ESCAPE);
  EXPECT_FALSE(setup->Visible());
  EXPECT_TRUE(main->Enabled());
  EXPECT_EQ(ReadFile(settings / "quorbex.ini"), ini);
  EXPECT_FALSE(fs::exists(program / "autoreplace.lst"));
}

TEST_F(SettingsTest, BackupHoldsFiveFilesAndRestoreTakesOnlyTheTickedOnes) {
  std::string archive = Backup();
  EXPECT_EQ(LastMessage(), "Настройки сохранены");
  EXPECT_EQ(system(("unzip -tq " + archive + " >/dev/null").c_str()), 0);
  EXPECT_EQ(setup->ZipKeeper1->Count(), 5);
  // Only "Заметки" ticked: the notes come back, the settings file and MyPath stay.
  WriteFile(program / "notes.not", "changed notes\r\n");
  WriteFile(program / "insert.lst", "changed list\r\n");
  std::string iniBefore = ReadFile(settings / "quorbex.ini");
  setup->Setelements(false, false, false, true, false);
  fs::path other = root / "other";
  fs::copy(program, other, fs::copy_options::recursive);
  setup->TarnPath->SetText(other.string());
  WriteFile(other / "notes.not", "other notes\r\n");
  dialogs.Answer(IDOK, archive);
  setup->Restore->Click();
  EXPECT_EQ(LastMessage(), "Настройки восстановлены");
  EXPECT_EQ(ReadFile(other / "notes.not"), ReadFile(fs::path(VT_TEST_DATA_DIR) / "notes.not"));
  EXPECT_EQ(ReadFile(other / "insert.lst"), "changed list\r\n");
  EXPECT_EQ(ReadFile(settings / "quorbex.ini"), iniBefore);
  EXPECT_EQ(main->ProgramFolder(), other.string());
  EXPECT_EQ(main->Memo1->Lines()->Text(), ReadFile(other / "notes.not"));
}

TEST_F(SettingsTest, RestoreFromAPipeIsRefusedWithoutWaiting) {
  std::string fifo = (root / "backup.zip").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string notes = ReadFile(program / "notes.not");
  setup->Setelements(true, true, true, true, true);
  dialogs.Answer(IDOK, fifo);
  setup->Restore->Click();
  EXPECT_NE(LastMessage(), "Настройки восстановлены");
  EXPECT_EQ(ReadFile(program / "notes.not"), notes);
}

TEST_F(SettingsTest, ARestoreFromAFileThatIsNotAnArchiveIsReportedOnceInRussian) {
  std::string notArchive = (root / "notes.txt").string();
  WriteFile(notArchive, "just some text, not an archive\r\n");
  setup->Setelements(true, true, true, true, true);
  int before = dialogs.Count(dkMessageBox);
  dialogs.Answer(IDOK, notArchive);
  setup->Restore->Click();
  EXPECT_EQ(dialogs.Count(dkMessageBox) - before, 1);
  EXPECT_EQ(LastMessage(), "Файл не является zip-архивом или повреждён.");
}

TEST_F(SettingsTest, RestoreOfTheSettingsFileRecordsTheProgramFolder) {
  std::string archive = Backup();
  WriteIni("[General]\nMyPath=/nowhere\nStyle=XP\n");
  dialogs.Answer(IDOK, archive);
  setup->Restore->Click();
  std::string ini = ReadFile(settings / "quorbex.ini");
  EXPECT_EQ(ini.find("Style=XP"), std::string::npos);
  EXPECT_NE(ini.find("MyPath=" + program.string()), std::string::npos);
}

TEST_F(SettingsTest, BackupIntoAFolderThatCannotBeWrittenLeavesNoArchive) {
  dialogs.Answer(IDOK, "/sys/vt-backup.zip");
  setup->BackUp->Click();
  EXPECT_FALSE(fs::exists("/sys/vt-backup.zip"));
  EXPECT_EQ(setup->ZipKeeper1->ErrCode(), 10101);
  EXPECT_NE(LastMessage(), "Настройки сохранены");
}

TEST_F(SettingsTest, IntegrationWritesTheRegistryAndADesktopEntry) {
  setup->Button5->Click();
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\MICROSOFT\\Internet Explorer\\View Source Editor\\Editor Name", false));
  EXPECT_EQ(reg.ReadString(""), Application->ExeName());
  EXPECT_EQ(LastMessage(), "Tarn сделан редактором по умолчанию\rв браузере Internet Explorer");
  // No Opera folder: the settings file cannot be written and the error is shown instead.
  EXPECT_THROW(setup->Button6->Click(), EIniFileException);
  EXPECT_NE(LastMessage(), "Tarn сделан редактором по умолчанию\rв браузере Opera");
  fs::path data = root / "data";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  // The entry an earlier version wrote under a name with a blank, which the desktop's tools
  // cannot take, goes; the new one's name is an entry id.
  fs::create_directories(data / "applications");
  std::ofstream(data / "applications/Vantry Tarn.desktop") << "[Desktop Entry]\nType=Application\nName=Vantry Tarn\n";
  setup->Button7->Click();
  EXPECT_FALSE(fs::exists(data / "applications/Vantry Tarn.desktop"));
  std::string entry = ReadFile(data / "applications/vantry-tarn.desktop");
  EXPECT_NE(entry.find("Name=Vantry Tarn\n"), std::string::npos);
  EXPECT_NE(entry.find("Exec=\"" + Application->ExeName() + "\" %f"), std::string::npos);
  EXPECT_NE(entry.find("MimeType=text/html;"), std::string::npos);
  EXPECT_EQ(LastMessage(), "Tarn добавлен\rв меню \"Отправить в...\"");
  unsetenv("XDG_DATA_HOME");
}

TEST_F(SettingsTest, Screenshots) {
  fs::create_directories(VT_TEST_OUTPUT_DIR);
  for (int page : {0, 1, 4}) {
    setup->PageControl1->SetActivePageIndex(page);
    ShowForTest(setup, setup->Width(), setup->Height());
    ProcessMessages();
    std::string path = std::string(VT_TEST_OUTPUT_DIR) + "/settings_page" + std::to_string(page) + ".png";
    EXPECT_TRUE(SaveWindowImage(setup, path));
  }
}

}  // namespace
