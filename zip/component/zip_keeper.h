#pragma once
// The zip component: adds files to zip archives and extracts them through the zip and unzip
// libraries it loads at run time, serves their callbacks (progress, messages, passwords,
// overwrite questions), lists the archive's entries itself and reports every failure as a
// message id (message box unless unattended, OnMessage, ErrCode and Message).
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/classes.h"
#include "platform/forms.h"
#include "platform/graphics.h"
#include "zip/component/zip_lib_loader.h"
#include "zip/component/zip_stream.h"
#include "zip/component/zip_types.h"
#include "zip/libs/zip_records.h"

class TCustomZipSFX;

// Opens a file the user named (an archive, a volume, a stub) without ever waiting on a named
// pipe: the descriptor, in blocking mode, or -1 when it cannot be opened or is not a regular file.
int OpenZipFile(const AnsiString& FileName, int Flags, unsigned Perm = 0);
// The same file opened for reading as a stream, or null.
FILE* OpenZipFileForReading(const AnsiString& FileName);
// The system name of the file an archive the user named is replaced at: where a symbolic link
// of that name leads (also a missing target), so that the link stays a link.
std::string ZipFileTarget(const AnsiString& FileName);
// A name or text of the libraries or of an archive's headers as the program shows it: UTF-8 in
// the program's code page, anything else (a Unix name stored as its bytes) as its bytes, as the
// listing shows such a name. Cut: the text was cut short and may end inside a character.
AnsiString ZipTextToAnsi(const std::string& Text, bool Cut = false);

class TZipKeeper : public TComponent {
public:
  explicit TZipKeeper(TComponent* AOwner);
  ~TZipKeeper() override;
  AnsiString ClassName() const override { return "TZipKeeper"; }
  // Marks the component as going away: a library still running is answered cancel.
  void BeforeDestruction();

  // ---- published properties (defaults as the constructor sets them)
  bool Verbose = false;
  bool Trace = false;
  int AddCompLevel = 9;
  AddOpts AddOptions;
  double AddFrom = 0;  // a date: days since 1899-12-30
  AnsiString ExtrBaseDir;
  ExtrOpts ExtrOptions;
  TStrings* FSpecArgs() { return &fSpecArgs_; }
  void SetFSpecArgs(TStrings* v) { fSpecArgs_.Assign(v); }
  bool Unattended = false;
  const AnsiString& ZipFileName() const { return zipFileName_; }
  void SetZipFileName(const AnsiString& v);
  AnsiString Password;
  const AnsiString& DLLDirectory() const { return dllDirectory_; }
  void SetDLLDirectory(const AnsiString& v);
  AnsiString TempDir;
  CodePageOpts CodePage = cpAuto;
  DeleteOpts HowToDelete = htdAllowUndo;
  AnsiString VersionInfo() const { return "1.73"; }
  void SetVersionInfo(const AnsiString&) {}
  AddStoreExts AddStoreSuffixes;
  const AnsiString& ExtAddStoreSuffixes() const { return extStoreSuffixes_; }
  void SetExtAddStoreSuffixes(const AnsiString& v);
  unsigned PasswordReqCount() const { return passwordReqCount_; }
  void SetPasswordReqCount(unsigned v) { passwordReqCount_ = v > 15 ? 15 : v; }
  TStrings* FSpecArgsExcl() { return &fSpecArgsExcl_; }
  void SetFSpecArgsExcl(TStrings* v) { fSpecArgsExcl_.Assign(v); }
  bool UseDirOnlyEntries = false;
  AnsiString RootDir;
  SpanOpts SpanOptions;
  bool ConfirmErase = true;
  int KeepFreeOnDisk1 = 0;
  unsigned KeepFreeOnAllDisks = 0;
  int MaxVolumeSize = 0;
  int MinFreeVolumeSize = 65536;
  TCustomZipSFX* SFXSlave = nullptr;
  AnsiString SFXCaption = "Self-extracting Archive";
  AnsiString SFXCommandLine;
  AnsiString SFXDefaultDir;
  TIcon* SFXIcon() { return sfxIcon_.get(); }
  AnsiString SFXMessage;
  SFXOpts SFXOptions{SFXCheckSize};
  OvrOpts SFXOverWriteMode = OvrConfirm;
  AnsiString SFXPath = "KVSFXUS.BIN";

  // ---- events
  TNotifyEvent OnDirUpdate;
  TZipTotalProgressEvent OnTotalProgress;
  TZipItemProgressEvent OnItemProgress;
  TZipProgressEvent OnProgress;
  TZipMessageEvent OnMessage;
  TZipSetNewNameEvent OnSetNewName;
  TZipNewNameEvent OnNewName;
  TZipCRC32ErrorEvent OnCRC32Error;
  TZipPasswordErrorEvent OnPasswordError;
  TZipExtractOverwriteEvent OnExtractOverwrite;
  TZipExtractSkippedEvent OnExtractSkipped;
  TZipCopyOverwriteEvent OnCopyZipOverwrite;
  TZipFileCommentEvent OnFileComment;
  TZipFileExtraEvent OnFileExtra;
  TZipAfterCallbackEvent OnAfterCallback;
  TNotifyEvent OnTick;
  TZipStrEvent OnZipStr;
  TZipGetNextDiskEvent OnGetNextDisk;
  TZipStatusDiskEvent OnStatusDisk;

  // ---- run-time state
  int ErrCode() const { return errCode_; }
  int FullErrCode() const { return fullErrCode_; }
  const AnsiString& Message() const { return message_; }
  int SuccessCnt() const { return successCnt_; }
  bool Cancel = false;
  int Count() const { return zipFileName_.empty() ? 0 : static_cast<int>(dir_.size()); }
  const ZipDirEntry& DirEntry(int i) const { return *dir_.at(static_cast<size_t>(i)); }
  const AnsiString& ZipComment() const { return zipComment_; }
  // Bytes in front of the archive's first entry (a self-extractor's stub), as the last
  // directory read found them.
  int64_t ArchiveDataStart() const { return dataStart_; }
  int64_t CentralDirOffset() const { return centralOffset_; }
  int LastDiskNumber() const { return lastDisk_; }
  bool Spanned() const { return spanned_; }
  int DirOnlyCount() const { return dirOnlyCount_; }
  bool Busy() const { return busyOperation_ || busyZip_ || busyUnzip_; }
  TZipDll* ZipDll() { return zipDll_.get(); }
  TUnzDll* UnzDll() { return unzDll_.get(); }
  TZipStream* ZipStream() { return &stream_; }
  // The answer of the last password dialog.
  TPasswordButton LastPasswordAnswer() const { return lastPasswordAnswer_; }
  // The store-suffix list handed to the zip library (".gif:.png:...").
  AnsiString StoreSuffixList() const;

  // ---- operations
  int Add();
  int Extract();
  int LoadZipLibrary();
  int LoadUnzipLibrary();
  void UnloadZipLibrary();
  void UnloadUnzipLibrary();
  void ReadDirectory();

  // ---- reporting, shared by the whole component
  // The text of a message id: the string table, then OnZipStr.
  AnsiString ZipLoadStr(int Id);
  // The text shown for an id that has no text.
  static AnsiString MissingText(int Id);
  void ShowZipMessage(int Id, const AnsiString& Extra);
  void ShowExceptionError(const EZipKeeper& E);

  // ---- the callback
  // The function the libraries call (the component comes from the record).
  static int32_t CallbackFunction(TZipCallbackRecord* Record);
  // The dispatcher in record form (answers -1 to cancel) and in direct form (a set Cancel
  // raises EZipKeeper 11007 afterwards).
  int32_t DispatchRecord(TZipCallbackRecord* Record);
  void Dispatch(int Action, int64_t Value1, int64_t Value2, const AnsiString& Text);
  static unsigned Percent(uint64_t Size, uint64_t Done);

  // A temporary file name in TempDir (or the system's folder): the file is made unique by the
  // system, deleted, and its extension replaced.
  AnsiString MakeTempFileName(const AnsiString& Prefix = "zip", const AnsiString& Extension = ".zip");

  // The self-extractor builder in use: SFXSlave, else one made on first need.
  TCustomZipSFX* SFXBuilder();

  // Volume sets. WriteSpan copies an ordinary archive out into numbered volumes of the target;
  // ReadSpan joins the set that a volume belongs to into one ordinary archive (a temporary one
  // when OutFilePath names no file) and answers its name. 0 on success; -7 for a reported
  // failure of the component, -8 out of memory, -9 any other failure.
  int WriteSpan(const AnsiString& InFileName, const AnsiString& OutFileName);
  int ReadSpan(const AnsiString& InFileName, AnsiString& OutFilePath);
  // Inside a catch block of a spanning run: reports the error as the run's message and gives
  // the run's result (-7 component error, -8 out of memory, -9 any other).
  int SpanFailure();
  // The end of a spanning run's batch: progress off, the end-of-batch callback.
  void EndSpanBatch();
  // The file name of volume Disk (0-based) of the set FileName names, the last one being
  // LastDisk (-1 while unknown); StripDigits first removes the three characters before the
  // extension (FileName names a numbered volume).
  AnsiString VolumeName(const AnsiString& FileName, int Disk, int LastDisk, bool StripDigits) const;

  // The directory reader's parts shared with volume handling.
  bool OpenEOC(const AnsiString& FileName, bool RaiseErrors);
  AnsiString ConvertOEM(const AnsiString& Text, bool ToOEM) const;
  static AnsiString SetSlash(const AnsiString& Text, bool ToForward);
  static AnsiString DelimitPath(const AnsiString& Path, bool Separator);

protected:
  void ExtAdd();
  void RunAdd(const AnsiString& Archive);
  void ExtExtract();
  int RunDispatch(int Action, int32_t& Value1, int64_t& Value2, TZipCallbackRecord* Record, const AnsiString& Text);
  void PasswordAction(int32_t& Value1, int64_t& Value2, TZipCallbackRecord* Record, const AnsiString& Name);
  AnsiString GetPassword(const AnsiString& Caption, const AnsiString& Prompt, unsigned Buttons, TModalResult& Result);
  AnsiString AskPassword(bool Confirm);

private:
  friend class TZipLibLoader;
  void ClearDirectory();
  void CreateEmptySFX();

  // Volume handling.
  AnsiString DiskText(int Id, const char* Fallback);
  void SpanMessage(const AnsiString& Text);
  void CheckDrive(const AnsiString& FileName);
  int64_t GetFreeSpace();
  TZipDiskAction AskStatus(int Number, const AnsiString& Name, TZipDiskStatus Status);
  void OpenVolume();
  void PrepareVolume(int64_t KeepTogether);
  void FinishVolume();
  void WriteSplit(const void* Data, int64_t Length, int64_t KeepTogether);
  void MoveLastVolume();
  // The full system names of the files, in the folder of the set FileName names, that the
  // writer gives or has given that set in either naming: its own name and its volumes.
  static std::vector<std::string> OwnVolumes(const AnsiString& FileName);
  int GetLastVolume(const AnsiString& FileName, bool MayBeMissing, AnsiString& Found);
  void GetNewDisk(int Disk);
  void ReadInput(void* Buffer, size_t Length, int Id);
  void SeekInput(int64_t Position, int Id);
  void CloseVolumes();
  std::unique_ptr<TCustomZipSFX> ownSfx_;

  TStringList fSpecArgs_, fSpecArgsExcl_;
  AnsiString zipFileName_, dllDirectory_, extStoreSuffixes_;
  unsigned passwordReqCount_ = 1;
  std::unique_ptr<TIcon> sfxIcon_;
  std::unique_ptr<TZipDll> zipDll_;
  std::unique_ptr<TUnzDll> unzDll_;
  TZipStream stream_;

  int errCode_ = 0, fullErrCode_ = 0, successCnt_ = 0;
  AnsiString message_;
  // An error of a run, kept over the directory read (and the volume writer) that clear it after
  // the run when they themselves succeed.
  struct TRunError {
    int Code = 0, Full = 0;
    AnsiString Text;
  };
  TRunError SaveRunError() const { return {errCode_, fullErrCode_, message_}; }
  void KeepRunError(const TRunError& E) {
    if (errCode_ != 0 || E.Code == 0) return;
    errCode_ = E.Code;
    fullErrCode_ = E.Full;
    message_ = E.Text;
  }
  bool busyOperation_ = false, busyZip_ = false, busyUnzip_ = false, destroying_ = false;
  uint64_t totalSize_ = 0, totalDone_ = 0, itemSize_ = 0, itemDone_ = 0;
  AnsiString itemName_;
  AnsiString eventError_;
  std::string extraData_;
  TPasswordButton lastPasswordAnswer_ = pwbOk;

  // The directory and what was read with it.
  std::vector<std::unique_ptr<ZipDirEntry>> dir_;
  AnsiString zipComment_;
  int64_t fileSize_ = 0, archiveEnd_ = 0, eocPosition_ = 0, centralOffset_ = 0, dataStart_ = 0;
  int lastDisk_ = 0, dirOnlyCount_ = 0;
  bool spanned_ = false, offsetMismatch_ = false;
  int readHost_ = 0, readMadeBy_ = 0;
  int eocFile_ = -1;
  uint8_t eoc_[22] = {};
  bool firstVolume_ = false;  // the file OpenEOC last opened starts with the spanning marker

  // The volume set being written or read.
  int diskNr_ = 0, totalDisks_ = 0;  // current and last disk, 0-based (-1: not known yet)
  AnsiString driveRoot_, spanName_, outFileName_;
  bool driveFixed_ = true, showProgress_ = false, readingSet_ = false;
  int64_t diskFree_ = -1, diskSize_ = -1;
  int inFile_ = -1, outFile_ = -1;
  int64_t volumePos_ = 0, volumeFree_ = 0;  // bytes written on the output volume, bytes it may still take
  std::vector<char> inBuf_;
  size_t inAt_ = 0, inLen_ = 0;
  struct timespec setDate_ {};
};
