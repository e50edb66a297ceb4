#pragma once
// Streams: the abstract stream, files over POSIX descriptors and blocks of memory.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/classes.h"

enum TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
public:
  // Read and Write move up to Count bytes and return how many moved.
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t p) { Seek(p, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t NewSize);
  // The whole count or EReadError / EWriteError.
  virtual void ReadBuffer(void* Buffer, int64_t Count);
  virtual void WriteBuffer(const void* Buffer, int64_t Count);
  int64_t CopyFrom(TStream* Source, int64_t Count);  // Count 0: the whole source from 0
};

// Open modes and sharing of TFileStream, as the class library numbers them.
enum : unsigned {
  fmOpenRead = 0x0000, fmOpenWrite = 0x0001, fmOpenReadWrite = 0x0002,
  fmShareCompat = 0x0000, fmShareExclusive = 0x0010, fmShareDenyWrite = 0x0020,
  fmShareDenyRead = 0x0030, fmShareDenyNone = 0x0040,
  fmCreate = 0xFFFF,
};

class THandleStream : public TStream {
public:
  explicit THandleStream(int Handle) : handle_(Handle) {}
  int Handle() const { return handle_; }
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  void SetSize(int64_t NewSize) override;

protected:
  int handle_;
  int lastError_ = 0;  // errno of the last failed read or write
};

// Opens the file-system name Sys with the open(2) Flags (and Perm for a file it creates)
// without ever waiting for the other end of a pipe, and keeps it open only when it is a regular
// file or a character device (/dev/null, /dev/zero, a terminal: a document is read from those
// only as far as they report a size). Returns the descriptor, in blocking mode, or -1 with
// Reason: the sentence that says why (a folder, a named pipe, the system's error).
int OpenFileDescriptor(const std::string& Sys, int Flags, unsigned Perm, AnsiString& Reason);
// Why a file of this type is not opened (a sentence), or empty for a regular file or a
// character device.
AnsiString FileTypeRefusal(unsigned Mode);
// The whole contents of a regular file (settings kept by the program); false when it is missing,
// cannot be read or is no regular file.
bool ReadRegularFile(const std::string& Sys, std::string& Data);

// A file. Open failures raise EFOpenError, create failures EFCreateError, each with the file
// name and the reason; read and write failures name the file too. Only regular files and
// character devices are opened (see OpenFileDescriptor).
class TFileStream : public THandleStream {
public:
  TFileStream(const AnsiString& FileName, unsigned Mode);
  ~TFileStream() override;
  const AnsiString& FileName() const { return fileName_; }
  void ReadBuffer(void* Buffer, int64_t Count) override;
  void WriteBuffer(const void* Buffer, int64_t Count) override;

private:
  AnsiString fileName_;
};

class TMemoryStream : public TStream {
public:
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return static_cast<int64_t>(data_.size()); }
  void SetSize(int64_t NewSize) override;
  void Clear() { data_.clear(); pos_ = 0; }
  char* Memory() { return data_.data(); }
  const std::string& Data() const { return data_; }
  void LoadFromStream(TStream* Stream);
  void LoadFromFile(const AnsiString& FileName);
  void SaveToStream(TStream* Stream);
  void SaveToFile(const AnsiString& FileName);

private:
  std::string data_;
  int64_t pos_ = 0;
};

// A memory stream over a string, read and written as text.
class TStringStream : public TMemoryStream {
public:
  explicit TStringStream(const AnsiString& s = AnsiString());
  AnsiString DataString() const { return Data(); }
};
