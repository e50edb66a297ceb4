#pragma once
// Saving a whole file so that a failure never leaves it damaged. Documents, the settings file,
// the registry store and the program's list files are all written through TSafeFileStream.
//
// - A symbolic link is followed: the file it names is saved and the link stays a link.
// - A file the user may not write is refused with the system's reason, as opening it would be.
// - Usually the new contents go to a new file in the same folder (unnamed where the file system
//   allows it), flushed to disk, and put in place of the old file by a rename; the folder is
//   flushed after it. Mode, owner and group are those of the old file.
// - A file that must keep its identity (other hard links, another owner) or whose folder takes
//   no new file is written in place, behind a copy of its old contents kept in the recovery
//   folder of the settings folder. On any failure the old contents are put back and the
//   message says so; when even that fails, the message names where the copy is.
// - Every file a save makes under a name (the copy, the new file beside the document) is
//   described by a record in the recovery folder, made before it and held while the save runs,
//   and is removed when the save ends. A save that was killed leaves them: InterruptedSaves,
//   at the next start, removes those that hold nothing the document lacks and lists the rest.
// - The names a save makes fit wherever the document's name fits.
// - Every failure message names the file being saved, never a temporary file.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include <sys/stat.h>

#include "platform/streams.h"

class TSafeFileStream : public TStream {
public:
  // Prepares the save; EFCreateError when the file cannot be written at all. ExpectedSize
  // (when known) lets an in-place save reserve the room it needs before it changes anything.
  // NewFileMode: permission bits for a file that does not exist yet (the umask applies).
  explicit TSafeFileStream(const AnsiString& FileName, int64_t ExpectedSize = -1, unsigned NewFileMode = 0666);
  // Without Commit the save is abandoned: the file keeps its old contents.
  ~TSafeFileStream() override;
  TSafeFileStream(const TSafeFileStream&) = delete;
  TSafeFileStream& operator=(const TSafeFileStream&) = delete;

  const AnsiString& FileName() const { return fileName_; }
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  // Only the current position can be asked for: the stream is written from start to end.
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return written_; }
  // EWriteError naming the file, and saying what became of its old contents.
  void WriteBuffer(const void* Buffer, int64_t Count) override;
  // Makes what was written the file's contents, flushed to disk; EWriteError as above.
  void Commit();

private:
  enum TWay { wyNone, wyNewFile, wyInPlace, wyDevice };
  bool OpenNewFile();
  void OpenInPlace(int fd);
  void KeepCopy();
  // Abandons the save after the system error err: removes the new file or puts the old
  // contents back, and remembers the message for the caller.
  void Fail(int err);
  bool PutBack();
  void CloseFd();
  // Deletes the kept copy (and its record); ReleaseCopy only lets go of it.
  void RemoveCopy();
  void ReleaseCopy();
  // The record of the save, removed or only let go of.
  void RemoveRecord();
  void ReleaseRecord();
  // A free-looking name for a new file beside the document.
  std::string BesideName() const;
  // Makes (or rewrites) the record naming the new file Name beside the document; 0 or errno.
  int DescribeNewFile(const std::string& Name);

  AnsiString fileName_;
  std::string target_;  // the file system's name of the file saved, links followed
  struct stat old_ {};
  bool existed_ = false;
  int64_t expected_;
  unsigned newFileMode_;
  TWay way_ = wyNone;
  int fd_ = -1;
  bool unnamed_ = false;    // the new file has no name yet
  std::string tempName_;    // the named new file, when the file system has no unnamed ones
  std::string copyName_;    // the kept copy of an in-place save
  int copyFd_ = -1;         // held (and locked) while the save runs
  std::string recordName_;  // the record describing the copy or the named new file
  int recordFd_ = -1;       // held (and locked) while the save runs
  bool touched_ = false;    // an in-place save changed the file
  int64_t written_ = 0;
  bool failed_ = false, committed_ = false;
  AnsiString message_;
};

// The folder that keeps the copies of in-place saves: "recovery" in the settings folder.
AnsiString RecoveryFolder();
// What a save that never finished (the program was killed or the machine stopped while it
// wrote) left holding text the document lacks: a copy of the document's old contents, from an
// in-place save, or the new text, in a file beside the document.
struct TInterruptedSave {
  AnsiString Document;  // the document's full name
  AnsiString Copy;      // the file's full name: in the recovery folder, or beside the document
  bool NewText = false;  // the file holds the new text (perhaps not all of it), not the old
};
// The files left by saves that never finished, in the order of their records' names. Those that
// hold nothing the document lacks (the document begins with all they hold) are removed with
// their records; the others are listed and kept. Saves still running in this or another program
// are left alone.
std::vector<TInterruptedSave> InterruptedSaves();

// Folder + Name + Suffix (Name + Suffix with no folder), for a file the program makes from
// another file's name: where the whole name passes the file system's limit in Folder, Name is
// cut at a character boundary and marked with a digest of all of it, so that two long names
// that begin alike stay different.
AnsiString FittedFileName(const AnsiString& Folder, const AnsiString& Name, const AnsiString& Suffix);

// Saves Data as the whole contents of FileName through TSafeFileStream.
void SafeWriteFile(const AnsiString& FileName, std::string_view Data, unsigned NewFileMode = 0666);

// The steps of a safe save at which a test can make the system fail: making the new file, an
// unnamed one in particular, the record, the copy (and each piece copied), each write, the flush,
// putting the new file in place, naming it beside the document, the rename, putting the old
// contents back (and each piece), and removing each file the save made.
enum class TSafeSaveStep { NewFile, Unnamed, Record, KeepCopy, Copy, Write, Flush, Replace, Rename, PutBack, Remove };
// For tests: the hook is asked before each step (before every write call for Write, every piece
// for Copy and PutBack); a non-zero answer is taken as the system error of that step (the
// answer for Remove is not). An empty hook removes it.
void SetSafeSaveFault(std::function<int(TSafeSaveStep)> Hook);

// What tells whether a file changed on disk without reading it: a parsed form kept in memory
// stays good while these are the same.
struct TFileIdentity {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{}, ctime{};
  bool operator==(const TFileIdentity& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};
// False when the file cannot be looked at (missing, say).
bool GetFileIdentity(const std::string& Path, TFileIdentity& Id);
