#include "zip/component/zip_keeper.h"

#include <unistd.h>

#include "platform/dialogs.h"
#include "platform/kernel.h"
#include "zip/component/zip_sfx.h"

const char* const kStoreSuffixes[18] = {"gif", "png", "z",   "zip", "zoo", "arc", "lzh", "arj", "taz",
                                        "tgz", "lha", "rar", "ace", "cab", "gz",  "gzip", "jar", "exe"};

// ------------------------------------------------------------------------------ EZipKeeper

// The exception's message: the id's text with the argument, or the id and the argument.
EZipKeeper::EZipKeeper(int Id, bool Display)
    : Exception(ZipMessageText(Id).empty() ? Format("ZipKeeper [ %d ]", {Id}) : ZipMessageText(Id)),
      DisplayMsg(Display ? 1 : 0),
      ResId(Id) {}

EZipKeeper::EZipKeeper(int Id, int Number)
    : Exception(ZipMessageText(Id).empty() ? Format("ZipKeeper [ %d ] ,%d", {Id, Number})
                                            : WithZipArgument(ZipMessageText(Id), AnsiString(), IntToStr(Number))),
      ResId(Id),
      NumArg(IntToStr(Number)) {}

EZipKeeper::EZipKeeper(int Id, const AnsiString& Text)
    : Exception(ZipMessageText(Id).empty() ? Format("ZipKeeper [ %d ], %s", {Id, Text})
                                            : WithZipArgument(ZipMessageText(Id), Text, AnsiString())),
      ResId(Id),
      StrArg(Text) {}

// ------------------------------------------------------------------------------ TZipKeeper

TZipKeeper::TZipKeeper(TComponent* AOwner) : TComponent(AOwner) {
  for (int m = assGIF; m <= assJAR; ++m) AddStoreSuffixes.Include(static_cast<AddStoreSuffixEnum>(m));
  sfxIcon_ = std::make_unique<TIcon>();
  zipDll_ = std::make_unique<TZipDll>(this);
  unzDll_ = std::make_unique<TUnzDll>(this);
}

TZipKeeper::~TZipKeeper() {
  BeforeDestruction();
  ClearDirectory();
  ownSfx_.reset();
  zipDll_.reset();
  unzDll_.reset();
}

void TZipKeeper::BeforeDestruction() { destroying_ = true; }

void TZipKeeper::SetZipFileName(const AnsiString& v) {
  zipFileName_ = v;
  if (!(ComponentState() & csDesigning)) ReadDirectory();
}

void TZipKeeper::SetDLLDirectory(const AnsiString& v) {
  if (v == dllDirectory_) return;
  AnsiString d = v;
  if (!d.empty() && (d.back() == '\\' || d.back() == PathDelim)) d.pop_back();
  dllDirectory_ = d;
}

void TZipKeeper::SetExtAddStoreSuffixes(const AnsiString& v) {
  if (v.empty()) {
    AddStoreSuffixes.Exclude(assEXT);
    extStoreSuffixes_.clear();
    return;
  }
  // Every extension gets a leading dot and a following ":".
  AnsiString r;
  bool start = true;
  for (char c : v) {
    if (c == ',' || c == ';' || c == ':') {
      r += ':';
      start = true;
      continue;
    }
    if (start && c != '.') r += '.';
    start = false;
    r += c;
  }
  if (r.empty() || r.back() != ':') r += ':';
  extStoreSuffixes_ = AnsiLowerCase(r);
  AddStoreSuffixes.Include(assEXT);
}

AnsiString TZipKeeper::StoreSuffixList() const {
  AnsiString s;
  for (int m = assGIF; m <= assEXE; ++m)
    if (AddStoreSuffixes.Contains(static_cast<AddStoreSuffixEnum>(m))) s += AnsiString(".") + kStoreSuffixes[m] + ":";
  if (AddStoreSuffixes.Contains(assEXT)) s += extStoreSuffixes_;
  if (!s.empty()) s.pop_back();
  return s;
}

// ------------------------------------------------------------------------------ libraries

int TZipKeeper::LoadZipLibrary() {
  try {
    return zipDll_->LoadChecked(173, true);
  } catch (const EZipKeeper& e) {
    ShowExceptionError(e);
    return 0;
  }
}

int TZipKeeper::LoadUnzipLibrary() {
  try {
    return unzDll_->LoadChecked(172, true);
  } catch (const EZipKeeper& e) {
    ShowExceptionError(e);
    return 0;
  }
}

void TZipKeeper::UnloadZipLibrary() { zipDll_->Unload(true); }
void TZipKeeper::UnloadUnzipLibrary() { unzDll_->Unload(true); }

// ------------------------------------------------------------------------------ reporting

AnsiString TZipKeeper::ZipLoadStr(int Id) {
  // The string table's text, which OnZipStr may replace.
  AnsiString s = ZipMessageText(Id);
  if (OnZipStr.Assigned()) OnZipStr(this, Id, s);
  return s;
}

AnsiString TZipKeeper::MissingText(int Id) {
  return "ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: " + IntToStr(Id) + " ";
}

void TZipKeeper::ShowZipMessage(int Id, const AnsiString& Extra) {
  AnsiString text = ZipLoadStr(Id);
  if (text.empty()) text = MissingText(Id);
  text += Extra;
  message_ = text;
  errCode_ = Id;
  if (!Unattended) ShowMessage(text);
  CallEvent(OnMessage, this, 0, text);
}

void TZipKeeper::ShowExceptionError(const EZipKeeper& E) {
  errCode_ = E.ResId;
  AnsiString text = ZipLoadStr(E.ResId);
  if (!text.empty()) {
    text = WithZipArgument(text, E.StrArg, E.NumArg);
  } else {
    // Without a text the argument (a path, a number) is still what the user needs to know.
    text = MissingText(E.ResId);
    text += E.StrArg.empty() ? E.NumArg : E.StrArg;
  }
  if (E.DisplayMsg == 1 && !Unattended) ShowMessage(text);
  message_ = text;
  CallEvent(OnMessage, this, errCode_, text);
}

// ------------------------------------------------------------------------------ self-extractor

TCustomZipSFX* TZipKeeper::SFXBuilder() {
  if (SFXSlave) return SFXSlave;
  if (!ownSfx_) ownSfx_ = std::make_unique<TZipSFX>(nullptr);
  return ownSfx_.get();
}

void TZipKeeper::CreateEmptySFX() {
  TCustomZipSFX* b = SFXBuilder();
  b->SetIcon(SFXIcon());
  b->DialogTitle = SFXCaption;
  b->CommandLine = SFXCommandLine;
  b->DefaultExtractPath = SFXDefaultDir;
  b->MessageFlags = 0;
  // A message starting with character 1 or 2 asks for a question box or a warning box.
  if (!SFXMessage.empty() && (SFXMessage[0] == 1 || SFXMessage[0] == 2)) {
    b->MessageFlags = SFXMessage[0] == 1 ? 65 : 36;
    SFXMessage.erase(0, 1);
  }
  b->Message = SFXMessage;
  TSFXOptions o;
  if (SFXOptions.Contains(SFXAskCmdLine)) o.Include(soAskCmdLine);
  if (SFXOptions.Contains(SFXAskFiles)) o.Include(soAskFiles);
  if (SFXOptions.Contains(SFXAutoRun)) o.Include(soAutoRun);
  if (SFXOptions.Contains(SFXHideOverWriteBox)) o.Include(soHideOverWriteBox);
  if (SFXOptions.Contains(SFXNoSuccessMsg)) o.Include(soNoSuccessMsg);
  b->Options = o;
  b->OverwriteMode = SFXOverWriteMode == OvrAlways ? somOverwrite : SFXOverWriteMode == OvrNever ? somSkip : somAsk;
  b->SFXPath = SFXPath;
  b->SourceFile = zipFileName_;
  b->TargetFile = zipFileName_;
  b->BuildEmpty();
}

// ------------------------------------------------------------------------------ temporary names

AnsiString TZipKeeper::MakeTempFileName(const AnsiString& Prefix, const AnsiString& Extension) {
  AnsiString folder;
  if (!TempDir.empty()) {
    TempDir = IncludeTrailingPathDelimiter(TempDir);
    folder = TempDir;
  } else {
    folder = GetTempPath();
  }
  AnsiString name = GetTempFileName(folder, Prefix);
  if (name.empty()) return name;
  DeleteFile(name);
  return ChangeFileExt(name, Extension);
}
