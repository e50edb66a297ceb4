#include "app/settings/settings_window.h"

#include <limits>
#include <type_traits>

#include "app/data_folder.h"
#include "app/main_window.h"
#include "platform/application.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace {

AnsiString U(const char* utf8) { return Utf8ToAnsi(utf8); }

// The settings folder without its trailing delimiter: the program's "Windows directory".
AnsiString WindowsFolder() { return ExcludeTrailingPathDelimiter(SettingsDir()); }

}  // namespace

template <class T>
T* TTarnSetup::Make(TWinControl* Parent, int Left, int Top, int Width, int Height, const char* Caption) {
  T* c = new T(this);
  c->SetParent(Parent);
  c->SetBounds(Left, Top, Width, Height);
  if constexpr (std::is_base_of_v<TTextControl, T>)
    if (Caption) c->SetCaption(U(Caption));
  return c;
}

TTarnSetup::TTarnSetup(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(U("Настройки"));
  SetFormBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetBounds(0, 0, 530, 470);
  SetClientSize(522, 440);
  CreateComponents();
  OnShow = TNotifyEvent(this, &TTarnSetup::FormShow);
  OnHide = TNotifyEvent(this, &TTarnSetup::FormHide);
}

void TTarnSetup::CreateComponents() {
  // The window's face: a plain panel behind the pages and the buttons.
  auto* face = Make<TPanel>(this, 0, 0, 522, 440);
  face->SetBevelOuter(bvNone);
  face->SetAlign(alClient);
  face->SetCaption(AnsiString());
  Header = Make<TPanel>(face, 0, 0, 522, 52);
  Header->SetColor(clWindow);
  Header->SetBevelOuter(bvNone);
  Header->SetCaption(AnsiString());
  HeaderTitle = Make<TLabel>(Header, 12, 8, 400, 18, "Настройка программы");
  HeaderTitle->Font()->SetStyle(TFontStyles{fsBold});
  HeaderText = Make<TLabel>(Header, 28, 28, 400, 16, "Настройте Tarn по-своему!");

  PageControl1 = Make<TPageControl>(face, 6, 58, 510, 338);
  auto page = [this](const char* caption) {
    auto* p = new TTabSheet(this);
    p->SetPageControl(PageControl1);
    p->SetCaption(U(caption));
    return p;
  };
  GeneralPage = page("Общие");
  SpellingPage = page("Правописание");
  InsertPage = page("Список вставки");
  IntegrationPage = page("Интеграция");
  BackupPage = page("Резервная копия");

  // "Общие"
  auto* editorGroup = Make<TGroupBox>(GeneralPage, 8, 8, 486, 120, "Редактор");
  Make<TLabel>(editorGroup, 12, 22, 464, 16, "Укажите, на какую строку ставить курсор");
  Make<TLabel>(editorGroup, 12, 38, 464, 16, "при создании нового файла:");
  NewFileNmbBody = Make<TEdit>(editorGroup, 12, 58, 60, 22);
  UpDown1 = Make<TUpDown>(editorGroup, 72, 58, 16, 22);
  UpDown1->SetMin(1);
  UpDown1->SetMax(std::numeric_limits<int>::max());  // any line the main window can go to
  UpDown1->SetAssociate(NewFileNmbBody);
  wordwrap = Make<TCheckBox>(editorGroup, 12, 90, 300, 20, "Переносить строки");
  auto* styleGroup = Make<TGroupBox>(GeneralPage, 8, 136, 486, 100, "Стиль");
  StyleStd = Make<TRadioButton>(styleGroup, 12, 22, 200, 20, "Обычный");
  StyleXP = Make<TRadioButton>(styleGroup, 12, 46, 200, 20, "Office XP");
  CheckBox1 = Make<TCheckBox>(styleGroup, 12, 72, 200, 20, "Тени");

  // "Правописание"
  auto* replGroup = Make<TGroupBox>(SpellingPage, 8, 8, 486, 294, "Автозамена");
  arpls = Make<TCheckBox>(replGroup, 12, 20, 300, 20, "Включить автозамену");
  WordFrom = Make<TEdit>(replGroup, 12, 48, 150, 22);
  auto* arrow = Make<TLabel>(replGroup, 168, 51, 20, 18, "->");
  (void)arrow;
  WordTo = Make<TEdit>(replGroup, 190, 48, 150, 22);
  Button1 = Make<TButton>(replGroup, 346, 46, 72, 25, "Добавить");
  Button2 = Make<TButton>(replGroup, 346, 76, 72, 25, "Удалить");
  wordslist = Make<TValueListEditor>(replGroup, 12, 78, 328, 206);
  wordslist->TitleCaptions()->Clear();
  wordslist->TitleCaptions()->Add(U("Слово"));
  wordslist->TitleCaptions()->Add(U("Замена"));
  Button1->OnClick = TNotifyEvent(this, &TTarnSetup::Button1Click);
  Button2->OnClick = TNotifyEvent(this, &TTarnSetup::Button2Click);

  // "Список вставки"
  // One explanation, shown over three lines.
  Make<TLabel>(InsertPage, 8, 8, 486, 16, "В Список вставки можно добавить какие-либо теги, часто");
  Make<TLabel>(InsertPage, 8, 24, 486, 16, "используемые слова, чтобы потом вставить при помощи меню,");
  Make<TLabel>(InsertPage, 8, 40, 486, 16, "вызываемого нажатием Ctrl+J");
  ListBox1 = Make<TListBox>(InsertPage, 8, 62, 486, 198);
  Edit1 = Make<TEdit>(InsertPage, 8, 270, 322, 22);
  Button3 = Make<TButton>(InsertPage, 338, 268, 75, 25, "Удалить");
  Button4 = Make<TButton>(InsertPage, 419, 268, 75, 25, "Добавить");
  Button3->OnClick = TNotifyEvent(this, &TTarnSetup::Button3Click);
  Button4->OnClick = TNotifyEvent(this, &TTarnSetup::Button4Click);

  // "Интеграция"
  auto* browserGroup = Make<TGroupBox>(IntegrationPage, 8, 8, 486, 150, "Редактор по умолчанию");
  Button5 = Make<TButton>(browserGroup, 12, 24, 130, 25, "Internet Explorer");
  Make<TLabel>(browserGroup, 150, 22, 330, 16, "Tarn будет открывать исходный код");
  Make<TLabel>(browserGroup, 150, 38, 330, 16, "страниц из Internet Explorer");
  Button6 = Make<TButton>(browserGroup, 12, 84, 130, 25, "Opera");
  Make<TLabel>(browserGroup, 150, 82, 330, 16, "Tarn будет открывать исходный код");
  Make<TLabel>(browserGroup, 150, 98, 330, 16, "страниц из Opera");
  auto* shellGroup = Make<TGroupBox>(IntegrationPage, 8, 166, 486, 70, "Проводник");
  Button7 = Make<TButton>(shellGroup, 12, 26, 130, 25, "Отправить в...");
  Button5->OnClick = TNotifyEvent(this, &TTarnSetup::Button5Click);
  Button6->OnClick = TNotifyEvent(this, &TTarnSetup::Button6Click);
  Button7->OnClick = TNotifyEvent(this, &TTarnSetup::Button7Click);

  // "Резервная копия"
  auto* items = Make<TGroupBox>(BackupPage, 8, 8, 220, 190, "Элементы");
  BUIniFile = Make<TCheckBox>(items, 12, 22, 180, 20, "Настройки");
  BUAutoreplace = Make<TCheckBox>(items, 12, 46, 180, 20, "Список автозамены");
  BUInsert = Make<TCheckBox>(items, 12, 70, 180, 20, "Список вставки");
  BUNotes = Make<TCheckBox>(items, 12, 94, 180, 20, "Заметки");
  BUTemplate = Make<TCheckBox>(items, 12, 118, 180, 20, "Шаблон");
  for (TCheckBox* b : {BUIniFile, BUAutoreplace, BUInsert, BUNotes, BUTemplate}) b->SetChecked(true);
  ComboBox1 = Make<TComboBox>(items, 12, 150, 196, 22);
  ComboBox1->SetStyle(csDropDownList);
  ComboBox1->Items()->Add(U("Vantry Tarn 1.2"));
  ComboBox1->SetItemIndex(0);
  ComboBox1->OnChange = TNotifyEvent(this, &TTarnSetup::ComboBox1Change);
  auto* backGroup = Make<TGroupBox>(BackupPage, 236, 8, 258, 70, "Архивировать");
  BackUp = Make<TButton>(backGroup, 12, 28, 120, 25, "Архивировать");
  BackUp->OnClick = TNotifyEvent(this, &TTarnSetup::BackUpClick);
  auto* restGroup = Make<TGroupBox>(BackupPage, 236, 86, 258, 140, "Восстановить");
  Make<TLabel>(restGroup, 12, 22, 236, 18, "Укажите путь к папке программы");
  TarnPath = Make<TEdit>(restGroup, 12, 46, 206, 22);
  TarnPath->SetText(U("(укажите вручную)"));
  Button8 = Make<TButton>(restGroup, 222, 45, 26, 24, "...");
  Button8->OnClick = TNotifyEvent(this, &TTarnSetup::Button8Click);
  Restore = Make<TButton>(restGroup, 12, 80, 120, 25, "Восстановить");
  Restore->OnClick = TNotifyEvent(this, &TTarnSetup::RestoreClick);

  OKButton = Make<TButton>(face, 268, 406, 80, 25, "Ok");
  CancelButton = Make<TButton>(face, 354, 406, 80, 25, "Отмена");
  CancelButton->SetCancel(true);  // Esc closes the window without writing
  ApplyChanges = Make<TButton>(face, 440, 406, 80, 25, "Применить");
  OKButton->OnClick = TNotifyEvent(this, &TTarnSetup::OKButtonClick);
  CancelButton->OnClick = TNotifyEvent(this, &TTarnSetup::CancelButtonClick);
  ApplyChanges->OnClick = TNotifyEvent(this, &TTarnSetup::ApplyChangesClick);
  PageControl1->SetActivePageIndex(0);

  ZipKeeper1 = new TZipKeeper(this);
  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->Title = U("Архивировать настройки");
  SaveDialog1->FileName = "Tarn_BackUp";
  SaveDialog1->DefaultExt = "zip";
  SaveDialog1->Filter = U("Zip архивы|*.zip");
  SaveDialog1->Options |= ofOverwritePrompt;
  OpenDialog1 = new TOpenDialog(this);
  OpenDialog1->DefaultExt = "zip";
  OpenDialog1->Filter = U("Zip архивы|*.zip");
}

AnsiString TTarnSetup::Folder() const { return Main ? Main->ProgramFolder() : AnsiString(); }
AnsiString TTarnSetup::FolderFile(const AnsiString& Name) const { return Folder() + PathDelim + Name; }
AnsiString TTarnSetup::ProgramExe() const { return ProgramExecutable(); }

// ------------------------------------------------------------------------------ show, apply

void TTarnSetup::FormShow(TObject*) {
  if (Main) Main->SetEnabled(false);
  TIniFile* ini = Main->Settings();
  // The settings in force, as the main window reads them: Ok without a change changes nothing.
  TWindowSettings set = ReadWindowSettings(ini);
  if (set.StandardStyle) StyleStd->SetChecked(true);
  else StyleXP->SetChecked(true);
  NewFileNmbBody->SetText(ini->ReadString("Editor", "BodyNmb", "6"));
  arpls->SetChecked(set.AutoReplace);
  CheckBox1->SetChecked(set.Shadows);
  wordwrap->SetChecked(set.WordWrap);
  wordsLoaded_ = insertLoaded_ = false;
  wordslist->Strings()->LoadFromFile(FolderFile("autoreplace.lst"));
  wordsLoaded_ = true;
  ListBox1->Items()->LoadFromFile(FolderFile("insert.lst"));
  insertLoaded_ = true;
  TarnPath->SetText(Folder());
}

void TTarnSetup::FormHide(TObject*) {
  if (Main) Main->SetEnabled(true);
}

void TTarnSetup::ApplyChangesClick(TObject*) {
  TIniFile* ini = Main->Settings();
  if (StyleStd->Checked()) ini->WriteString("General", "Style", "Standard");
  if (StyleXP->Checked()) ini->WriteString("General", "Style", "XP");
  ini->WriteInteger("Orfo", "AutoReplace", arpls->Checked() ? 1 : 0);
  ini->WriteInteger("General", "Shadows", CheckBox1->Checked() ? 1 : 0);
  ini->WriteInteger("Editor", "WordWrap", wordwrap->Checked() ? 1 : 0);
  // A list the window could not show is not written over its file with what the window holds.
  if (wordsLoaded_ || !FileExists(FolderFile("autoreplace.lst")))
    wordslist->Strings()->SaveToFile(FolderFile("autoreplace.lst"));
  ini->WriteString("Editor", "BodyNmb", NewFileNmbBody->Text());
  if (insertLoaded_ || !FileExists(FolderFile("insert.lst"))) ListBox1->Items()->SaveToFile(FolderFile("insert.lst"));
  Main->ReStyle();
}

void TTarnSetup::OKButtonClick(TObject* Sender) {
  ApplyChangesClick(Sender);
  Close();
}

void TTarnSetup::CancelButtonClick(TObject*) { Close(); }

// ------------------------------------------------------------------------------ lists

void TTarnSetup::Button1Click(TObject*) { wordslist->Strings()->Add(WordFrom->Text() + "=" + WordTo->Text()); }

void TTarnSetup::Button2Click(TObject*) { wordslist->DeleteRow(wordslist->Row()); }

void TTarnSetup::Button4Click(TObject*) { ListBox1->Items()->Add(Edit1->Text()); }

void TTarnSetup::Button3Click(TObject*) { ListBox1->Items()->Delete(ListBox1->ItemIndex()); }

// ------------------------------------------------------------------------------ integration

void TTarnSetup::Button5Click(TObject*) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  reg.OpenKey("\\SOFTWARE\\MICROSOFT\\Internet Explorer\\View Source Editor\\Editor Name", true);
  reg.WriteString(AnsiString(), ProgramExe());
  reg.CloseKey();
  ShowMessage(U("Tarn сделан редактором по умолчанию\rв браузере Internet Explorer"));
}

void TTarnSetup::Button6Click(TObject*) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  reg.OpenKey("\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Opera.exe", true);
  AnsiString path = reg.ReadString("Path");
  TIniFile ini(path + PathDelim + "profile" + PathDelim + "opera6.ini");
  ini.WriteString("User Prefs", "Source Viewer", ProgramExe());
  reg.CloseKey();
  ShowMessage(U("Tarn сделан редактором по умолчанию\rв браузере Opera"));
}

void TTarnSetup::Button7Click(TObject*) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  AnsiString sendTo;
  if (reg.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", false))
    sendTo = reg.ReadString("SendTo");
  reg.CloseKey();
  CreateShortcut(ProgramExe(), sendTo + PathDelim + "Vantry Tarn.lnk", AnsiString(), AnsiString(), AnsiString());
  ShowMessage(U("Tarn добавлен\rв меню \"Отправить в...\""));
}

void TTarnSetup::CreateShortcut(const AnsiString& Target, const AnsiString& LinkFile, const AnsiString& Arguments,
                                const AnsiString& Description, const AnsiString& WorkingFolder) {
  CreateShellLink(Target, LinkFile, Arguments, Description, WorkingFolder);
}

void TTarnSetup::Button8Click(TObject*) {
  AnsiString folder = TarnPath->Text();
  if (BrowseForFolder(this, U("Выберите папку, где установлен Tarn"), folder)) TarnPath->SetText(folder);
}

// ------------------------------------------------------------------------------ backup

void TTarnSetup::ComboBox1Change(TObject*) {
  if (ComboBox1->ItemIndex() == 0) Setelements(true, true, true, true, true);
}

void TTarnSetup::Setelements(bool Settings, bool Replacements, bool Template, bool Notes, bool Insertion) {
  BUIniFile->SetChecked(Settings);
  BUAutoreplace->SetChecked(Replacements);
  BUTemplate->SetChecked(Template);
  BUNotes->SetChecked(Notes);
  BUInsert->SetChecked(Insertion);
}

namespace {

// Whether the last run's failure is one the library reported (the component shows no box for it),
// and its text: the string table's, then the library's own words.
bool LibraryError(TZipKeeper* Zip) { return Zip->ErrCode() > 0 && Zip->ErrCode() < 256; }
AnsiString LibraryReport(TZipKeeper* Zip) { return Zip->ZipLoadStr(Zip->ErrCode()) + " " + Zip->Message(); }

}  // namespace

void TTarnSetup::BackUpClick(TObject*) {
  AnsiString windows = WindowsFolder();
  if (!SaveDialog1->Execute()) return;
  ZipKeeper1->SetZipFileName(SaveDialog1->FileName);
  ZipKeeper1->SetDLLDirectory(Folder());
  // Every failure is reported once: the component shows its own; the library's are shown here.
  if (ZipKeeper1->LoadZipLibrary() == 0) return;
  ZipKeeper1->FSpecArgs()->Clear();
  if (BUIniFile->Checked()) ZipKeeper1->FSpecArgs()->Add(windows + PathDelim + kSettingsFileName);
  if (BUAutoreplace->Checked()) ZipKeeper1->FSpecArgs()->Add(FolderFile("autoreplace.lst"));
  if (BUInsert->Checked()) ZipKeeper1->FSpecArgs()->Add(FolderFile("insert.lst"));
  if (BUNotes->Checked()) ZipKeeper1->FSpecArgs()->Add(FolderFile("notes.not"));
  if (BUTemplate->Checked()) ZipKeeper1->FSpecArgs()->Add(FolderFile("template.html"));
  ZipKeeper1->Add();
  ZipKeeper1->UnloadZipLibrary();
  // The component has reported a failure itself, a file left out too; success is announced only
  // when it was one.
  if (ZipKeeper1->SuccessCnt() > 0 && ZipKeeper1->ErrCode() == 0) ShowMessage(U("Настройки сохранены"));
  else if (LibraryError(ZipKeeper1)) ShowMessage(U("Настройки не сохранены полностью.\n") + LibraryReport(ZipKeeper1));
}

void TTarnSetup::RestoreClick(TObject*) {
  AnsiString windows = WindowsFolder();
  if (!OpenDialog1->Execute()) return;
  AnsiString folder = ExcludeTrailingPathDelimiter(TarnPath->Text());
  Main->SetProgramFolder(folder);
  // Every failure is reported once: the component shows its own (and nothing more is tried after
  // one); what the library reports for single files is shown together at the end.
  bool failed = false, stopped = false;
  AnsiString report;
  auto extract = [&] {
    if (stopped) return;
    ZipKeeper1->Extract();
    if (ZipKeeper1->ErrCode() != 0 || ZipKeeper1->SuccessCnt() == 0) failed = true;
    if (LibraryError(ZipKeeper1)) report += LibraryReport(ZipKeeper1) + "\n";
    else if (ZipKeeper1->ErrCode() != 0) stopped = true;
  };
  ZipKeeper1->ExtrOptions.Include(ExtrOverWrite);
  ZipKeeper1->SetDLLDirectory(folder);
  if (ZipKeeper1->LoadUnzipLibrary() == 0) return;
  ZipKeeper1->SetZipFileName(OpenDialog1->FileName);
  if (ZipKeeper1->Count() == 0) {
    if (ZipKeeper1->ErrCode() == 0) ZipKeeper1->ShowZipMessage(11002, AnsiString());
    ZipKeeper1->UnloadUnzipLibrary();
    return;
  }
  ZipKeeper1->ExtrBaseDir = windows;
  ZipKeeper1->FSpecArgs()->Clear();
  ZipKeeper1->FSpecArgs()->Add(kSettingsFileName);
  if (BUIniFile->Checked()) {
    extract();
    Main->Settings()->WriteString("General", "MyPath", folder);
  }
  ZipKeeper1->ExtrBaseDir = folder;
  const std::pair<const char*, TCheckBox*> files[] = {
      {"autoreplace.lst", BUAutoreplace}, {"insert.lst", BUInsert}, {"template.html", BUTemplate}, {"notes.not", BUNotes}};
  for (auto& [name, box] : files) {
    ZipKeeper1->FSpecArgs()->Clear();
    ZipKeeper1->FSpecArgs()->Add(name);
    if (box->Checked()) extract();
  }
  FormShow(this);
  Main->ReStyle();
  Main->LoadNotes();
  ZipKeeper1->UnloadUnzipLibrary();
  if (!failed) ShowMessage(U("Настройки восстановлены"));
  else if (!report.empty()) ShowMessage(U("Настройки восстановлены не полностью.\n") + report);
}
