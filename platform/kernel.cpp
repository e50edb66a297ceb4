#include "platform/kernel.h"

#include <dlfcn.h>
#include <iconv.h>
#include <link.h>
#include <stdlib.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <string>
#include <vector>

#include "platform/sysutils.h"

namespace {

unsigned g_errorMode = 0;
std::string g_lastError;

std::string ProgramFolder() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return {};
  std::string exe(buf, static_cast<size_t>(n));
  return exe.substr(0, exe.find_last_of('/') + 1);
}

// The folders the dynamic loader searches for a library the program itself asks for.
std::vector<std::string> ProgramSearchFolders() {
  std::vector<std::string> folders;
  // The program's own handle, opened once: it is never closed, so it is not opened again per call.
  static void* const self = dlopen(nullptr, RTLD_LAZY);
  Dl_serinfo size;
  if (!self || dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0) return folders;
  std::vector<unsigned char> buf(size.dls_size);
  auto* info = reinterpret_cast<Dl_serinfo*>(buf.data());
  *info = size;
  if (dlinfo(self, RTLD_DI_SERINFOSIZE, info) != 0 || dlinfo(self, RTLD_DI_SERINFO, info) != 0) return folders;
  for (unsigned i = 0; i < info->dls_cnt; ++i) folders.emplace_back(info->dls_serpath[i].dls_name);
  return folders;
}

void* Open(const std::string& name) {
  void* h = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* e = dlerror();
    g_lastError = e ? e : "не удаётся загрузить " + name;
  }
  return h;
}

// Where a name is looked for: as given (a path), or in the program folder and then by the
// system's search (a bare name).
void* OpenByName(const std::string& name) {
  if (name.find('/') != std::string::npos) {
    if (access(name.c_str(), F_OK) != 0) {
      g_lastError = name + ": нет такого файла";
      return nullptr;
    }
    return Open(name);
  }
  std::string local = ProgramFolder() + name;
  if (access(local.c_str(), F_OK) == 0) return Open(local);
  // The folders the program's own search covers (its run path first): looked through here, as
  // the loader searches for the object that calls it, and a sanitizer's runtime may be that
  // object in place of the program.
  for (const std::string& folder : ProgramSearchFolders()) {
    std::string path = folder + "/" + name;
    if (access(path.c_str(), F_OK) == 0) return Open(path);
  }
  return Open(name);
}

}  // namespace

HMODULE LoadLibrary(const AnsiString& Name) {
  std::string sys = ResolveSystemName(Name);
  if (void* h = OpenByName(sys)) return h;
  size_t slash = sys.find_last_of('/');
  std::string folder = slash == std::string::npos ? std::string() : sys.substr(0, slash + 1);
  std::string file = sys.substr(folder.size());
  if (file.size() > 4) {
    std::string ext = file.substr(file.size() - 4);
    for (auto& c : ext) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    if (ext == ".DLL") {
      std::string stem = file.substr(0, file.size() - 4);
      for (auto& c : stem) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
      std::string first = g_lastError;
      if (void* h = OpenByName(folder + "lib" + stem + ".so")) return h;
      g_lastError = first + "; " + g_lastError;
    }
  }
  return nullptr;
}

void FreeLibrary(HMODULE Module) {
  if (Module) dlclose(Module);
}

void* GetProcAddress(HMODULE Module, const char* Name) { return Module ? dlsym(Module, Name) : nullptr; }

AnsiString GetModuleFileName(HMODULE Module) {
  link_map* map = nullptr;
  if (!Module || dlinfo(Module, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name) return AnsiString();
  char buf[PATH_MAX];
  std::string path = realpath(map->l_name, buf) ? buf : map->l_name;
  return SystemNameToAnsi(path);
}

unsigned SetErrorMode(unsigned Mode) {
  unsigned old = g_errorMode;
  g_errorMode = Mode;
  return old;
}

AnsiString LastLibraryError() { return SystemNameToAnsi(g_lastError); }

AnsiString GetTempPath() {
  const char* t = getenv("TMPDIR");
  std::string dir = t && *t ? t : "/tmp";
  return IncludeTrailingPathDelimiter(SystemNameToAnsi(dir));
}

AnsiString GetTempFileName(const AnsiString& Folder, const AnsiString& Prefix) {
  std::string path = AnsiToSystemName(IncludeTrailingPathDelimiter(Folder) + Prefix) + "XXXXXX";
  int fd = mkstemp(path.data());
  if (fd < 0) return AnsiString();
  close(fd);
  return SystemNameToAnsi(path);
}

unsigned GetDriveType(const AnsiString& Root) {
  return DirectoryExists(Root) ? DRIVE_FIXED : DRIVE_NO_ROOT_DIR;
}

bool GetDiskFreeSpaceEx(const AnsiString& Path, int64_t& FreeBytes, int64_t& TotalBytes) {
  FreeBytes = TotalBytes = -1;
  struct statvfs fs {};
  if (statvfs(AnsiToSystemName(Path).c_str(), &fs) != 0) return false;
  FreeBytes = static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
  TotalBytes = static_cast<int64_t>(fs.f_blocks) * static_cast<int64_t>(fs.f_frsize);
  return true;
}

namespace {

struct TOemTables {
  char ToChar[256], ToOem[256];
  TOemTables() {
    for (int i = 0; i < 256; ++i) ToChar[i] = ToOem[i] = i < 128 ? static_cast<char>(i) : '?';
    Fill("CP1251", "CP866", ToChar);
    Fill("CP866", "CP1251", ToOem);
  }
  // Table of from-code-page bytes converted to the to-code page.
  static void Fill(const char* to, const char* from, char* table) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return;
    for (int i = 128; i < 256; ++i) {
      char in = static_cast<char>(i), out = '?';
      char* ip = &in;
      char* op = &out;
      size_t il = 1, ol = 1;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &ip, &il, &op, &ol) != static_cast<size_t>(-1) && ol == 0) table[i] = out;
    }
    iconv_close(cd);
  }
};

const TOemTables& OemTables() {
  static const TOemTables t;
  return t;
}

}  // namespace

AnsiString OemToChar(const AnsiString& Oem) {
  AnsiString r = Oem;
  for (auto& c : r) c = OemTables().ToChar[static_cast<unsigned char>(c)];
  return r;
}

AnsiString CharToOem(const AnsiString& Text) {
  AnsiString r = Text;
  for (auto& c : r) c = OemTables().ToOem[static_cast<unsigned char>(c)];
  return r;
}
