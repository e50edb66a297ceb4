#pragma once
// Options, enumerations, events and the exception of the zip component.
#include <cstdint>

#include "platform/classes.h"
#include "platform/sysutils.h"

template <class E>
class TZipSet {
public:
  TZipSet() = default;
  TZipSet(std::initializer_list<E> l) { for (E e : l) Include(e); }
  bool Contains(E e) const { return bits_ >> static_cast<unsigned>(e) & 1; }
  void Include(E e) { bits_ |= uint32_t(1) << static_cast<unsigned>(e); }
  void Exclude(E e) { bits_ &= ~(uint32_t(1) << static_cast<unsigned>(e)); }
  bool Empty() const { return bits_ == 0; }
  uint32_t Bits() const { return bits_; }
  bool operator==(const TZipSet&) const = default;

private:
  uint32_t bits_ = 0;
};

enum AddOptsEnum { AddDirNames, AddRecurseDirs, AddMove, AddFreshen, AddUpdate, AddZipTime, AddForceDOS,
                   AddHiddenFiles, AddArchiveOnly, AddResetArchive, AddEncrypt, AddSeparateDirs, AddVolume,
                   AddFromDate, AddSafe, AddForceDest, AddDiskSpan, AddDiskSpanErase };
using AddOpts = TZipSet<AddOptsEnum>;
enum ExtrOptsEnum { ExtrDirNames, ExtrOverWrite, ExtrFreshen, ExtrUpdate, ExtrTest, ExtrForceDirs };
using ExtrOpts = TZipSet<ExtrOptsEnum>;
enum SpanOptsEnum { spNoVolumeName, spCompatName, spWipeFiles, spTryFormat };
using SpanOpts = TZipSet<SpanOptsEnum>;
enum AddStoreSuffixEnum { assGIF, assPNG, assZ, assZIP, assZOO, assARC, assLZH, assARJ, assTAZ, assTGZ, assLHA,
                          assRAR, assACE, assCAB, assGZ, assGZIP, assJAR, assEXE, assEXT };
using AddStoreExts = TZipSet<AddStoreSuffixEnum>;
enum CodePageOpts { cpAuto, cpNone, cpOEM };
enum DeleteOpts { htdFinal, htdAllowUndo };
enum SFXOptsEnum { SFXAskCmdLine, SFXAskFiles, SFXAutoRun, SFXHideOverWriteBox, SFXCheckSize, SFXNoSuccessMsg };
using SFXOpts = TZipSet<SFXOptsEnum>;
enum OvrOpts { OvrConfirm, OvrAlways, OvrNever };
// What a volume about to be written finds, and what the program answers.
enum TZipDiskStatusEnum { zdsEmpty, zdsHasFiles, zdsPreviousDisk, zdsSameFileName, zdsNotEnoughSpace };
using TZipDiskStatus = TZipSet<TZipDiskStatusEnum>;
enum TZipDiskAction { zdaOk, zdaErase, zdaReject, zdaCancel };
enum ProgressType { NewFile, ProgressUpdate, EndOfBatch, TotalFiles2Process, TotalSize2Process, NewExtra, ExtraUpdate };
enum UnZipSkipTypes { stOnFreshen, stNoOverwrite, stFileExists, stBadPassword, stNoEncryptionDLL,
                      stCompressionUnknown, stUnknownZipHost, stZipFileFormatWrong, stGeneralExtractError };
enum TPasswordButton { pwbOk, pwbCancel, pwbCancelAll, pwbAbort };

// The suffix of each store-suffix member (the last one stands for ExtAddStoreSuffixes).
extern const char* const kStoreSuffixes[18];

// One entry of the archive's central directory: the fields of the header after its signature, in
// order, then the converted texts. Sizes, offset and disk are the full values: those the header
// saturates come from its Zip64 extra field.
struct ZipDirEntry {
  uint8_t VersionMadeBy;
  uint8_t HostSystem;
  uint16_t VersionNeeded;
  uint16_t Flags;
  uint16_t Method;
  uint32_t DosDateTime;
  uint32_t Crc32;
  uint64_t CompressedSize;
  uint64_t UncompressedSize;
  uint16_t NameLength;
  uint16_t ExtraLength;
  uint16_t CommentLength;
  uint32_t DiskStart;
  uint16_t InternalAttributes;
  uint32_t ExternalAttributes;
  uint64_t LocalHeaderOffset;
  AnsiString FileName;
  AnsiString FileComment;
  bool Encrypted = false;
  std::string ExtraData;
};

// The string table: the Russian text of a message id of the component or of its libraries'
// error codes (empty for an id it has no text for), and a text with a message's argument in it
// (formatted into a text that takes it, put after one that does not).
AnsiString ZipMessageText(int Id);
AnsiString WithZipArgument(const AnsiString& Text, const AnsiString& StrArg, const AnsiString& NumArg);

// A failure of the zip component: a message id with an optional argument, shown when reported
// unless DisplayMsg is 0.
class EZipKeeper : public Exception {
public:
  EZipKeeper(int Id, bool Display);
  EZipKeeper(int Id, int Number);
  EZipKeeper(int Id, const AnsiString& Text);
  const char* ClassName() const override { return "EZipKeeper"; }
  int DisplayMsg = 1;
  int ResId = 0;
  AnsiString StrArg;
  AnsiString NumArg;
};

class CallBackInfo;

using TZipTotalProgressEvent = TMethod<void(TObject* Sender, uint64_t TotalSize, int PerCent)>;
using TZipItemProgressEvent = TMethod<void(TObject* Sender, const AnsiString& Item, uint64_t TotalSize, int PerCent)>;
using TZipProgressEvent = TMethod<void(TObject* Sender, ProgressType ProgrType, const AnsiString& Filename, uint64_t FileSize)>;
using TZipMessageEvent = TMethod<void(TObject* Sender, int ErrCode, const AnsiString& Message)>;
using TZipSetNewNameEvent = TMethod<void(TObject* Sender, AnsiString& OldFileName, bool& IsChanged)>;
using TZipNewNameEvent = TMethod<void(TObject* Sender, int SeqNo, const ZipDirEntry& ZipEntry)>;
using TZipCRC32ErrorEvent = TMethod<void(TObject* Sender, const AnsiString& ForFile, uint32_t FoundCRC, uint32_t ExpectedCRC, bool& DoExtract)>;
using TZipPasswordErrorEvent = TMethod<void(TObject* Sender, bool IsZipAction, AnsiString& NewPassword, const AnsiString& ForFile,
                                            uint32_t& RepeatCount, TPasswordButton& Action)>;
using TZipExtractOverwriteEvent = TMethod<void(TObject* Sender, const AnsiString& ForFile, bool IsOlder, bool& DoOverwrite, int DirIndex)>;
using TZipExtractSkippedEvent = TMethod<void(TObject* Sender, const AnsiString& ForFile, UnZipSkipTypes SkipType, int ExtError)>;
using TZipCopyOverwriteEvent = TMethod<void(TObject* Sender, const AnsiString& ForFile, bool& DoOverwrite)>;
using TZipFileCommentEvent = TMethod<void(TObject* Sender, const AnsiString& ForFile, AnsiString& FileComment, bool& IsChanged)>;
using TZipFileExtraEvent = TMethod<void(TObject* Sender, const AnsiString& ForFile, std::string& Data, bool& IsChanged)>;
using TZipAfterCallbackEvent = TMethod<void(CallBackInfo* Sender, bool& abort)>;
using TZipGetNextDiskEvent = TMethod<void(TObject* Sender, int DiskSeqNo, int DiskTotal, const AnsiString& Drive, bool& AbortAction)>;
using TZipStatusDiskEvent = TMethod<void(TObject* Sender, int PreviousDisk, const AnsiString& PreviousFile, TZipDiskStatus Status,
                                         TZipDiskAction& Action)>;
using TZipStrEvent = TMethod<void(TObject* Sender, int ID, AnsiString& Str)>;
