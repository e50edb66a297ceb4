// Extraction never writes outside its base folder, stops at the declared sizes and reports
// damaged archives as errors.
#include "tests/zip/zip_fixture.h"

namespace {

class ZipSafetyTest : public ZipTest {
protected:
  std::vector<std::pair<std::string, int>> skipped;
  void SetUp() override {
    ZipTest::SetUp();
    ASSERT_EQ(Shell("python3 " + std::string(VT_ZIP_TEST_DIR) + "/make_bad_archives.py " + P("bad")), 0);
    zip->OnExtractSkipped = TZipExtractSkippedEvent(this, &ZipSafetyTest::Skipped);
    zip->ExtrOptions = {ExtrDirNames, ExtrOverWrite};
  }
  void Skipped(TObject*, const AnsiString& name, UnZipSkipTypes type, int) { skipped.emplace_back(name, type); }
};

TEST_F(ZipSafetyTest, NamesThatClimbOutAreSkippedAndReported) {
  EXPECT_EQ(ExtractTo(P("bad/climb.zip"), P("base/deep")), 1);
  EXPECT_TRUE(fs::exists(dir / "base/deep/ok/inside.txt"));
  EXPECT_EQ(skipped.size(), 5u);
  for (auto& s : skipped) EXPECT_EQ(s.second, stGeneralExtractError) << s.first;
  for (const char* n : {"base/evil1.txt", "evil1.txt", "base/deep/C:evil3.txt", "base/evil4.txt", "base/evil5.txt"})
    EXPECT_FALSE(fs::exists(dir / n)) << n;
  EXPECT_FALSE(fs::exists("/tmp/vt-evil-abs.txt"));
}

TEST_F(ZipSafetyTest, LinksAreNeitherMadeNorFollowed) {
  fs::create_directories(dir / "outside");
  fs::create_directories(dir / "base");
  fs::create_directory_symlink(dir / "outside", dir / "base/linked");
  EXPECT_EQ(ExtractTo(P("bad/links.zip"), P("base")), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "base/link")));
  EXPECT_FALSE(fs::exists(dir / "outside/file.txt"));
  EXPECT_EQ(skipped.size(), 2u);
}

TEST_F(ZipSafetyTest, FoldersMadeForAnEntryThatFailedAreRemoved) {
  EXPECT_EQ(ExtractTo(P("bad/deep.zip"), P("base")), 1);
  EXPECT_NE(zip->ErrCode(), 0);
  EXPECT_EQ(ReadAll(dir / "base/sub/ok.txt"), "ok");
  // The folder the good entry needed stays; the thousands made for the failed one go.
  std::vector<std::string> left;
  for (auto& e : fs::recursive_directory_iterator(dir / "base")) left.push_back(e.path().lexically_relative(dir / "base").string());
  EXPECT_EQ(left, (std::vector<std::string>{"sub", "sub/ok.txt"}));
}

TEST_F(ZipSafetyTest, DamagedArchivesGiveErrorsNotCrashes) {
  // The bomb stops at its declared size: nothing is written.
  EXPECT_EQ(ExtractTo(P("bad/bomb.zip"), P("b")), 0);
  EXPECT_FALSE(fs::exists(dir / "b/big.bin"));
  EXPECT_NE(zip->ErrCode(), 0);
  // Entries that share data are refused.
  EXPECT_EQ(ExtractTo(P("bad/overlap.zip"), P("o")), 1);
  EXPECT_EQ(skipped.back().second, stZipFileFormatWrong);
  EXPECT_EQ(ExtractTo(P("bad/damaged.zip"), P("d")), 0);
  EXPECT_FALSE(fs::exists(dir / "d/text.txt"));
  EXPECT_NE(zip->ErrCode(), 0);
  for (const char* a : {"bad/truncated.zip", "bad/garbage.zip"}) {
    messages.clear();
    EXPECT_EQ(ExtractTo(P(a), P("t")), 0) << a;
    EXPECT_NE(zip->ErrCode(), 0) << a;
    EXPECT_FALSE(messages.empty()) << a;
  }
  EXPECT_TRUE(fs::is_empty(dir / "t"));
}

}  // namespace
