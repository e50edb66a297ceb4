#pragma once
// The main window: one HTML document in the source editor, the menu bar, the tag menu, the tool
// bar, the status bar and the notes panel; the document's lifecycle (new, open, dropped file,
// save, save as and the save prompt), window placement and the actions of the catalogue.
#include <memory>
#include <vector>

#include "app/conversions/code_page_convertor.h"
#include "editor-services/autocorrect/auto_correct.h"
#include "editor-services/completion/completion_proposal.h"
#include "editor-services/uri/uri_opener.h"
#include "editor/src_edit.h"
#include "highlighters/html.h"
#include "platform/actions.h"
#include "platform/dialogs.h"
#include "platform/extctrls.h"
#include "platform/forms.h"
#include "platform/inifiles.h"
#include "platform/menus.h"
#include "platform/stdctrls.h"

// The untitled document's name.
AnsiString UntitledName();  // "Новый"
// The settings file's bare name (it lies in the settings folder).
inline constexpr const char* kSettingsFileName = "quorbex.ini";
// The program's title as the application object shows it at start.
AnsiString ProgramTitle();  // "Vantry Tarn 1.2"

// The file-name part of a path: mode 1 the name with extension, any other mode the name
// without its last extension (a name that is only an extension, such as ".htaccess", is kept).
AnsiString ExtractFileNameEx(const AnsiString& Path, int Mode);
// Window placement of any form in the section "<class name>Window" of a settings file.
void SaveFormPosition(TCustomForm* Form, const AnsiString& IniName);
void RestoreFormPosition(TCustomForm* Form, const AnsiString& IniName);
// The settings of the window's look and editing as the settings file gives them, with the
// defaults in force when a key is missing or holds something else: the main window applies them
// and the settings window shows them, so that the two never disagree.
struct TWindowSettings {
  bool StandardStyle;  // "General"/"Style" is "Standard"; any other value is the XP style
  bool Shadows;        // "General"/"Shadows" non-zero
  bool AutoReplace;    // "Orfo"/"AutoReplace" 1 (the default)
  bool WordWrap;       // "Editor"/"WordWrap" 1
};
class TIniFile;
TWindowSettings ReadWindowSettings(TIniFile* Ini);
// Opens a file or link with its default handler; an empty verb means "open".
void ShellOpenFile(const AnsiString& Verb, const AnsiString& Target);
void ShellOpen(const AnsiString& Target);

class TSrcEditSearch;
class TSrcEditRegexSearch;

// What an action of the catalogue does when it only wraps the selection.
struct TTagInsertion {
  const char* Open;   // UTF-8
  const char* Close;  // UTF-8
  int Back;
};

class TMain : public TForm {
public:
  explicit TMain(TComponent* AOwner);
  ~TMain() override;
  AnsiString ClassName() const override { return "TMain"; }

  // ---- components of the form description
  TSrcEdit* SrcEdit1 = nullptr;
  TSrcHTMLSrc* SrcHTML = nullptr;
  TStatusBar* StatusBar1 = nullptr;
  TActionMainMenuBar* MainWNDMenu = nullptr;
  TActionToolBar* ActionToolBar1 = nullptr;
  TActionMainMenuBar* ActionMainMenuBar1 = nullptr;
  TActionToolBar* ActionToolBar2 = nullptr;
  TActionManager* ActionManager1 = nullptr;
  TImageList* MainIconz = nullptr;
  TPanel* Panel1 = nullptr;
  TPanel* Panel2 = nullptr;
  TLabel* Label1 = nullptr;
  TMemo* Memo1 = nullptr;
  TOpenDialog* OpenDialog1 = nullptr;
  TSaveDialog* SaveDialog1 = nullptr;
  TSaveDialog* SaveDialog2 = nullptr;
  TColorDialog* ColorDialog1 = nullptr;
  TTimer* Timer1 = nullptr;
  TPopupMenu* PopupMenu1 = nullptr;
  TPopupMenu* PopupMenu2 = nullptr;
  TCodePageConvertor* cpcon = nullptr;
  TSrcAutoCorrect* SrcAutoCorrect1 = nullptr;
  TSrcCompletionProposal* Inns = nullptr;
  TSrcURISrc* SrcURISrc1 = nullptr;
  TSrcURIOpener* SrcURIOpener1 = nullptr;
  TSrcEditSearch* SrcEditSearch = nullptr;
  TSrcEditRegexSearch* SrcEditRegexSearch = nullptr;

  // ---- document and settings
  const AnsiString& DocumentName() const { return docName_; }
  const AnsiString& ProgramFolder() const { return myPath_; }
  // The settings window's restore names the program folder for the rest of the run.
  void SetProgramFolder(const AnsiString& Folder) { myPath_ = Folder; }
  TIniFile* Settings() const { return ini_.get(); }
  // A data file of the program folder.
  AnsiString ProgramFile(const AnsiString& Name) const;

  // ---- operations
  void FormCreate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void opennn(const AnsiString& Name);
  void ReloadTitle();
  void CheckFileSave();
  // Saves the notes, when the user changed them, on the way to opening, saving or closing a
  // document: a failure is shown once (until a save succeeds again) and never stops the
  // document's own work. Notes another window saved meanwhile are taken in (below).
  void SaveNotes();
  // Loads the notes file of the program folder into the panel.
  void LoadNotes();
  void ReStyle();
  // Wraps the selection in Open and Close and moves the caret Back characters to the left.
  void instag(const AnsiString& Open, const AnsiString& Close, int Back);

  // The action of a name, nullptr when none.
  TAction* FindAction(const AnsiString& Name) const;
  // The insertion of an action that only wraps the selection, nullptr for other actions.
  static const TTagInsertion* TagInsertionOf(const AnsiString& ActionName);

  // ---- handlers
  void FileNewActinExecute(TObject* Sender);
  void FileOpenActionExecute(TObject* Sender);
  void FileSaveExecute(TObject* Sender);
  void SaveFileAsExecute(TObject* Sender);
  void FileExitExecute(TObject* Sender);
  void NewWndExecute(TObject* Sender);
  void HelpMeExecute(TObject* Sender);
  void HelpLetterExecute(TObject* Sender);
  void GoToSiteExecute(TObject* Sender);
  void EditUndoExecute(TObject* Sender);
  void EditRedoExecute(TObject* Sender);
  void EditUndoUpdate(TObject* Sender);
  void EditRedoUpdate(TObject* Sender);
  void EditCutExecute(TObject* Sender);
  void EditCopyExecute(TObject* Sender);
  void EditPasteExecute(TObject* Sender);
  void EditClearExecute(TObject* Sender);
  void EditSelectAllExecute(TObject* Sender);
  void InsModeExecute(TObject* Sender);
  void Action4Execute(TObject* Sender);
  void Action9Execute(TObject* Sender);
  void Action10Execute(TObject* Sender);
  void Action11Execute(TObject* Sender);
  void TagActionExecute(TObject* Sender);
  void FontColorExecute(TObject* Sender);
  void Action14Execute(TObject* Sender);
  void Action15Execute(TObject* Sender);
  void Panel2Click(TObject* Sender);
  void noteSaveExecute(TObject* Sender);
  void XportExecute(TObject* Sender);
  void MailSendExecute(TObject* Sender);
  void NCutExecute(TObject* Sender);
  void NCopyExecute(TObject* Sender);
  void NPasteExecute(TObject* Sender);
  void Timer1Timer(TObject* Sender);
  // Text conversions: the whole document between code pages, and the selection's case,
  // transliteration and numbers.
  void Koding(TCodePage Source, TCodePage Target);
  void CodingExecute(TObject* Sender);
  void Win2MacExecute(TObject* Sender);
  void Koi2MacExecute(TObject* Sender);
  void Dos2MacExecute(TObject* Sender);
  void Action6Execute(TObject* Sender);
  void Action7Execute(TObject* Sender);
  void Action8Execute(TObject* Sender);
  void Rus2TransExecute(TObject* Sender);
  void int2strExecute(TObject* Sender);
  void Ara2RimExecute(TObject* Sender);
  // The tag dialogs, the new-page wizard and the about box, each created anew.
  void TagH1Execute(TObject* Sender);
  void RazMerExecute(TObject* Sender);
  void FontNameExecute(TObject* Sender);
  void Action12Execute(TObject* Sender);
  void Action13Execute(TObject* Sender);
  void TableActionExecute(TObject* Sender);
  void addlistExecute(TObject* Sender);
  void FileNewFileWizardExecute(TObject* Sender);
  void HelpAboutProgramExecute(TObject* Sender);
  void SetuuupExecute(TObject* Sender);
  // Print options, preview and the view in the default browser (app/preview).
  void FilePrintExecute(TObject* Sender);
  void FilePreViewExecute(TObject* Sender);
  void Action1Execute(TObject* Sender);

  // ---- find and replace (app/find/find_replace.cpp)
  void ShowSearchDialog(bool AReplace);
  void DoSearchReplace(bool AReplace, bool ABackwards);
  void SrcEdit1ReplaceText(TObject* Sender, const AnsiString& ASearch, const AnsiString& AReplace, int Line,
                           int Column, TSrcReplaceAction& Action);
  void EditRplsExecute(TObject* Sender);
  void Action21Execute(TObject* Sender);
  void NaitiDaleeExecute(TObject* Sender);
  void Action16Execute(TObject* Sender);

  // The stored description of the editor's key bindings (differences from the default set).
  static AnsiString EditorKeystrokesDescription();

protected:
  void CreateParams(TCreateParams& Params) override;
  void WndProc(TMessage& Message) override;

private:
  void CreateComponents();
  void CreateActions();
  void CreateActionBars();
  void CreateMenus();
  void DropFiles(const std::vector<AnsiString>& Files);
  // Runs the colour dialog; true with the colour's digits "RRGGBB" on OK.
  bool PickColorDigits(AnsiString& Digits);
  void OpenStartupDocument();
  // A document named on the command line whose file does not exist yet: empty, under that
  // name, and its first save makes the file.
  void StartNewFile(const AnsiString& Name);
  // Tells, in one message, which documents have a copy left by a save that never finished.
  void ReportInterruptedSaves();
  void CreateSearchComponents();
  // Writes the panel's notes. The notes file is shared by every window of the program: when it
  // changed since this window last read or wrote it, the panel takes the file's notes in
  // instead if the user left the panel's alone, and otherwise keeps both, the lines of the file
  // that the panel lacks added under a heading, so that no window's notes are lost.
  void WriteNotes();
  // The file's notes taken into an unchanged panel when another window changed them; false
  // when the file is as this window left it (or cannot be read).
  bool TakeInNotes();

  AnsiString docName_;
  // The document's file does not exist yet: its first save makes it (the status bar says so).
  bool newFile_ = false;
  AnsiString myPath_;
  int lockKeysWatch_ = 0;  // the lock keys' watch (WatchLockKeys)
  std::unique_ptr<TIniFile> ini_;
  bool notesFailureShown_ = false;
  // The notes file as this window last read or wrote it, and its name (empty: not yet).
  AnsiString notesFile_, notesOnDisk_;
  // What start-up got to: a step it skipped is not written back at the end.
  bool placementRestored_ = false, notesLoaded_ = false;
  // Whether find next and find backwards search on from the caret rather than the whole text.
  bool continueFromCaret_ = false;
};

extern TMain* Main;
