#pragma once
// Common dialogs (open, save, colour), message boxes and ShowMessage on the desktop's dialogs.
// Every modal dialog first asks the dialog hook, so tests and scripted runs answer without a
// user; with no hook and no screen to show on (the offscreen platform) a dialog answers as if
// cancelled (a message box: Cancel, else No, else OK) and writes its text to standard error.
#include <functional>
#include <optional>

#include "platform/classes.h"
#include "platform/colors.h"

class TWinControl;
class TCustomForm;

// Message-box buttons and icons, and the answers.
enum : unsigned {
  MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4, MB_RETRYCANCEL = 0x5,
  MB_ICONHAND = 0x10, MB_ICONERROR = 0x10, MB_ICONSTOP = 0x10, MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30, MB_ICONASTERISK = 0x40,
  MB_ICONINFORMATION = 0x40, MB_DEFBUTTON2 = 0x100,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// A modal message box with the given caption; buttons "&Да", "&Нет", "Отмена", "Ok". Returns
// IDYES, IDNO, IDCANCEL or IDOK.
int MessageBox(TWinControl* Owner, const AnsiString& Text, const AnsiString& Caption, unsigned Flags);

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
// A message box captioned by its kind: "Внимание!", "Ошибка", "Информация", "Вопрос"; Buttons
// is a set of TMsgDlgBtn. Returns the IDxxx of the chosen button.
int MessageDlg(const AnsiString& Msg, TMsgDlgType DlgType, unsigned Buttons);
// The plain message box with the application's title as caption and an OK button.
void ShowMessage(const AnsiString& Msg);
// A system sound (MB_ICONASTERISK, MB_OK...); counted for tests.
void MessageBeep(unsigned Type);
int MessageBeepCount();

// ---- the test hook

enum TDialogKind { dkMessageBox, dkOpenFile, dkSaveFile, dkColor, dkModalForm, dkPrinterSetup,
                   dkBrowseFolder };
struct TDialogRequest {
  TDialogKind Kind = dkMessageBox;
  AnsiString Caption;  // message box caption or file-dialog title
  AnsiString Text;     // message text
  unsigned Flags = 0;  // message-box flags
  // File dialogs: filter in the class library's form, its 1-based index, default extension,
  // initial file name and folder, and whether an existing file is confirmed first.
  // The printer set-up dialog: FileName is the PDF file chosen (empty: the printer).
  AnsiString Filter, DefaultExt, FileName, InitialDir;
  int FilterIndex = 1;
  bool OverwritePrompt = false;
  TColor Color = clBlack;          // colour dialog: the current colour
  TCustomForm* Form = nullptr;     // modal form being shown
};
struct TDialogAnswer {
  int Result = 0;         // message box: IDxxx; modal form: its modal result; file/colour/folder: IDOK or IDCANCEL
  AnsiString FileName;    // file dialogs: the chosen file; folder browser: the folder (program text)
  TColor Color = clBlack; // colour dialog: the chosen colour
  int Copies = 0;         // printer set-up dialog: the copies chosen (0: as they were)
};
// Asked before any dialog shows; an answer replaces the dialog, no answer shows it.
using TDialogHook = std::function<std::optional<TDialogAnswer>(const TDialogRequest&)>;
void SetDialogHook(TDialogHook hook);
const TDialogHook& DialogHook();
// Whether dialogs can be shown to a user (false on the offscreen platform).
bool DialogsCanShow();

// ---- common dialogs

enum TOpenOption : unsigned {
  ofOverwritePrompt = 1, ofHideReadOnly = 2, ofFileMustExist = 4, ofPathMustExist = 8,
  ofEnableSizing = 16, ofAllowMultiSelect = 32,
};

class TOpenDialog : public TComponent {
public:
  explicit TOpenDialog(TComponent* AOwner);
  // "Веб-страницы|*.htm; *.html|Все файлы|*.*": pairs of text and patterns separated by ';'.
  AnsiString Filter;
  int FilterIndex = 1;
  AnsiString DefaultExt;  // added, with a dot, to a chosen name without extension
  AnsiString FileName;
  AnsiString InitialDir;
  AnsiString Title;
  unsigned Options = ofHideReadOnly | ofEnableSizing;
  // Shows the dialog; true when the user chose a file (FileName holds it).
  virtual bool Execute();

protected:
  virtual bool IsSave() const { return false; }
};

class TSaveDialog : public TOpenDialog {
public:
  using TOpenDialog::TOpenDialog;

protected:
  bool IsSave() const override { return true; }
};

class TColorDialog : public TComponent {
public:
  explicit TColorDialog(TComponent* AOwner);
  TColor Color = clBlack;
  bool Execute();
};

// The desktop's folder chooser with a title, owned by Owner's window, offering only folders of
// the file system; true with Folder set when the user chose one.
bool BrowseForFolder(TWinControl* Owner, const AnsiString& Title, AnsiString& Folder);

// A filter in the class library's form as Qt name filters ("text (*.htm *.html)"), for tests.
std::vector<std::string> FilterToNameFilters(const AnsiString& filter);
// The name with DefaultExt added when it has no extension of its own.
AnsiString AddDefaultExt(const AnsiString& name, const AnsiString& defaultExt);
