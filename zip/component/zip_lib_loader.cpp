#include "zip/component/zip_lib_loader.h"

#include <cstdio>

#include "platform/application.h"
#include "zip/component/zip_keeper.h"

namespace {

struct TKindTable {
  const char* File;
  const char* Exec;
  const char* Version;
  const char* PrivVersion;
  int ResourceId, VersionStringId;
  const char* TempPrefix;
  const char* TempExt;
};
const TKindTable kKinds[2] = {
    {"UNZDLL.DLL", "UnzDllExec", "GetUnzDllVersion", "GetUnzDllPrivVersion", 11606, 11608, "ZMU", ".dll"},
    {"ZIPDLL.DLL", "ZipDllExec", "GetZipDllVersion", "GetZipDllPrivVersion", 11605, 11607, "ZMZ", ".DLL"},
};

constexpr int kAcceptableBuild = 17300;

std::shared_ptr<TZipResourceReader>& Reader() {
  static std::shared_ptr<TZipResourceReader> r = std::make_shared<TZipResourceReader>();
  return r;
}

bool WriteBytes(const AnsiString& name, const char* data, size_t n) {
  FILE* f = fopen(AnsiToSystemName(name).c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(data, 1, n, f) == n;
  return fclose(f) == 0 && ok;
}

}  // namespace

void TZipLibLoader::SetResourceReader(std::shared_ptr<TZipResourceReader> r) {
  Reader() = r ? std::move(r) : std::make_shared<TZipResourceReader>();
}

TZipLibLoader::TZipLibLoader(TZipKeeper* Owner, int Kind) : owner_(Owner), kind_(Kind), name_(kKinds[Kind].File) {}

TZipLibLoader::~TZipLibLoader() {
  if (module_) FreeLibrary(module_);
  if (!tempCopy_.empty() && FileExists(tempCopy_)) DeleteFile(tempCopy_);
}

void TZipLibLoader::Clear() {
  module_ = nullptr;
  exec_ = versionFn_ = privVersionFn_ = nullptr;
  version_ = privVersion_ = 0;
}

AnsiString TZipLibLoader::PathJoin(const AnsiString& Folder, const AnsiString& Name) {
  auto isDelim = [](char c) { return c == PathDelim || c == '\\'; };
  if (Name.empty() || Folder.empty()) return Folder + Name;
  if (Folder.back() == ':') return Folder + Name;
  bool a = isDelim(Folder.back()), b = isDelim(Name.front());
  if (a && b) return Folder + Name.substr(1);
  if (a || b) return Folder + Name;
  return Folder + PathDelim + Name;
}

int TZipLibLoader::EmbeddedVersion() const {
  AnsiString s = Reader()->VersionString(kKinds[kind_].VersionStringId);
  return StrToIntDef(s.substr(0, 5), 0);
}

int TZipLibLoader::LoadChecked(int Minimum, bool UserHold) {
  int v = LoadLib(UserHold ? hbUser : hbOperation);
  if (v < Minimum) {
    ReleaseLib(hbExec | hbOperation | hbUser);
    throw EZipKeeper(10651, name_);
  }
  return v;
}

void TZipLibLoader::Unload(bool UserHold) { ReleaseLib(UserHold ? hbUser : hbOperation); }

int TZipLibLoader::LoadLib(unsigned Bits) {
  hold_ = (hold_ | Bits) & 7;
  if (module_) return version_;
  AnsiString candidate;
  if (!tempCopy_.empty() && FileExists(tempCopy_)) {
    candidate = tempCopy_;
  } else {
    AnsiString dir = owner_->DLLDirectory();
    if (!dir.empty()) {
      // A folder starting with "." lies below the running program's folder.
      if (dir[0] == '.') dir = PathJoin(ExtractFileDir(Application->ExeName()), dir);
      candidate = PathJoin(dir, kKinds[kind_].File);
      if (!FileExists(candidate) && !FileExists(ExtractFilePath(candidate) + "lib" +
                                                AnsiLowerCase(ChangeFileExt(kKinds[kind_].File, "")) + ".so"))
        candidate.clear();
    }
    if (candidate.empty()) candidate = kKinds[kind_].File;
  }
  int embedded = EmbeddedVersion();
  int priv = Open(candidate, embedded < kAcceptableBuild);
  if (priv < embedded) {
    AnsiString copy = WriteEmbeddedCopy();
    if (!copy.empty()) priv = Open(copy, false);
    if (priv < kAcceptableBuild) Open(candidate, true);
  }
  if (module_ && owner_->Verbose) {
    AnsiString t = owner_->ZipLoadStr(10652);
    owner_->Dispatch(kcbMessage, 0, 0, (t.empty() ? AnsiString("loaded ") : t) + name_);
  }
  return version_;
}

int TZipLibLoader::ReleaseLib(unsigned Bits) {
  hold_ = hold_ & ~Bits & 7;
  if (hold_ == 0 && module_) {
    if (owner_->Verbose) {
      AnsiString t = owner_->ZipLoadStr(10653);
      try {
        owner_->Dispatch(kcbMessage, 0, 0, (t.empty() ? AnsiString("unloaded ") : t) + name_);
      } catch (const EZipKeeper&) {
        // A cancel during unloading changes nothing: the library goes all the same.
      }
    }
    FreeLibrary(module_);
    module_ = nullptr;
  }
  if (!module_) {
    Clear();
    hold_ = 0;
  }
  return version_;
}

int TZipLibLoader::Open(const AnsiString& Path, bool Raise) {
  if (module_) FreeLibrary(module_);
  Clear();
  unsigned old = SetErrorMode(3);
  module_ = LoadLibrary(Path);
  SetErrorMode(old);
  if (!module_) {
    hold_ = 0;
    if (Raise) throw EZipKeeper(10650, Path);
    return 0;
  }
  exec_ = GetProcAddress(module_, kKinds[kind_].Exec);
  versionFn_ = GetProcAddress(module_, kKinds[kind_].Version);
  privVersionFn_ = GetProcAddress(module_, kKinds[kind_].PrivVersion);
  name_ = GetModuleFileName(module_);
  if (exec_ && versionFn_) {
    version_ = reinterpret_cast<int32_t (*)()>(versionFn_)();
    if (privVersionFn_) privVersion_ = reinterpret_cast<int32_t (*)()>(privVersionFn_)();
  }
  if (version_ >= 153 && version_ <= 300) return privVersion_;
  FreeLibrary(module_);
  Clear();
  hold_ = 0;
  if (Raise) throw EZipKeeper(10651, name_);
  return 0;
}

AnsiString TZipLibLoader::WriteEmbeddedCopy() {
  if (EmbeddedVersion() <= kAcceptableBuild) return AnsiString();
  const TKindTable& k = kKinds[kind_];
  AnsiString name = owner_->MakeTempFileName(k.TempPrefix, k.TempExt);
  std::string res;
  bool ok = false;
  if (!name.empty() && Reader()->Resource(k.ResourceId, res) && res.size() >= 6) {
    int storage = static_cast<unsigned char>(res[0]) | static_cast<unsigned char>(res[1]) << 8;
    if (storage == 0) {
      ok = WriteBytes(name, res.data() + 6, res.size() - 6);
    } else if (storage == 2) {
      AnsiString packed = owner_->MakeTempFileName("ZMt", ".tmp");
      if (!packed.empty() && WriteBytes(packed, res.data() + 6, res.size() - 6))
        ok = Reader()->LzExpand(packed, name) > 100000;
      if (!packed.empty()) DeleteFile(packed);
    }
  }
  if (!ok && !name.empty() && FileExists(name)) DeleteFile(name);
  tempCopy_ = ok && FileExists(name) ? name : AnsiString();
  return tempCopy_;
}
