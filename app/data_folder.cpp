#include "app/data_folder.h"

#include <cstdlib>
#include <string>

#include "platform/application.h"
#include "platform/safe_file.h"
#include "platform/streams.h"

namespace {

AnsiString& InstallOverride() {
  static AnsiString folder;
  return folder;
}

// The data files shipped beside the executable that the program or its user may change.
constexpr const char* kDataFiles[] = {"Template.html", "autoreplace.lst", "insert.lst", "notes.not"};

}  // namespace

AnsiString InstallFolder() {
  if (!InstallOverride().empty()) return InstallOverride();
  return ExcludeTrailingPathDelimiter(ExtractFilePath(Application->ExeName()));
}

void SetInstallFolder(const AnsiString& Folder) { InstallOverride() = ExcludeTrailingPathDelimiter(Folder); }

AnsiString InstalledFile(const AnsiString& Name) { return InstallFolder() + PathDelim + Name; }

AnsiString ProgramExecutable() { return InstalledFile(ExtractFileName(Application->ExeName())); }

AnsiString UserDataFolder() {
  std::string dir;
  if (const char* v = getenv("VANTRY_TARN_DATA_DIR"); v && *v) dir = v;
  else if (const char* x = getenv("XDG_DATA_HOME"); x && *x) dir = std::string(x) + "/vantry-tarn";
  else if (const char* h = getenv("HOME"); h && *h) dir = std::string(h) + "/.local/share/vantry-tarn";
  else dir = "/tmp/vantry-tarn";
  AnsiString ansi = Utf8ToAnsi(dir);
  ForceDirectories(ansi);
  return ExcludeTrailingPathDelimiter(ansi);
}

void CopyMissingDataFiles(const AnsiString& Folder) {
  AnsiString from = InstallFolder();
  if (ExcludeTrailingPathDelimiter(Folder) == from) return;
  for (const char* name : kDataFiles) {
    AnsiString target = Folder + PathDelim + name;
    if (FileExists(target)) continue;
    std::string data;
    try {
      if (!ReadRegularFile(ResolveSystemName(from + PathDelim + name), data)) continue;
      SafeWriteFile(target, data);
    } catch (const Exception&) {
      // Reported where the file is read.
    }
  }
}
