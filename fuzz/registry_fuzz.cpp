// libFuzzer target for the registry store's file: the input is the store file. Every key and
// value it shows below the three roots must be found again by name and read as its type says;
// after writes (a string of every byte, an integer, a new key, a deleted value and key), what
// is on disk must read back exactly as the writer's own view of it.
// Run as: build/fuzz/fuzz/registry_fuzz -max_len=4096 -timeout=5 -max_total_time=300 <corpus>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_folder.h"
#include "platform/registry.h"

namespace {

const HKEY kRoots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};

// Puts data in the store file. The store is kept while its file looks unchanged (inode, size and
// times to the clock's tick): the file is removed and looked at first, so that an input written
// over the last one within a tick, same size, is not taken for the last.
void WriteStore(const std::string& data) {
  std::string path = TRegistry::StoreFileName();
  unlink(path.c_str());
  TRegistry().KeyExists("\\x");
  std::ofstream(path, std::ios::binary) << data;
}

std::string ReadStore() {
  std::ifstream in(TRegistry::StoreFileName(), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The keys below Path with their values, depth first, in the store's order.
void Walk(HKEY root, const AnsiString& path, int depth, std::vector<std::string>& view, int& budget) {
  if (--budget < 0 || depth > 32) return;
  TRegistry reg;
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly("\\" + path)) abort();
  view.push_back("[" + path + "]");
  TStringList names;
  reg.GetValueNames(&names);
  for (int i = 0; i < names.Count(); ++i) {
    const AnsiString name = names.Get(i);
    if (!reg.ValueExists(name)) abort();
    switch (reg.GetDataType(name)) {
      case rdInteger: view.push_back(name + "=#" + IntToStr(reg.ReadInteger(name))); break;
      case rdString: view.push_back(name + "=" + reg.ReadString(name)); break;
      default: abort();
    }
  }
  reg.GetKeyNames(&names);
  for (int i = 0; i < names.Count(); ++i) {
    AnsiString sub = path.empty() ? names.Get(i) : path + "\\" + names.Get(i);
    if (!reg.KeyExists("\\" + sub)) abort();
    Walk(root, sub, depth + 1, view, budget);
  }
}

std::vector<std::string> View() {
  std::vector<std::string> view;
  for (HKEY root : kRoots) {
    int budget = 256;
    view.push_back("root");
    Walk(root, "", 0, view, budget);
  }
  return view;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The store lies in the settings folder: a scratch one.
  static const bool settings = setenv("VANTRY_TARN_CONFIG_DIR", FuzzFolder(), 1) == 0;
  if (!settings) abort();
  WriteStore(std::string(reinterpret_cast<const char*>(data), size));
  View();

  // Writes into the first key below the user's root, or a new one.
  TRegistry reg;
  TStringList names;
  reg.OpenKeyReadOnly("\\");
  reg.GetKeyNames(&names);
  AnsiString key = names.Count() ? names.Get(0) : AnsiString("Fuzz");
  if (!reg.OpenKey("\\" + key, true)) abort();
  AnsiString every;
  for (int c = 0; c < 256; ++c) every += static_cast<char>(c);
  reg.WriteString("every byte", every);
  if (reg.ReadString("every byte") != every) abort();
  reg.WriteInteger("number", -5);
  if (reg.ReadInteger("number") != -5) abort();
  if (!reg.OpenKey("Fuzz\\Sub key", true)) abort();
  reg.WriteString("", "default value");
  reg.GetValueNames(&names);
  reg.OpenKey("\\" + key, false);
  reg.GetValueNames(&names);
  if (names.Count() > 2) reg.DeleteValue(names.Get(0));
  reg.GetKeyNames(&names);
  if (names.Count() > 1) reg.DeleteKey(names.Get(0));

  // What is on disk reads back as the writer sees it.
  std::vector<std::string> before = View();
  WriteStore(ReadStore());
  if (View() != before) abort();
  return 0;
}
