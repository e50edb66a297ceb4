#pragma once
// The records exchanged between the zip component and the zip and unzip libraries: the two
// parameter records handed to the execute entries, their file-specification entries and the
// callback record the libraries fill for every callback. Field order and widths are fixed;
// pointers have the platform's native size, so offsets differ from a 32-bit build. Every field
// not named is zero. Plain C layout: both sides may be built by different compilers.
#include <cstdint>

extern "C" {

struct TZipCallbackRecord;
// The component's callback: answers -1 to cancel the running operation, 0 to go on.
typedef int32_t (*TZipCallbackFn)(TZipCallbackRecord* Record);

// Text area of the callback record: a name or message, the current comment in its second half
// (file comment action) and a pointer in its last bytes (extra-data action).
constexpr int kCallbackTextSize = 512;
constexpr int kCallbackCommentOffset = 256;
constexpr int kCallbackPointerOffset = kCallbackTextSize - 8;

struct TZipCallbackRecord {
  int32_t Unused0;
  void* Caller;             // the component, as passed in the parameter record
  int32_t Unused8;
  int32_t IsZipAction;      // non-zero when the zip library asks
  int32_t ActionCode;       // 0..16, read as its low byte
  int32_t Value1;           // error code, CRC, flags: per action
  int64_t Value2;           // size, count, CRC or a buffer address: per action
  char Text[kCallbackTextSize];
};

// Callback action codes.
enum : int32_t {
  kcbTick = 0, kcbNewItem = 1, kcbProgress = 2, kcbEndOfBatch = 3, kcbMessage = 4,
  kcbTotalFiles = 5, kcbTotalSize = 6, kcbNewName = 7, kcbPassword = 8, kcbCrcError = 9,
  kcbOverwrite = 10, kcbSkipped = 11, kcbComment = 12, kcbMemory = 13, kcbExtraData = 14,
  kcbNewExtra = 15, kcbExtraProgress = 16,
};

// One file specification of an add: 104 bytes in the 32-bit layout.
struct TZipFileSpec {
  const char* Spec;         // the file to take: folder, name, wildcards
  int32_t Unused4[2];
  const char* Password;     // password of this entry, nullptr when none
  int32_t Encrypt;          // non-zero: encrypt this entry
  uint16_t Recurse;         // 0xFFFF: recurse into sub-folders
  uint16_t Unused22;
  int32_t Unused24[3];
  const char* RootDir;      // base folder of a relative specification, nullptr when none
  uint8_t Unused40[64];
};

// Zip parameter record: 216 bytes in the 32-bit layout.
struct TZipParams {
  void* OwnerWindow;        // 0 when unattended
  void* Caller;             // echoed in every callback record
  int32_t Version;          // 173
  TZipCallbackFn Callback;
  int32_t Trace;
  const char* Password;     // at most 81 characters
  const char* StoreSuffixes;  // ".gif:.png:..." extensions stored without compression
  int32_t Encrypt;
  int32_t HiddenFiles;
  int32_t Volume;
  int32_t Spanned;          // the archive is to be cut into volumes: a file too large for them is refused
  int32_t NoDirEntries;     // no entries of their own for folders
  int32_t FromDate;         // only files at or after Date
  int32_t Verbose;
  int32_t Quiet;            // -1
  int32_t Level;            // compression level 0..9
  int32_t Unused64;
  int32_t Unused68;
  int32_t JunkDirs;         // store bare names, without folders
  uint16_t Recurse;         // 0xFFFF: recurse into sub-folders
  uint16_t Unused78;
  int32_t Grow;             // append to the existing archive
  int32_t ForceDos;         // 8.3 upper-case names
  int32_t Move;             // delete the files once added
  int32_t Unused92;
  int32_t Update;           // add new files and newer versions
  int32_t Freshen;          // only newer versions of files already in the archive
  int32_t Unused104;
  int32_t ZipTime;          // give the archive the time of its newest entry
  char Date[8];             // "mm dd yy", not terminated
  int32_t SpecCount;
  const char* ArchiveName;
  const char* TempDir;
  const char* ArchiveComment;
  int16_t ArchiveOnly;
  int16_t ResetArchive;
  TZipFileSpec* Specs;
  int32_t Unused144;
  int32_t ExcludeCount;
  const char** Excludes;
  uint8_t MemoryTransfer[32];
  int32_t Recycle;          // deleted files go to the desktop's trash
  int16_t OemNames;         // 2: names in the OEM code page
  uint8_t Unused194[18];
  int32_t Check;            // 7
};

// One file specification of an extract: 72 bytes in the 32-bit layout.
struct TUnzFileSpec {
  const char* Spec;
  uint8_t Unused[64];
};

// Unzip parameter record: 148 bytes in the 32-bit layout.
struct TUnzParams {
  void* OwnerWindow;
  void* Caller;
  int32_t Version;          // what the unzip library reported when it was loaded
  TZipCallbackFn Callback;
  int32_t Trace;
  int32_t Unused20;
  const char* Password;     // always present, empty when none
  int32_t Test;             // only check the entries
  int32_t Unused32;
  int32_t Unused36;
  int32_t Quiet;            // -1
  int32_t Verbose;
  int32_t Update;           // newer entries and missing files only
  int32_t Freshen;          // only newer entries of files that exist
  int32_t DirNames;         // keep the entries' folders
  int32_t OverWrite;        // replace existing files without asking
  int32_t SpecCount;        // 0: every entry
  const char* ArchiveName;
  TUnzFileSpec* Specs;
  int32_t Unused76;
  uint8_t MemoryTransfer[24];
  int32_t PasswordRepeat;   // how often a password may be asked for per entry
  const char* BaseDir;      // nullptr: the current folder
  int16_t CodePage;         // names without the UTF-8 flag: 0 by their host, 1 ANSI, 2 OEM
  uint8_t Unused114[30];
  int32_t Check;            // 7
};

constexpr int32_t kParamsCheck = 7;

// Error codes the libraries send with messages (low byte) and as skip reasons.
enum : int32_t {
  kzeOpen = 1, kzeRead = 2, kzeWrite = 3, kzeFormat = 4, kzeMemory = 5, kzePassword = 6,
  kzeSize = 7, kzeUnsafeName = 8, kzeAborted = 9, kzeCrc = 10, kzeMethod = 11, kzeNothing = 12,
  kzeSpanSize = 13,  // a file too large for an archive to be spanned
};

// The exports of the two libraries.
typedef int32_t (*TZipExecFn)(TZipParams*);
typedef int32_t (*TUnzExecFn)(TUnzParams*);
typedef int32_t (*TDllVersionFn)();

}  // extern "C"
