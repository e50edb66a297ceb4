#pragma once
// Loading of the zip and unzip libraries: on demand, held while anyone needs them, version
// checked, preferring a newer copy embedded in the program when one is supplied, and unloaded
// when the last hold goes.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/classes.h"
#include "platform/kernel.h"
#include "platform/sysutils.h"
#include "zip/libs/zip_records.h"

class TZipKeeper;

// Where embedded library copies come from: the program's "BinFile" resources, their version
// strings and the LZ expansion of compressed copies. This program carries none, so the default
// reader answers nothing and the embedded path is never taken.
class TZipResourceReader {
public:
  virtual ~TZipResourceReader() = default;
  // The version string of an id, empty when there is none.
  virtual AnsiString VersionString(int Id) { (void)Id; return AnsiString(); }
  // The bytes of the "BinFile" resource of an id; false when there is none.
  virtual bool Resource(int Id, std::string& Bytes) { (void)Id; (void)Bytes; return false; }
  // Expands an LZ-compressed file into Target; the expanded size, or -1.
  virtual int64_t LzExpand(const AnsiString& Source, const AnsiString& Target) { (void)Source; (void)Target; return -1; }
};

class TZipLibLoader : public TObject {
public:
  enum { kUnzip = 0, kZip = 1 };
  // Hold bits.
  enum : unsigned { hbExec = 1, hbOperation = 2, hbUser = 4 };

  TZipLibLoader(TZipKeeper* Owner, int Kind);
  ~TZipLibLoader() override;

  // Takes the user or the operation hold and loads when needed; the version (0 when not
  // loaded). A version below Minimum unloads and raises EZipKeeper 10651.
  int LoadChecked(int Minimum, bool UserHold);
  void Unload(bool UserHold);

  int Kind() const { return kind_; }
  bool Loaded() const { return module_ != nullptr; }
  unsigned HoldBits() const { return hold_; }
  int Version() const { return version_; }
  int PrivVersion() const { return privVersion_; }
  const AnsiString& LibraryName() const { return name_; }
  const AnsiString& TempCopyName() const { return tempCopy_; }
  // The embedded copy's version: the number made of the first five characters of its version
  // string, 0 when there is none.
  int EmbeddedVersion() const;

  // The reader of embedded copies (tests supply their own); nullptr restores the default.
  static void SetResourceReader(std::shared_ptr<TZipResourceReader> Reader);

  // The folder and the name joined with exactly one delimiter between them.
  static AnsiString PathJoin(const AnsiString& Folder, const AnsiString& Name);

protected:
  // Runs the execute entry, called through its own type (Fn), with a parameter record; its
  // result unchanged.
  template <class Fn, class Record>
  int ExecAs(Record* Params) {
    LoadLib(hbExec);
    int r = -1;
    try {
      if (exec_) r = reinterpret_cast<Fn>(exec_)(Params);
    } catch (...) {
      ReleaseLib(hbExec);
      throw;
    }
    ReleaseLib(hbExec);
    return r;
  }
  int LoadLib(unsigned Bits);
  int ReleaseLib(unsigned Bits);
  int Open(const AnsiString& Path, bool Raise);
  AnsiString WriteEmbeddedCopy();
  void Clear();

private:
  TZipKeeper* owner_;
  int kind_;
  HMODULE module_ = nullptr;
  void* exec_ = nullptr;
  void* versionFn_ = nullptr;
  void* privVersionFn_ = nullptr;
  int version_ = 0, privVersion_ = 0;
  unsigned hold_ = 0;
  AnsiString name_, tempCopy_;
};

// Each kind runs its execute entry with its own parameter record only.
class TZipDll : public TZipLibLoader {
public:
  explicit TZipDll(TZipKeeper* Owner) : TZipLibLoader(Owner, kZip) {}
  int Exec(TZipParams* Params) { return ExecAs<TZipExecFn>(Params); }
};

class TUnzDll : public TZipLibLoader {
public:
  explicit TUnzDll(TZipKeeper* Owner) : TZipLibLoader(Owner, kUnzip) {}
  int Exec(TUnzParams* Params) { return ExecAs<TUnzExecFn>(Params); }
};
