#pragma once
// The settings window: editor and style settings, the replacement and insertion lists, the
// integration with browsers and the desktop's "Open with" list, and the backup of the settings
// into a zip archive and their restore from one.
#include "platform/dialogs.h"
#include "platform/extctrls.h"
#include "platform/forms.h"
#include "platform/grids.h"
#include "platform/stdctrls.h"
#include "zip/component/zip_keeper.h"

class TTarnSetup : public TForm {
public:
  explicit TTarnSetup(TComponent* AOwner);
  AnsiString ClassName() const override { return "TTarnSetup"; }

  // ---- components of the form description
  TPanel* Header = nullptr;
  TLabel* HeaderTitle = nullptr;
  TLabel* HeaderText = nullptr;
  TPageControl* PageControl1 = nullptr;
  TTabSheet *GeneralPage = nullptr, *SpellingPage = nullptr, *InsertPage = nullptr, *IntegrationPage = nullptr,
            *BackupPage = nullptr;
  TButton *OKButton = nullptr, *CancelButton = nullptr, *ApplyChanges = nullptr;
  TEdit* NewFileNmbBody = nullptr;
  TUpDown* UpDown1 = nullptr;
  TCheckBox* wordwrap = nullptr;
  TRadioButton *StyleStd = nullptr, *StyleXP = nullptr;
  TCheckBox* CheckBox1 = nullptr;
  TCheckBox* arpls = nullptr;
  TEdit *WordFrom = nullptr, *WordTo = nullptr;
  TButton *Button1 = nullptr, *Button2 = nullptr;
  TValueListEditor* wordslist = nullptr;
  TListBox* ListBox1 = nullptr;
  TEdit* Edit1 = nullptr;
  TButton *Button3 = nullptr, *Button4 = nullptr;
  TButton *Button5 = nullptr, *Button6 = nullptr, *Button7 = nullptr;
  TCheckBox *BUIniFile = nullptr, *BUAutoreplace = nullptr, *BUInsert = nullptr, *BUNotes = nullptr,
            *BUTemplate = nullptr;
  TComboBox* ComboBox1 = nullptr;
  TButton* BackUp = nullptr;
  TEdit* TarnPath = nullptr;
  TButton* Button8 = nullptr;
  TButton* Restore = nullptr;
  TZipKeeper* ZipKeeper1 = nullptr;
  TSaveDialog* SaveDialog1 = nullptr;
  TOpenDialog* OpenDialog1 = nullptr;

  // ---- handlers
  void FormShow(TObject* Sender);
  void FormHide(TObject* Sender);
  void ApplyChangesClick(TObject* Sender);
  void OKButtonClick(TObject* Sender);
  void CancelButtonClick(TObject* Sender);
  void Button1Click(TObject* Sender);
  void Button2Click(TObject* Sender);
  void Button4Click(TObject* Sender);
  void Button3Click(TObject* Sender);
  void Button5Click(TObject* Sender);
  void Button6Click(TObject* Sender);
  void Button7Click(TObject* Sender);
  void Button8Click(TObject* Sender);
  void BackUpClick(TObject* Sender);
  void RestoreClick(TObject* Sender);
  void ComboBox1Change(TObject* Sender);

  // A shell link to Target in LinkFile (the desktop's form of it: a desktop entry).
  void CreateShortcut(const AnsiString& Target, const AnsiString& LinkFile, const AnsiString& Arguments,
                      const AnsiString& Description, const AnsiString& WorkingFolder);
  // Ticks the backup boxes: settings, replacements, template, notes, insertion list.
  void Setelements(bool Settings, bool Replacements, bool Template, bool Notes, bool Insertion);

private:
  // Whether the lists were read from their files when the window showed.
  bool wordsLoaded_ = false, insertLoaded_ = false;
  void CreateComponents();
  // The program folder and a file in it.
  AnsiString Folder() const;
  AnsiString FolderFile(const AnsiString& Name) const;
  AnsiString ProgramExe() const;
  template <class T>
  T* Make(TWinControl* Parent, int Left, int Top, int Width, int Height, const char* Caption = nullptr);
};
