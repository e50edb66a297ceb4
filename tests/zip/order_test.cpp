// Extraction writes files on several threads; the callbacks still arrive in entry order and the
// files, messages and counts are those of one thread.
#include <dlfcn.h>
#include <unistd.h>

#include <stdexcept>

#include "tests/zip/zip_fixture.h"
#include "zip/libs/common/ordered_pool.h"
#include "zip/libs/zip_records.h"

namespace {

class ZipOrderTest : public ZipTest {
protected:
  std::vector<std::string> items, events;
  int cancelAt = -1;
  void Progress(TObject*, ProgressType type, const AnsiString& name, uint64_t) {
    if (type != NewFile) return;
    items.push_back(name);
    events.push_back("new " + name);
    if (static_cast<int>(items.size()) == cancelAt) zip->Cancel = true;
  }
  void Skipped(TObject*, const AnsiString& name, UnZipSkipTypes type, int) {
    events.push_back("skip " + name + " " + std::to_string(type));
  }
  void Overwrite(TObject*, const AnsiString& name, bool, bool& overwrite, int) {
    events.push_back("overwrite? " + name);
    overwrite = false;
  }
  void Crc(TObject*, const AnsiString& name, uint32_t, uint32_t, bool& extract) {
    events.push_back("crc " + name);
    extract = false;
  }
  void SetUp() override {
    ZipTest::SetUp();
    zip->OnProgress = TZipProgressEvent(this, &ZipOrderTest::Progress);
    zip->OnExtractSkipped = TZipExtractSkippedEvent(this, &ZipOrderTest::Skipped);
    zip->OnExtractOverwrite = TZipExtractOverwriteEvent(this, &ZipOrderTest::Overwrite);
    zip->OnCRC32Error = TZipCRC32ErrorEvent(this, &ZipOrderTest::Crc);
    zip->ExtrOptions = {ExtrDirNames};
    // 600 files in 12 folders, and among them entries that depend on each other or on what is
    // on disk: the same name twice, a file where a later entry wants a folder, a damaged
    // checksum in a folder of its own, a file that exists already.
    ASSERT_EQ(Shell("python3 -c \"\nimport zipfile, zlib\n"
                    "z = zipfile.ZipFile('" + P("many.zip") + "', 'w', zipfile.ZIP_DEFLATED)\n"
                    "for i in range(600):\n"
                    "    z.writestr('f%d/file%03d.txt' % (i % 12, i), ('line %d ' % i) * (i * 7 % 900))\n"
                    "    if i == 100: z.writestr('dup.txt', b'first')\n"
                    "    if i == 200: z.writestr('clash', b'a file')\n"
                    "    if i == 300: z.writestr('clash/inner.txt', b'wants a folder')\n"
                    "    if i == 400: z.writestr('dup.txt', b'second')\n"
                    "    if i == 450: z.writestr('crc/bad.txt', b'checksum will be wrong')\n"
                    "    if i == 500: z.writestr('exists.txt', b'new')\n"
                    "z.close()\n"
                    "raw = bytearray(open('" + P("many.zip") + "', 'rb').read())\n"
                    "at = raw.rfind(b'crc/bad.txt')\n"
                    "raw[at - 46 + 16] ^= 0xFF\n"
                    "open('" + P("many.zip") + "', 'wb').write(raw)\n\""), 0);
  }
  std::vector<std::string> Tree(const fs::path& p) {
    std::vector<std::string> r;
    for (auto& e : fs::recursive_directory_iterator(p)) r.push_back(e.path().lexically_relative(p).string());
    std::sort(r.begin(), r.end());
    return r;
  }
};

TEST_F(ZipOrderTest, CallbacksComeInEntryOrderAndTheFilesAreThoseOfOneThread) {
  WriteAll(dir / "out/exists.txt", "old");
  EXPECT_EQ(ExtractTo(P("many.zip"), P("out")), 602);
  // Every file in archive order; the clash and the existing file are decided in their turn.
  std::vector<std::string> expected;
  for (int i = 0; i < 600; ++i) {
    expected.push_back("new f" + std::to_string(i % 12) + "/file" + (i < 10 ? "00" : i < 100 ? "0" : "") +
                       std::to_string(i) + ".txt");
    if (i == 100 || i == 400) expected.push_back("new dup.txt");
    if (i == 200) expected.push_back("new clash");
    // A file's item starts before it is asked about or skipped.
    if (i == 300) expected.push_back("new clash/inner.txt"), expected.push_back("skip clash/inner.txt " + std::to_string(stGeneralExtractError));
    if (i == 400) expected.push_back("overwrite? dup.txt"), expected.push_back("skip dup.txt " + std::to_string(stNoOverwrite));
    if (i == 450) expected.push_back("new crc/bad.txt"), expected.push_back("crc crc/bad.txt");
    if (i == 500) expected.push_back("new exists.txt"), expected.push_back("overwrite? exists.txt"),
                  expected.push_back("skip exists.txt " + std::to_string(stNoOverwrite));
  }
  EXPECT_EQ(events, expected);
  EXPECT_EQ(ReadAll(dir / "out/dup.txt"), "first");
  EXPECT_EQ(ReadAll(dir / "out/clash"), "a file");
  EXPECT_EQ(ReadAll(dir / "out/exists.txt"), "old");
  EXPECT_EQ(ReadAll(dir / "out/f5/file125.txt"), [] {
    std::string s;
    for (int k = 0; k < 125 * 7 % 900; ++k) s += "line 125 ";
    return s;
  }());
  std::vector<std::string> tree = Tree(dir / "out");
  EXPECT_EQ(tree.size(), 600u + 12 + 3);  // files, their folders, dup, clash, exists
  EXPECT_FALSE(fs::exists(dir / "out/crc"));
}

TEST_F(ZipOrderTest, ACancelledExtractionLeavesNoFileOfTheEntriesAfterIt) {
  cancelAt = 150;
  ExtractTo(P("many.zip"), P("out"));
  ASSERT_EQ(items.size(), 150u);
  // The entry that was being extracted when the cancel came is not kept either.
  std::vector<std::string> expected;
  for (size_t k = 0; k + 1 < items.size(); ++k) expected.push_back(items[k]);
  std::vector<std::string> files;
  for (auto& f : Tree(dir / "out"))
    if (fs::is_regular_file(dir / "out" / f)) files.push_back(f);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(files, expected);
  for (auto& f : Tree(dir / "out"))
    if (fs::is_directory(dir / "out" / f)) {
      EXPECT_FALSE(fs::is_empty(dir / "out" / f)) << f;
    }
}

// An extraction that ends by an exception (here a callback's) removes the files written ahead
// for the entries after it, as a cancel does. The callback throws only once a later entry's file
// is on disk, where workers write ahead.
TEST_F(ZipOrderTest, AnExtractionEndedByAnExceptionLeavesNoFileOfTheEntriesAfterIt) {
  void* lib = dlopen(VT_ZIP_LIB_DIR "/libunzdll.so", RTLD_NOW);
  ASSERT_NE(lib, nullptr);
  auto exec = reinterpret_cast<TUnzExecFn>(dlsym(lib, "UnzDllExec"));
  ASSERT_NE(exec, nullptr);
  static fs::path out;
  static std::vector<std::string> started;
  out = dir / "out";
  started.clear();
  fs::create_directories(out);
  TUnzParams p {};
  p.Callback = [](TZipCallbackRecord* r) -> int32_t {
    if (r->ActionCode != kcbNewItem) return 0;
    std::string name = r->Text;
    if (name == "f6/file150.txt") {
      for (int k = 0; zipfmt::WorkerCount(2) > 0 && k < 3000 && !fs::exists(out / "f7/file151.txt"); ++k)
        usleep(10000);
      throw std::runtime_error("callback failed");
    }
    started.push_back(name);
    return 0;
  };
  std::string archive = P("many.zip"), base = out.string();
  p.Password = "";
  p.Quiet = -1;
  p.DirNames = -1;
  p.ArchiveName = archive.c_str();
  p.BaseDir = base.c_str();
  p.PasswordRepeat = 1;
  p.Check = kParamsCheck;
  EXPECT_EQ(exec(&p), -1);
  dlclose(lib);
  std::vector<std::string> files;
  for (auto& f : Tree(out))
    if (fs::is_regular_file(out / f)) files.push_back(f);
  std::sort(started.begin(), started.end());
  EXPECT_EQ(files, started);
  for (auto& f : Tree(out))
    if (fs::is_directory(out / f)) {
      EXPECT_FALSE(fs::is_empty(out / f)) << f;
    }
}

// A job that throws (an allocation of a size an archive declares) reaches the caller as the
// item's failure; the other items' results still come in order.
TEST(ZipOrderedPool, AJobThatThrowsIsReportedToTheCallerNotTheProcess) {
  zipfmt::TOrderedPool<int> pool(6, 3, 1 << 20,
                                 {[](size_t) { return true; }, [](size_t) { return uint64_t(1); },
                                  [](size_t i) -> int {
                                    if (i == 2) throw std::bad_alloc();
                                    return static_cast<int>(i) * 10;
                                  }});
  auto tick = [] { return true; };
  EXPECT_EQ(pool.Take(0, tick), 0);
  EXPECT_EQ(pool.Take(1, tick), 10);
  EXPECT_THROW(pool.Take(2, tick), std::bad_alloc);
  EXPECT_EQ(pool.Take(5, tick), 50);
}

// The result the caller has in hand still counts against the cap until it asks for the next
// one, so that the workers cannot fill the cap again while the caller is busy with it.
TEST(ZipOrderedPool, AResultInTheCallersHandCountsUntilItTakesTheNext) {
  zipfmt::TOrderedPool<int> pool(2, 1, 100,
                                 {[](size_t) { return true; }, [](size_t) { return uint64_t(40); },
                                  [](size_t i) { return static_cast<int>(i) * 10; }});
  auto tick = [] { return true; };
  EXPECT_EQ(pool.Take(0, tick), 0);
  EXPECT_EQ(pool.Take(1, tick), 10);
  EXPECT_EQ(pool.Held(), 40u);  // item 1 only: item 0 was let go when item 1 was asked for
}

}  // namespace
