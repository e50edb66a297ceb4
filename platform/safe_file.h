#pragma once
// Saving a whole file so that a failure never leaves it damaged. Documents, the settings file,
// the registry store and the program's list files are all written through TSafeFileStream.
//
// - A symbolic link is followed: the file it names is saved and the link stays a link.
// - A file the user may not write is refused with the system's reason, as opening it would be.
// - Usually the new contents go to a new file in the same folder (unnamed where the file system
//   allows it, so an interrupted save leaves nothing behind), flushed to disk, and put in place
//   of the old file by a rename; the folder is flushed after it. Mode, owner and group are
//   those of the old file.
// - A file that must keep its identity (other hard links, another owner) or whose folder takes
//   no new file is written in place, behind a copy of its old contents kept in the recovery
//   folder of the settings folder. On any failure the old contents are put back and the
//   message says so; when even that fails, the message names where the copy is. The copy is
//   removed once the save is complete or the old contents are back; a save that was killed
//   leaves it, and InterruptedSaves lists it at the next start.
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
  bool touched_ = false;    // an in-place save changed the file
  int64_t written_ = 0;
  bool failed_ = false, committed_ = false;
  AnsiString message_;
};

// The folder that keeps the copies of in-place saves: "recovery" in the settings folder.
AnsiString RecoveryFolder();
// A copy of a document's old contents left by an in-place save that never finished (the
// program was killed or the machine stopped while it wrote).
struct TInterruptedSave {
  AnsiString Document;  // the document's full name
  AnsiString Copy;      // the copy's full name, in the recovery folder
};
// The copies in the recovery folder from saves that never finished, in name order; copies of
// saves still running in this or another program are not listed. Nothing listed is removed.
std::vector<TInterruptedSave> InterruptedSaves();

// Saves Data as the whole contents of FileName through TSafeFileStream.
void SafeWriteFile(const AnsiString& FileName, std::string_view Data, unsigned NewFileMode = 0666);

// The steps of a safe save at which a test can make the system fail.
enum class TSafeSaveStep { NewFile, KeepCopy, Write, Flush, Replace, PutBack };
// For tests: the hook is asked before each step (before every write call for Write); a
// non-zero answer is taken as the system error of that step. An empty hook removes it.
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
