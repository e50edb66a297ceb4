#pragma once
// A zip component in a temporary folder, unattended, with our libraries and a record of its
// messages.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "zip/component/zip_keeper.h"

namespace fs = std::filesystem;

inline std::string ReadAll(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}
inline void WriteAll(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << s;
}
// Runs a shell command; its exit status.
inline int Shell(const std::string& cmd) { return std::system(("(" + cmd + ") >/dev/null 2>&1").c_str()); }

class ZipTest : public ::testing::Test {
protected:
  fs::path dir;
  std::unique_ptr<TZipKeeper> zip;
  std::vector<std::pair<int, std::string>> messages;

  void SetUp() override {
    char tmpl[] = "/tmp/vt-zip-XXXXXX";
    dir = mkdtemp(tmpl);
    zip = std::make_unique<TZipKeeper>(nullptr);
    zip->Unattended = true;
    zip->SetDLLDirectory(VT_ZIP_LIB_DIR);
    zip->OnMessage = TZipMessageEvent(this, &ZipTest::Note);
  }
  void TearDown() override {
    zip.reset();
    fs::remove_all(dir);
  }
  void Note(TObject*, int code, const AnsiString& text) { messages.emplace_back(code, text); }
  std::string P(const std::string& rel) const { return (dir / rel).string(); }
  // Adds files (absolute names) to an archive.
  int AddFiles(const std::string& archive, const std::vector<std::string>& files) {
    zip->SetZipFileName(archive);
    for (auto& f : files) zip->FSpecArgs()->Add(f);
    zip->Add();
    return zip->SuccessCnt();
  }
  int ExtractTo(const std::string& archive, const std::string& base, const std::vector<std::string>& specs = {}) {
    zip->SetZipFileName(archive);
    zip->ExtrBaseDir = base;
    fs::create_directories(base);
    for (auto& s : specs) zip->FSpecArgs()->Add(s);
    zip->Extract();
    return zip->SuccessCnt();
  }
};
