#include "app/main_window.h"
#include "app/data_folder.h"
#include "app/settings/settings_window.h"

#include "app/dialogs/tag_dialog.h"
#include "app/main_icons.h"
#include "app/program_args.h"
#include "platform/application.h"
#include "platform/form_storage.h"
#include "platform/graphics.h"
#include "platform/safe_file.h"
#include "platform/shell.h"
#include "platform/streams.h"
#include "platform/system_metrics.h"

#include <algorithm>
#include <set>

TMain* Main = nullptr;

AnsiString UntitledName() { return W1251("Новый"); }
AnsiString ProgramTitle() { return "Vantry Tarn 1.2"; }

namespace {

constexpr const char* kSupportMail = "mailto:support@vantry-tarn.example?Subject=Vantry%20Tarn";
constexpr const char* kProductSite = "https://vantry-tarn.example/";
constexpr const char* kNotesRecipient = "notes@example.com";

// The editor as the form description stores it: the default key bindings without the three
// selection-mode keys, which the window's own actions take.
constexpr const char* kEditorDescription =
    "object SrcEdit1: TSrcEdit\n"
    "  RemovedKeystrokes = <\n"
    "    item\n"
    "      Command = ecNormalSelect\n"
    "      ShortCut = 24654\n"
    "    end\n"
    "    item\n"
    "      Command = ecColumnSelect\n"
    "      ShortCut = 24643\n"
    "    end\n"
    "    item\n"
    "      Command = ecLineSelect\n"
    "      ShortCut = 24652\n"
    "    end>\n"
    "  AddedKeystrokes = <>\n"
    "end\n";

// The whole of a file as it lies on disk; the file stream's error when it cannot be read.
AnsiString ReadWholeFile(const AnsiString& Name) {
  TFileStream f(Name, fmOpenRead | fmShareDenyWrite);
  AnsiString text(static_cast<size_t>(std::max<int64_t>(f.Size(), 0)), '\0');
  if (!text.empty()) f.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
  return text;
}

// The heading under which the notes of another window join the panel's.
AnsiString OtherWindowNotesHeading() { return W1251("----- Заметки, сохранённые в другом окне программы -----"); }

// The panel's notes with the lines of the file's notes that they lack (each line as often as
// the file holds it more often than the panel), in the file's order, under a heading; blank
// lines and earlier headings are not taken again.
AnsiString MergedNotes(const AnsiString& Own, const AnsiString& Theirs) {
  TStringList own, theirs;
  own.SetText(Own);
  theirs.SetText(Theirs);
  std::multiset<AnsiString> have;
  for (int i = 0; i < own.Count(); ++i) have.insert(own.Get(i));
  const AnsiString heading = OtherWindowNotesHeading();
  std::vector<AnsiString> added;
  for (int i = 0; i < theirs.Count(); ++i) {
    const AnsiString line = theirs.Get(i);
    if (auto it = have.find(line); it != have.end()) {
      have.erase(it);
      continue;
    }
    if (Trim(line).empty() || line == heading) continue;
    added.push_back(line);
  }
  if (added.empty()) return Own;
  own.Add(heading);
  for (const AnsiString& line : added) own.Add(line);
  return own.Text();
}

// A field value of a mailto link: every delimiter a link reserves, and '%', percent-encoded, so
// that a mail program takes the text whole ("&" would end the field, "#" the link, "+" would be
// read as a blank). Blanks, quotes, line breaks and letters beyond ASCII are left to the shell,
// which encodes them (the letters in UTF-8).
AnsiString MailtoFieldValue(const AnsiString& Text) {
  static const char* hex = "0123456789ABCDEF";
  static const AnsiString reserved = ":/?#[]@!$&'()*+,;=%";
  AnsiString out;
  for (char c : Text) {
    if (reserved.find(c) == AnsiString::npos) {
      out += c;
      continue;
    }
    const auto b = static_cast<unsigned char>(c);
    out += '%';
    out += hex[b >> 4];
    out += hex[b & 15];
  }
  return out;
}

// Nothing bears the name yet, but its folder exists: a file that saving will make.
bool IsNewFileName(const AnsiString& Name) {
  if (Name.empty() || FileExists(Name) || DirectoryExists(Name)) return false;
  AnsiString folder = ExtractFileDir(Name);
  return DirectoryExists(folder.empty() ? AnsiString(".") : folder);
}

}  // namespace

// ------------------------------------------------------------------------------ helpers

AnsiString ExtractFileNameEx(const AnsiString& Path, int Mode) {
  if (Path.empty()) return AnsiString();
  size_t slash = Path.rfind(PathDelim);
  AnsiString tail = slash == AnsiString::npos ? Path : Path.substr(slash + 1);
  if (tail.empty()) return AnsiString();
  if (Mode == 1) return tail;
  size_t dot = tail.rfind('.');
  if (dot == AnsiString::npos || dot == 0) return tail;
  return tail.substr(0, dot);
}

void SaveFormPosition(TCustomForm* Form, const AnsiString& IniName) {
  TIniFile ini(IniName);
  AnsiString section = Form->ClassName() + "Window";
  TWindowState state = Form->WindowState();
  if (state == wsMinimized) return;
  if (state == wsNormal) {
    ini.WriteInteger(section, "Left", Form->Left());
    ini.WriteInteger(section, "Top", Form->Top());
    ini.WriteInteger(section, "Width", Form->Width());
    ini.WriteInteger(section, "Height", Form->Height());
  }
  ini.WriteInteger(section, "State", state == wsMaximized ? 2 : 1);
}

void RestoreFormPosition(TCustomForm* Form, const AnsiString& IniName) {
  TIniFile ini(IniName);
  AnsiString section = Form->ClassName() + "Window";
  Form->SetPosition(poDesigned);
  int state = ini.ReadInteger(section, "State", 1);
  if (state == 1) Form->SetWindowState(wsNormal);
  else if (state == 2) Form->SetWindowState(wsMaximized);
  int left = ini.ReadInteger(section, "Left", Screen->Width() / 2 - Form->Width() / 2);
  int top = ini.ReadInteger(section, "Top", Screen->Height() / 2 - Form->Height() / 2);
  int width = ini.ReadInteger(section, "Width", Form->Width());
  int height = ini.ReadInteger(section, "Height", Form->Height());
  Form->SetBounds(left, top, width, height);
}

void ShellOpenFile(const AnsiString& Verb, const AnsiString& Target) {
  TWinControl* owner = Application->MainForm();
  intptr_t r = ShellExecute(owner, Verb.empty() ? AnsiString("open") : Verb, Target, AnsiString(), AnsiString(),
                            SW_SHOWNORMAL);
  // The shell answers 32 or less when it could not: the user hears why.
  if (r == 2) throw Exception(Format(W1251("Файл \"%s\" не найден."), {Target}));
  if (r <= 32)
    throw Exception(Format(W1251("Не удалось открыть \"%s\": нет программы, которая его открывает "
                                 "(файлы и ссылки открывает xdg-open из пакета xdg-utils)."),
                           {Target}));
}

void ShellOpen(const AnsiString& Target) { ShellOpenFile("open", Target); }

// ------------------------------------------------------------------------------ TMain

TMain::TMain(TComponent* AOwner) : TForm(AOwner) {
  Main = this;
  SetName("Main");
  CreateComponents();
  CreateActions();
  CreateMenus();
  CreateActionBars();
  OnCreate = TNotifyEvent(this, &TMain::FormCreate);
  OnClose = TCloseEvent(this, &TMain::FormClose);
}

TMain::~TMain() {
  // The form's destructor runs OnDestroy and frees the components; no handler of ours may run
  // on a half-destroyed window.
  OnClose = nullptr;
  OnCreate = nullptr;
  if (Timer1) Timer1->SetEnabled(false);
  StopWatchingLockKeys(lockKeysWatch_);
  if (Main == this) Main = nullptr;
}

AnsiString TMain::ProgramFile(const AnsiString& Name) const {
  return myPath_ + PathDelim + Name;
}

AnsiString TMain::EditorKeystrokesDescription() { return kEditorDescription; }

void TMain::CreateComponents() {
  SetCaption("Vantry Tarn");
  SetBounds(0, 0, 800, 600);
  SetKeyPreview(false);

  MainIconz = new TImageList(this);
  MainIconz->SetName("MainIconz");
  DeferActionImages(MainIconz);
  ActionManager1 = new TActionManager(this);
  ActionManager1->SetName("ActionManager1");
  ActionManager1->SetImages(MainIconz);
  ActionManager1->SetStyle(XPStyle());

  MainWNDMenu = new TActionMainMenuBar(this);
  MainWNDMenu->SetName("MainWNDMenu");
  MainWNDMenu->SetCaption(W1251("Меню"));
  MainWNDMenu->SetShadows(false);
  MainWNDMenu->SetAlign(alTop);
  MainWNDMenu->SetParent(this);

  ActionToolBar1 = new TActionToolBar(this);
  ActionToolBar1->SetName("ActionToolBar1");
  ActionToolBar1->SetCaption(W1251("Главная"));
  ActionToolBar1->SetAlign(alTop);
  ActionToolBar1->SetParent(this);

  ActionMainMenuBar1 = new TActionMainMenuBar(this);
  ActionMainMenuBar1->SetName("ActionMainMenuBar1");
  ActionMainMenuBar1->SetCaption(W1251("Меню тегов"));
  ActionMainMenuBar1->SetAlign(alTop);
  ActionMainMenuBar1->SetParent(this);

  StatusBar1 = new TStatusBar(this);
  StatusBar1->SetName("StatusBar1");
  StatusBar1->SetAlign(alBottom);
  StatusBar1->SetHeight(19);
  StatusBar1->SetParent(this);
  struct PanelDef {
    const char* text;
    int width;
  };
  const PanelDef panels[] = {{"Поток", 42}, {"ВСТ", 30}, {"", 40}, {"", 40}, {"", 40}, {"Имя файла", 600}};
  for (const PanelDef& p : panels) {
    TStatusPanel* sp = StatusBar1->Panels()->Add();
    sp->SetText(W1251(p.text));
    sp->SetWidth(p.width);
  }

  Panel1 = new TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetAlign(alRight);
  Panel1->SetWidth(195);
  Panel1->SetBevelOuter(bvNone);
  Panel1->SetCaption(AnsiString());
  Panel1->SetParent(this);
  Label1 = new TLabel(this);
  Label1->SetName("Label1");
  Label1->SetCaption(W1251("Заметки"));
  Label1->SetAlign(alTop);
  Label1->SetHeight(16);
  Label1->SetParent(Panel1);
  ActionToolBar2 = new TActionToolBar(this);
  ActionToolBar2->SetName("ActionToolBar2");
  ActionToolBar2->SetOrientation(boTopToBottom);
  ActionToolBar2->SetAlign(alLeft);
  ActionToolBar2->SetWidth(28);
  ActionToolBar2->SetParent(Panel1);
  Memo1 = new TMemo(this);
  Memo1->SetName("Memo1");
  Memo1->Font()->SetName("Courier New");
  Memo1->Font()->SetHeight(-11);
  Memo1->SetScrollBars(ssVertical);
  Memo1->SetAlign(alClient);
  Memo1->SetParent(Panel1);
  Panel1->SetVisible(false);

  Panel2 = new TPanel(this);
  Panel2->SetName("Panel2");
  Panel2->SetAlign(alRight);
  Panel2->SetWidth(7);
  Panel2->SetCaption("<");
  Panel2->Font()->SetStyle({fsBold});
  Panel2->OnClick = TNotifyEvent(this, &TMain::Panel2Click);
  Panel2->SetParent(this);

  SrcHTML = new TSrcHTMLSrc(this);
  SrcHTML->SetName("SrcHTML");
  SrcHTML->CommentAttri()->SetForeground(clGray);
  SrcHTML->CommentAttri()->SetStyle({fsItalic});

  SrcEdit1 = new TSrcEdit(this);
  SrcEdit1->SetName("SrcEdit1");
  SrcEdit1->SetAlign(alClient);
  {
    TFont f;
    f.SetName("Courier New");
    f.SetHeight(-13);
    SrcEdit1->SetFont(&f);
    TFont g;
    g.SetName("Courier New");
    g.SetHeight(-11);
    SrcEdit1->Gutter()->SetFont(&g);
  }
  SrcEdit1->Gutter()->SetShowLineNumbers(true);
  // The gutter widens with the line count: a fixed four digits would cut the leading digits
  // of line numbers from 10,000 on.
  SrcEdit1->Gutter()->SetAutoSize(true);
  SrcEdit1->Gutter()->SetLeftOffset(0);
  SrcEdit1->SetHighlighter(SrcHTML);
  SrcEdit1->SetScrollHintFormat(shfTopToBottom);
  {
    TFormComponent stored = ReadFormText(kEditorDescription);
    for (const TFormProperty& p : stored.Properties) ReadKeystrokeProperty(p, *SrcEdit1->Keystrokes());
  }
  SrcEdit1->SetParent(this);
  CreateSearchComponents();
  SetActiveControl(SrcEdit1);

  OpenDialog1 = new TOpenDialog(this);
  OpenDialog1->SetName("OpenDialog1");
  OpenDialog1->Filter = W1251("Веб-страницы|*.htm; *.html|Все файлы|*.*");
  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->SetName("SaveDialog1");
  SaveDialog1->Filter = OpenDialog1->Filter;
  SaveDialog1->DefaultExt = "html";
  SaveDialog1->Options |= ofOverwritePrompt;
  SaveDialog2 = new TSaveDialog(this);
  SaveDialog2->SetName("SaveDialog2");
  SaveDialog2->Title = W1251("Экспорт заметок");
  SaveDialog2->FileName = "Notes";
  SaveDialog2->DefaultExt = "txt";
  SaveDialog2->Filter = W1251("Текстовые файлы|*.txt|Все файлы|*.*");
  ColorDialog1 = new TColorDialog(this);
  ColorDialog1->SetName("ColorDialog1");
  cpcon = new TCodePageConvertor(this);
  cpcon->SetName("cpcon");
  cpcon->SetOutputCodePage(cpALT);

  Timer1 = new TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetInterval(100);
  Timer1->OnTimer = TNotifyEvent(this, &TMain::Timer1Timer);
  // The lock keys are not read every tick: the window system tells of each change (made in any
  // window), and the indicators follow then, so that an idle window asks nothing of it.
  Timer1->SetEnabled(false);
  lockKeysWatch_ = WatchLockKeys([this] { Timer1Timer(nullptr); });

  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->SetName("PopupMenu1");
  PopupMenu2 = new TPopupMenu(this);
  PopupMenu2->SetName("PopupMenu2");
  SrcEdit1->SetPopupMenu(PopupMenu1);
  StatusBar1->SetPopupMenu(PopupMenu2);

  SrcAutoCorrect1 = new TSrcAutoCorrect(this);
  SrcAutoCorrect1->SetName("SrcAutoCorrect1");
  SrcAutoCorrect1->SetEditor(SrcEdit1);
  SrcAutoCorrect1->SetItemSepChar('=');
  SrcAutoCorrect1->SetEnabled(false);

  Inns = new TSrcCompletionProposal(this);
  Inns->SetName("Inns");
  Inns->SetEditor(SrcEdit1);
  Inns->SetShortCut(::ShortCut('J', {ssCtrl}));
  Inns->SetTitle(W1251("Список вставки"));
  Inns->SetTriggerChars(".");
  Inns->SetEndOfTokenChr("()[]. ,<>");
  {
    TFont f;
    f.SetName("MS Sans Serif");
    f.SetHeight(-11);
    Inns->SetFont(&f);
    f.SetStyle({fsBold});
    f.SetColor(clBtnText);
    Inns->SetTitleFont(&f);
  }

  // The URI highlighter and its opener serve no editor here.
  SrcURISrc1 = new TSrcURISrc(this);
  SrcURISrc1->SetName("SrcURISrc1");
  SrcURIOpener1 = new TSrcURIOpener(this);
  SrcURIOpener1->SetName("SrcURIOpener1");
  SrcURIOpener1->SetURIHighlighter(SrcURISrc1);
}

TAction* TMain::FindAction(const AnsiString& Name) const {
  for (int i = 0; i < ActionManager1->ActionCount(); ++i)
    if (ActionManager1->Actions(i)->Name() == Name) return ActionManager1->Actions(i);
  return nullptr;
}

void TMain::CreateParams(TCreateParams& Params) {
  TForm::CreateParams(Params);
  Params.ExStyle |= WS_EX_ACCEPTFILES;
}

void TMain::WndProc(TMessage& Message) {
  TForm::WndProc(Message);
  if (Message.Msg == WM_DROPFILES) DropFiles(DragQueryFiles(Message.WParam));
}

void TMain::DropFiles(const std::vector<AnsiString>& Files) {
  if (Files.empty()) return;
  CheckFileSave();
  opennn(Files.front());
}

// ------------------------------------------------------------------------------ start and close

void TMain::FormCreate(TObject*) {
  // Until a document is loaded the window holds an untitled one: a start-up that stops at an
  // error leaves it, so that a save asks for a name.
  docName_ = UntitledName();
  ReloadTitle();
  Timer1Timer(nullptr);  // the lock keys as they are at start
  ReportInterruptedSaves();
  DragAcceptFiles(true);
  ini_ = std::make_unique<TIniFile>(kSettingsFileName);
  myPath_ = ExcludeTrailingPathDelimiter(ini_->ReadString("General", "MyPath", AnsiString()));
  // Without a remembered program folder the data files lie in the user's data folder, which
  // takes the shipped ones it lacks; the folder of the executable is only read.
  if (myPath_.empty()) {
    myPath_ = UserDataFolder();
    CopyMissingDataFiles(myPath_);
  }
  ReStyle();
  RestoreFormPosition(this, kSettingsFileName);
  placementRestored_ = true;
  LoadNotes();
  Panel1->SetVisible(false);
  ActionMainMenuBar1->SetMenuEvents(false);
  OpenStartupDocument();
}

void TMain::ReportInterruptedSaves() {
  std::vector<TInterruptedSave> saves = InterruptedSaves();
  if (saves.empty()) return;
  AnsiString copies, newTexts;
  for (const TInterruptedSave& s : saves) {
    if (s.NewText) newTexts += "\r\n" + s.Document + W1251(" — ") + s.Copy;
    else copies += "\r\n" + s.Document + W1251(" — копия ") + ExtractFileName(s.Copy);
  }
  AnsiString text;
  if (!copies.empty())
    text = W1251("Сохранение этих документов было прервано, и они могут быть испорчены. Их прежнее "
                 "содержимое сохранено в копиях в папке \"") +
           RecoveryFolder() + "\":" + copies;
  if (!newTexts.empty())
    text += (text.empty() ? AnsiString() : AnsiString("\r\n\r\n")) +
            W1251("Сохранение этих документов было прервано; сами документы не изменились, а их новый текст, "
                  "возможно неполный, остался в файлах рядом с ними:") +
            newTexts;
  text += "\r\n\r\n" + W1251("Эти файлы не удаляются сами: удалите их, когда они станут не нужны.");
  MessageBox(this, text, W1251("Внимание!"), MB_OK | MB_ICONWARNING);
}

void TMain::OpenStartupDocument() {
  if (ParamCount() == 0) {
    FindAction("FileNewActin")->Execute();
    // A name the code page cannot hold leaves the new document, and says why.
    if (!ProgramArgumentsError().empty()) throw EConvertError(ProgramArgumentsError());
    return;
  }
  CheckFileSave();
  AnsiString name = ParamStr(1);
  for (int i = 2; i <= ParamCount(); ++i) name += " " + ParamStr(i);
  if (IsNewFileName(name)) StartNewFile(name);
  else opennn(name);
}

void TMain::StartNewFile(const AnsiString& Name) {
  docName_ = Name;
  newFile_ = true;
  ReloadTitle();
  SrcEdit1->Lines()->Clear();
  SrcEdit1->SetCaretXY(BufferCoord(1, 1));
  SrcEdit1->ClearUndo();
  SrcEdit1->SetModified(false);
}

TWindowSettings ReadWindowSettings(TIniFile* Ini) {
  TWindowSettings s;
  s.StandardStyle = Ini->ReadString("General", "Style", "XP") == "Standard";
  s.Shadows = Ini->ReadInteger("General", "Shadows", 0) != 0;
  s.AutoReplace = Ini->ReadInteger("Orfo", "AutoReplace", 1) == 1;
  s.WordWrap = Ini->ReadInteger("Editor", "WordWrap", 0) == 1;
  return s;
}

void TMain::ReStyle() {
  if (!ini_) ini_ = std::make_unique<TIniFile>(kSettingsFileName);
  TWindowSettings set = ReadWindowSettings(ini_.get());
  ActionManager1->SetStyle(set.StandardStyle ? StandardStyle() : XPStyle());
  ActionMainMenuBar1->SetShadows(set.Shadows);
  MainWNDMenu->SetShadows(set.Shadows);
  SrcAutoCorrect1->Items()->LoadFromFile(ProgramFile("autoreplace.lst"));
  SrcAutoCorrect1->SetEnabled(set.AutoReplace);
  {
    TStringList items;
    items.LoadFromFile(ProgramFile("insert.lst"));
    Inns->SetItemList(&items);
  }
  SrcEdit1->SetWordWrap(set.WordWrap);
}

void TMain::FormClose(TObject*, TCloseAction& Action) {
  try {
    // A placement that start-up never restored stays as the user left it last time.
    if (placementRestored_) SaveFormPosition(this, kSettingsFileName);
  } catch (const Exception& e) {
    // A settings file that cannot be written must not keep the window from closing.
    Application->HandleException(this, &e);
  }
  try {
    CheckFileSave();
  } catch (const EAbort&) {
    Action = caNone;
  }
}

void TMain::SetuuupExecute(TObject*) {
  // Created anew each time; an earlier window stays, hidden, with the application.
  auto* setup = new TTarnSetup(Application);
  setup->Show();
}

// ------------------------------------------------------------------------------ documents

void TMain::ReloadTitle() {
  AnsiString n = ExtractFileNameEx(docName_, 1);
  SetCaption("Vantry Tarn - [" + n + "]");
  Application->SetTitle(n + " - Tarn");
  StatusBar1->Panels()->Items(5)->SetText(newFile_ ? docName_ + W1251(" — новый файл, он будет создан при сохранении")
                                                   : docName_);
}

void TMain::opennn(const AnsiString& Name) {
  // The file is read whole before the editor's lines change; when it cannot be read the
  // editor keeps its text and the document its old name, so that a save can never write the
  // old text (or an empty one) over the file that failed to open.
  AnsiString previous = docName_;
  bool previousNew = newFile_;
  docName_ = Name;
  try {
    newFile_ = false;
    ReloadTitle();
    SrcEdit1->Lines()->LoadFromFile(Name);
    SrcEdit1->SetCaretXY(BufferCoord(1, 1));
    SrcEdit1->ClearUndo();
    SrcEdit1->SetModified(false);
  } catch (...) {
    docName_ = previous.empty() ? UntitledName() : previous;
    newFile_ = previous.empty() ? false : previousNew;
    ReloadTitle();
    throw;
  }
}

void TMain::CheckFileSave() {
  SaveNotes();
  if (!SrcEdit1->Modified()) return;
  AnsiString text = W1251("Сохранить изменения в файле ") + "\"" + ExtractFileNameEx(docName_, 1) + "\"" +
                    "?" + "\n\r" + "(" + docName_ + ")";
  int answer = MessageBox(this, text, W1251("Вопрос"), MB_YESNOCANCEL | MB_ICONQUESTION);
  if (answer == IDYES) {
    FindAction("FileSave")->Execute();
    // A save that did not happen (the file dialog cancelled) must not let the caller throw the
    // document away.
    if (SrcEdit1->Modified()) {
      SetEnabled(true);
      Abort();
    }
    return;
  }
  if (answer == IDNO) return;
  SetEnabled(true);
  Abort();
}

void TMain::SaveNotes() {
  // Only notes changed in the panel are written: unchanged ones are already on disk, and notes
  // that start-up never loaded must not be replaced by the empty panel. Unchanged ones follow
  // what another window saved meanwhile.
  if (!Memo1->Modified()) {
    TakeInNotes();
    return;
  }
  try {
    WriteNotes();
    notesFailureShown_ = false;
  } catch (const EAbort&) {
    throw;
  } catch (const Exception& e) {
    if (notesFailureShown_) return;
    notesFailureShown_ = true;
    Application->HandleException(this, &e);
  }
}

void TMain::FileNewActinExecute(TObject*) {
  CheckFileSave();
  docName_ = UntitledName();
  newFile_ = false;
  SrcEdit1->Lines()->Clear();
  SrcEdit1->SetModified(false);
  try {
    SrcEdit1->Lines()->LoadFromFile(ProgramFile("Template.html"));
    SrcEdit1->ClearUndo();
    SrcEdit1->SetModified(false);
    SrcEdit1->SetCaretY(ini_->ReadInteger("Editor", "BodyNmb", 6));
  } catch (...) {
    ReloadTitle();
    throw;
  }
  ReloadTitle();
}

void TMain::FileOpenActionExecute(TObject*) {
  if (!OpenDialog1->Execute()) return;
  CheckFileSave();
  opennn(OpenDialog1->FileName);
}

void TMain::FileSaveExecute(TObject*) {
  SaveNotes();
  if (docName_ != UntitledName()) {
    SrcEdit1->Lines()->SaveToFile(docName_);
    SrcEdit1->SetModified(false);
    if (newFile_) {
      newFile_ = false;
      StatusBar1->Panels()->Items(5)->SetText(docName_);
    }
  } else {
    SaveFileAsExecute(nullptr);
  }
}

void TMain::SaveFileAsExecute(TObject*) {
  SaveDialog1->FileName = ExtractFileNameEx(docName_, 0);
  if (!SaveDialog1->Execute()) return;
  // The document takes the new name only once its text is on disk: a failed save leaves it
  // modified under the name it had.
  SrcEdit1->Lines()->SaveToFile(SaveDialog1->FileName);
  docName_ = SaveDialog1->FileName;
  newFile_ = false;
  SrcEdit1->SetModified(false);
  ReloadTitle();
}

void TMain::FileExitExecute(TObject*) { Close(); }

void TMain::NewWndExecute(TObject*) {
  SaveFormPosition(this, kSettingsFileName);
  // The new window opens a caption's height down and to the right of this one, as the desktop
  // cascades its windows, not exactly over it where it would look like this one.
  if (WindowState() == wsNormal) {
    TIniFile ini(kSettingsFileName);
    const AnsiString section = ClassName() + "Window";
    const int step = GetSystemMetrics(SM_CYCAPTION) + 4;
    ini.WriteInteger(section, "Left", Left() + step);
    ini.WriteInteger(section, "Top", Top() + step);
  }
  ShellOpen(ProgramExecutable());
}

void TMain::HelpMeExecute(TObject*) { ShellOpen(InstalledFile("help/index.htm")); }
void TMain::HelpLetterExecute(TObject*) { ShellOpen(kSupportMail); }
void TMain::GoToSiteExecute(TObject*) { ShellOpen(kProductSite); }

// ------------------------------------------------------------------------------ editing

void TMain::EditUndoExecute(TObject*) { SrcEdit1->Undo(); }
void TMain::EditRedoExecute(TObject*) { SrcEdit1->Redo(); }
// The buttons and items follow the editor's lists, also after something clears them.
void TMain::EditUndoUpdate(TObject*) { FindAction("EditUndo")->SetEnabled(SrcEdit1->CanUndo()); }
void TMain::EditRedoUpdate(TObject*) { FindAction("EditRedo")->SetEnabled(SrcEdit1->CanRedo()); }
void TMain::EditCutExecute(TObject*) { SrcEdit1->CutToClipboard(); }
void TMain::EditCopyExecute(TObject*) { SrcEdit1->CopyToClipboard(); }
void TMain::EditPasteExecute(TObject*) { SrcEdit1->PasteFromClipboard(); }
void TMain::EditClearExecute(TObject*) { SrcEdit1->ClearSelection(); }
void TMain::EditSelectAllExecute(TObject*) { SrcEdit1->SelectAll(); }

void TMain::InsModeExecute(TObject*) {
  bool on = FindAction("InsMode")->Checked();
  SrcEdit1->SetInsertMode(on);
  StatusBar1->Panels()->Items(1)->SetText(W1251(on ? "ВСТ" : "ПРЗ"));
}

void TMain::Action4Execute(TObject*) {
  SrcEdit1->SetSelectionMode(smNormal);
  StatusBar1->Panels()->Items(0)->SetText(W1251("Поток"));
}

void TMain::Action9Execute(TObject*) {
  SrcEdit1->SetSelectionMode(smColumn);
  StatusBar1->Panels()->Items(0)->SetText(W1251("Блок"));
}

void TMain::Action10Execute(TObject*) {
  SrcEdit1->SetSelectionMode(smLine);
  StatusBar1->Panels()->Items(0)->SetText(W1251("Строки"));
}

void TMain::Action11Execute(TObject*) {
  if (ActionMainMenuBar1->ItemCount() > 0) ActionMainMenuBar1->EnterMenuLoop();
}

void TMain::Timer1Timer(TObject*) {
  StatusBar1->Panels()->Items(3)->SetText(GetKeyState(VK_CAPITAL) != 0 ? "CAPS" : "");
  StatusBar1->Panels()->Items(2)->SetText(GetKeyState(VK_NUMLOCK) != 0 ? "NUM" : "");
  StatusBar1->Panels()->Items(4)->SetText(GetKeyState(VK_SCROLL) != 0 ? "SCRL" : "");
}

// ------------------------------------------------------------------------------ tags

void TMain::instag(const AnsiString& Open, const AnsiString& Close, int Back) {
  // The text and the caret placed inside the element are painted once.
  PaintLockScope lock(SrcEdit1);
  AnsiString sel = SrcEdit1->SelText();
  SrcEdit1->SetSelText(Open + sel + Close);
  SrcEdit1->SetCaretX(SrcEdit1->CaretX() - Back);
}

void TMain::TagActionExecute(TObject* Sender) {
  auto* a = dynamic_cast<TAction*>(Sender);
  if (!a) return;
  const TTagInsertion* t = TagInsertionOf(a->Name());
  if (t) instag(W1251(t->Open), W1251(t->Close), t->Back);
}

bool TMain::PickColorDigits(AnsiString& Digits) {
  if (!ColorDialog1->Execute()) return false;
  Digits = ColorDigits(ColorDialog1->Color);
  return true;
}

void TMain::FontColorExecute(TObject*) {
  AnsiString digits;
  if (!PickColorDigits(digits)) return;
  instag("<FONT color=\"#" + digits + "\">", "</FONT>", 7);
}

void TMain::Action14Execute(TObject*) {
  AnsiString digits;
  if (!PickColorDigits(digits)) return;
  SrcEdit1->SetSelText(digits);
}

void TMain::Action15Execute(TObject*) {
  PaintLockScope lock(SrcEdit1);
  instag("<SCRIPT language=\"JavaScript\">\r<!--\r",
         W1251("\r//-->\r</SCRIPT>\r<NOSCRIPT>На этой странице имеются Java-скрипты, но Ваш браузер не "
               "поддерживает их.</NOSCRIPT>"),
         0);
  SrcEdit1->SetCaretX(0);
  SrcEdit1->SetCaretY(SrcEdit1->CaretY() - 3);
}

// ------------------------------------------------------------------------------ notes

void TMain::Panel2Click(TObject*) {
  SaveNotes();
  if (Panel1->Visible()) {
    Panel1->SetVisible(false);
    Panel2->SetCaption("<");
  } else {
    Panel1->SetVisible(true);
    Panel2->SetCaption(">");
  }
  Panel2->SetBounds(Width() - Panel2->Width(), Panel2->Top(), Panel2->Width(), Panel2->Height());
  Realign();
  if (TAction* n = FindAction("Notez")) n->SetChecked(Panel1->Visible());
}

void TMain::noteSaveExecute(TObject*) {
  // Asked for by the user: every failure is shown. An empty panel whose notes were never
  // loaded is not written over them.
  if (!notesLoaded_ && !Memo1->Modified()) return;
  WriteNotes();
  notesFailureShown_ = false;
}

void TMain::LoadNotes() {
  const AnsiString file = ProgramFile("notes.not");
  const AnsiString text = ReadWholeFile(file);
  Memo1->Lines()->SetText(text);
  notesFile_ = file;
  notesOnDisk_ = text;
  notesLoaded_ = true;
}

bool TMain::TakeInNotes() {
  const AnsiString file = ProgramFile("notes.not");
  try {
    if (!FileExists(file)) return false;
    const AnsiString text = ReadWholeFile(file);
    if (file == notesFile_ && text == notesOnDisk_) return false;
    Memo1->Lines()->SetText(text);
    notesFile_ = file;
    notesOnDisk_ = text;
    notesLoaded_ = true;
    return true;
  } catch (const Exception&) {
    // The panel keeps what it shows; nothing of it was changed, so nothing is lost.
    return false;
  }
}

void TMain::WriteNotes() {
  const AnsiString file = ProgramFile("notes.not");
  // A file that cannot be read is not written over: the error says why.
  if (FileExists(file)) {
    const AnsiString text = ReadWholeFile(file);
    if (file != notesFile_ || text != notesOnDisk_) {
      if (!Memo1->Modified()) {
        TakeInNotes();
        return;
      }
      Memo1->Lines()->SetText(MergedNotes(Memo1->Lines()->Text(), text));
      // Until they are on disk, the merged notes are the user's unsaved ones.
      Memo1->SetModified(true);
    }
  }
  Memo1->Lines()->SaveToFile(file);
  notesFile_ = file;
  notesOnDisk_ = Memo1->Lines()->Text();
  Memo1->SetModified(false);
  notesLoaded_ = true;
}

void TMain::XportExecute(TObject*) {
  if (SaveDialog2->Execute()) Memo1->Lines()->SaveToFile(SaveDialog2->FileName);
}

void TMain::MailSendExecute(TObject*) {
  ShellOpen(AnsiString("mailto:") + kNotesRecipient + "?Subject=" +
            MailtoFieldValue("\"" + W1251("Заметки по поводу веб-страницы") + "\"") + "&Body=" +
            MailtoFieldValue("\"" + Memo1->Text() + "\""));
}

void TMain::NCutExecute(TObject*) { Memo1->CutToClipboard(); }
void TMain::NCopyExecute(TObject*) { Memo1->CopyToClipboard(); }
void TMain::NPasteExecute(TObject*) { Memo1->PasteFromClipboard(); }
