#include "app/preview/main_preview.h"

#include "app/main_window.h"
#include "platform/application.h"
#include "platform/safe_file.h"
#include "platform/shortcuts.h"
#include "platform/sysutils.h"

#include <algorithm>
#include <sstream>
#include <sys/stat.h>
#include <vector>

TMainPreview* MainPreview = nullptr;

namespace {

// The n-th name a preview of the document may take: the first is the document name +
// "-preview.htm", the others "-preview (n).htm" in the same folder.
AnsiString PreviewFileName(const AnsiString& DocumentName, const AnsiString& UntitledFolder, int n) {
  const AnsiString suffix = n <= 1 ? AnsiString("-preview.htm") : "-preview (" + IntToStr(n) + ").htm";
  if (DocumentName == UntitledName()) return UntitledFolder + PathDelim + W1251("Новый") + suffix;
  // Beside the document; a long name is cut so that the file's name fits where the document's does.
  return FittedFileName(ExtractFileDir(DocumentName), ExtractFileName(DocumentName), suffix);
}

// The preview files the program wrote, each with what the file looked like just after: one that
// still looks so is the program's own, to be written again and deleted. They are listed in the
// settings folder, for every window and every run (a page viewed in the browser stays); the
// list keeps only the files that still look so.
struct TOwnPreview {
  AnsiString Name;
  TFileIdentity Id;
};

AnsiString OwnPreviewsList() { return SettingsDir() + "preview-files.lst"; }

bool LooksAsWritten(const TOwnPreview& p) {
  TFileIdentity now;
  return GetFileIdentity(ResolveSystemName(p.Name), now) && now == p.Id;
}

// The listed files that are still as the program wrote them; a list that cannot be read is empty.
std::vector<TOwnPreview> ListedPreviews() {
  std::vector<TOwnPreview> own;
  try {
    if (!FileExists(OwnPreviewsList())) return own;
    TStringList lines;
    lines.LoadFromFile(OwnPreviewsList());
    for (int i = 0; i < lines.Count(); ++i) {
      std::istringstream in(lines.Get(i));
      TOwnPreview p;
      long long dev = 0, ino = 0, size = 0, ms = 0, mns = 0, cs = 0, cns = 0;
      if (!(in >> dev >> ino >> size >> ms >> mns >> cs >> cns) || in.get() != ' ') continue;
      std::getline(in, p.Name);
      p.Id.dev = static_cast<dev_t>(dev);
      p.Id.ino = static_cast<ino_t>(ino);
      p.Id.size = static_cast<off_t>(size);
      p.Id.mtime = {static_cast<time_t>(ms), static_cast<long>(mns)};
      p.Id.ctime = {static_cast<time_t>(cs), static_cast<long>(cns)};
      if (!p.Name.empty() && LooksAsWritten(p)) own.push_back(p);
    }
  } catch (const Exception&) {
  }
  return own;
}

// The list with Name's entry replaced by Written (or only taken out). A file that cannot be
// listed (the list cannot be written, or the name holds a line break) is taken for a user's
// the next time: it is left alone, and the next preview goes beside it.
void ListPreviews(const AnsiString& Name, const TOwnPreview* Written) {
  std::vector<TOwnPreview> listed = ListedPreviews();
  listed.erase(std::remove_if(listed.begin(), listed.end(), [&](const TOwnPreview& p) { return p.Name == Name; }),
               listed.end());
  if (Written && Name.find_first_of("\r\n") == AnsiString::npos) listed.push_back(*Written);
  AnsiString text;
  for (const TOwnPreview& p : listed) {
    const TFileIdentity& id = p.Id;
    text += IntToStr(static_cast<int64_t>(id.dev)) + " " + IntToStr(static_cast<int64_t>(id.ino)) + " " +
            IntToStr(id.size) + " " + IntToStr(id.mtime.tv_sec) + " " + IntToStr(id.mtime.tv_nsec) + " " +
            IntToStr(id.ctime.tv_sec) + " " + IntToStr(id.ctime.tv_nsec) + " " + p.Name + "\n";
  }
  try {
    SafeWriteFile(OwnPreviewsList(), text, 0600);
  } catch (const Exception&) {
  }
}

// Whether anything bears the name: a file, a folder or a link, even one leading nowhere.
bool NameTaken(const AnsiString& Name) {
  struct stat st;
  return ::lstat(ResolveSystemName(Name).c_str(), &st) == 0;
}

bool IsOwnPreview(const AnsiString& Name) {
  for (const TOwnPreview& p : ListedPreviews())
    if (p.Name == Name) return true;
  return false;
}

}  // namespace

AnsiString PreviewFileName(const AnsiString& DocumentName, const AnsiString& UntitledFolder) {
  return PreviewFileName(DocumentName, UntitledFolder, 1);
}

AnsiString WritePreviewFile(TStrings* Lines, const AnsiString& DocumentName, const AnsiString& UntitledFolder) {
  AnsiString name = PreviewFileName(DocumentName, UntitledFolder, 1);
  for (int n = 2; NameTaken(name) && !IsOwnPreview(name) && n < 100000; ++n)
    name = PreviewFileName(DocumentName, UntitledFolder, n);
  Lines->SaveToFile(name);
  TOwnPreview written{name, {}};
  if (GetFileIdentity(ResolveSystemName(name), written.Id)) ListPreviews(name, &written);
  return name;
}

void DeletePreviewFile(const AnsiString& FileName) {
  // A file already gone is simply not there to delete; one put in its place is not the preview's.
  if (!IsOwnPreview(FileName)) return;
  DeleteFile(FileName);
  ListPreviews(FileName, nullptr);
}

TMainPreview::TMainPreview(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(W1251("Предварительный просмотр"));
  SetBounds(0, 0, 640, 480);

  ActionManager1 = new TActionManager(this);
  ActionManager1->SetName("ActionManager1");
  struct Row {
    TAction*& action;
    const char* name;
    const char* caption;
    TShortCut shortCut;
    const char* hint;
    void (TMainPreview::*handler)(TObject*);
  };
  const Row rows[] = {
      {BrvBack, "BrvBack", "Назад", TShortCut(scAlt | VK_LEFT), "На предыдущую страницу", &TMainPreview::BrvBackExecute},
      {BrvNext, "BrvNext", "Вперёд", TShortCut(scAlt | VK_RIGHT), "На следующую страницу", &TMainPreview::BrvNextExecute},
      {BrvHome, "BrvHome", "Домой", 0, "На редактируемую страницу", &TMainPreview::FormShow},
      {BrvReload, "BrvReload", "Перезагрузить", VK_F5, "Обновить страницу", &TMainPreview::BrvReloadExecute},
      {BrvStop, "BrvStop", "Остановить", 0, "Остановить загрузку страницы", &TMainPreview::BrvStopExecute},
      {Action1, "Action1", "Печать", TShortCut(scCtrl | 'P'), "Распечатать страницу на принтере", &TMainPreview::Action1Execute},
      {BrvExit, "BrvExit", "Выход", VK_ESCAPE, "", &TMainPreview::BrvExitExecute},
  };
  for (const Row& r : rows) {
    r.action = ActionManager1->NewAction(r.name, AnsiString(), W1251(r.caption), r.shortCut);
    r.action->SetHint(W1251(r.hint));
    r.action->OnExecute = TNotifyEvent(this, r.handler);
  }

  ActionToolBar1 = new TActionToolBar(this);
  ActionToolBar1->SetName("ActionToolBar1");
  ActionToolBar1->SetAlign(alTop);
  ActionToolBar1->SetParent(this);
  TActionClientItem* items = ActionManager1->AddActionBar(ActionToolBar1);
  for (const Row& r : rows) items->AddAction(r.action);
  ActionToolBar1->RecreateControls();

  StatusBar1 = new TStatusBar(this);
  StatusBar1->SetName("StatusBar1");
  StatusBar1->SetAlign(alBottom);
  StatusBar1->SetHeight(19);
  StatusBar1->Panels()->Add()->SetWidth(50);
  StatusBar1->SetParent(this);

  WebBrowser1 = new TWebBrowser(this);
  WebBrowser1->SetName("WebBrowser1");
  WebBrowser1->SetAlign(alClient);
  WebBrowser1->SetParent(this);
  WebBrowser1->OnDocumentComplete = TDocumentCompleteEvent(this, &TMainPreview::WebBrowser1DocumentComplete);

  OnShow = TNotifyEvent(this, &TMainPreview::FormShow);
  OnHide = TNotifyEvent(this, &TMainPreview::FormHide);
  RestoreFormPosition(this, kSettingsFileName);
}

TMainPreview::~TMainPreview() {
  if (MainPreview == this) MainPreview = nullptr;
}

void TMainPreview::FormShow(TObject*) {
  if (Main->Settings()->ReadString("General", "Style", "XP") == "Standard")
    ActionManager1->SetStyle(StandardStyle());
  else
    ActionManager1->SetStyle(XPStyle());
  Main->SetEnabled(false);
  WebBrowser1->Navigate(file_);
}

void TMainPreview::FormHide(TObject*) {
  SaveFormPosition(this, kSettingsFileName);
  Main->SetEnabled(true);
  DeletePreviewFile(file_);
}

void TMainPreview::WebBrowser1DocumentComplete(TObject*, const AnsiString& URL) {
  StatusBar1->Panels()->Items(0)->SetText(URL);
}

void TMainPreview::BrvBackExecute(TObject*) { WebBrowser1->GoBack(); }
void TMainPreview::BrvNextExecute(TObject*) { WebBrowser1->GoForward(); }
void TMainPreview::BrvReloadExecute(TObject*) { WebBrowser1->Refresh(); }
void TMainPreview::BrvStopExecute(TObject*) { WebBrowser1->Stop(); }
void TMainPreview::Action1Execute(TObject*) { WebBrowser1->ExecWB(OLECMDID_PRINT, OLECMDEXECOPT_PROMPTUSER); }
void TMainPreview::BrvExitExecute(TObject*) { Close(); }
