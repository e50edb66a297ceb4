// libFuzzer target for the settings file reader (TIniFile): the input is a settings file. Every
// section and key it shows must be found again by name, and what a write leaves on disk must read
// back, from a fresh copy of the file, exactly as the writer's own view of it: same sections,
// same keys, same values, nothing else changed.
// Run as: build/fuzz/fuzz/settings_fuzz -max_len=4096 -timeout=5 -max_total_time=300 <corpus>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_folder.h"
#include "platform/inifiles.h"

namespace {

void WriteFile(const std::string& path, const std::string& data) {
  // A file removed and looked at first: the parsed form of a settings file is kept while the file
  // looks unchanged (inode, size and times to the clock's tick), and an input written over the
  // last one within a tick, same size, would read as the last.
  unlink(path.c_str());
  TIniFile(path).SectionExists("");
  std::ofstream(path, std::ios::binary) << data;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Every section with its "key=value" lines, in file order.
std::vector<std::string> View(const TIniFile& ini) {
  std::vector<std::string> view;
  TStringList sections, values;
  ini.ReadSections(&sections);
  for (int i = 0; i < sections.Count(); ++i) {
    ini.ReadSectionValues(sections.Get(i), &values);
    view.push_back("[" + sections.Get(i) + "]");
    for (int j = 0; j < values.Count(); ++j) view.push_back(values.Get(j));
  }
  return view;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = std::string(FuzzFolder()) + "/settings.ini";
  static const std::string copy = std::string(FuzzFolder()) + "/copy.ini";
  WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));
  TIniFile ini(path);

  TStringList sections, keys;
  ini.ReadSections(&sections);
  for (int i = 0; i < sections.Count() && i < 64; ++i) {
    const AnsiString section = sections.Get(i);
    if (!ini.SectionExists(section)) abort();
    ini.ReadSection(section, &keys);
    for (int j = 0; j < keys.Count() && j < 64; ++j) {
      if (!ini.ValueExists(section, keys.Get(j))) abort();
      ini.ReadString(section, keys.Get(j), "");
      ini.ReadInteger(section, keys.Get(j), -1);
      ini.ReadBool(section, keys.Get(j), false);
    }
  }

  // Writes: a key of the file changed, a new key in its first section, a new section; then one
  // key deleted and one section erased.
  AnsiString first = sections.Count() ? sections.Get(0) : AnsiString("General");
  ini.ReadSection(first, &keys);
  if (keys.Count()) {
    ini.WriteString(first, keys.Get(0), "changed");
    if (ini.ReadString(first, keys.Get(0), "") != "changed") abort();
  }
  ini.WriteInteger(first, "FuzzAdded", -17);
  if (ini.ReadInteger(first, "FuzzAdded", 0) != -17) abort();
  ini.WriteString("Fuzz New Section", "Key", "value");
  if (ini.ReadString("Fuzz New Section", "Key", "") != "value") abort();
  if (keys.Count() > 1) ini.DeleteKey(first, keys.Get(1));
  if (sections.Count() > 1) ini.EraseSection(sections.Get(1));

  // What is on disk reads back as the writer sees it.
  WriteFile(copy, ReadFile(path));
  if (View(TIniFile(copy)) != View(ini)) abort();
  return 0;
}
