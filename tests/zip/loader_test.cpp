// Loading of the libraries: version limits, hold bits, missing libraries and embedded copies.
#include "platform/kernel.h"
#include "tests/zip/zip_fixture.h"

namespace {

template <class Loader, class Record>
concept RunsWith = requires(Loader& l, Record* r) { l.Exec(r); };

std::string Fake(int version) { return std::string(VT_FAKE_LIB_DIR) + "/v" + std::to_string(version); }

TEST_F(ZipTest, LibraryVersionsOutsideTheLimitsAreRefused) {
  for (int v : {152, 301}) {
    zip->SetDLLDirectory(Fake(v));
    EXPECT_EQ(zip->LoadUnzipLibrary(), 0) << v;
    EXPECT_EQ(zip->ErrCode(), 10651) << v;
    EXPECT_FALSE(zip->UnzDll()->Loaded());
    EXPECT_EQ(zip->UnzDll()->HoldBits(), 0u);
    EXPECT_NE(zip->Message().find(Fake(v)), std::string::npos) << zip->Message();
  }
  // 153 passes the loader but not the component's minimum; 300 passes both.
  zip->SetDLLDirectory(Fake(153));
  EXPECT_EQ(zip->LoadZipLibrary(), 0);
  EXPECT_EQ(zip->ErrCode(), 10651);
  zip->SetDLLDirectory(Fake(300));
  EXPECT_EQ(zip->LoadZipLibrary(), 300);
  zip->UnloadZipLibrary();
  // The unzip library needs 172, the zip library 173.
  zip->SetDLLDirectory(Fake(172));
  EXPECT_EQ(zip->LoadUnzipLibrary(), 172);
  EXPECT_EQ(zip->LoadZipLibrary(), 0);
  EXPECT_EQ(zip->ErrCode(), 10651);
}

TEST_F(ZipTest, TheUserHoldIsOneBitAndKeepsTheLibraryAcrossRuns) {
  WriteAll(dir / "a.txt", "a");
  ASSERT_EQ(AddFiles(P("a.zip"), {P("a.txt")}), 1);
  EXPECT_FALSE(zip->ZipDll()->Loaded());
  zip->LoadUnzipLibrary();
  zip->LoadUnzipLibrary();
  EXPECT_EQ(zip->UnzDll()->HoldBits(), TZipLibLoader::hbUser);
  EXPECT_EQ(ExtractTo(P("a.zip"), P("out")), 1);
  EXPECT_TRUE(zip->UnzDll()->Loaded());
  EXPECT_NE(zip->UnzDll()->LibraryName().find("libunzdll.so"), std::string::npos);
  zip->UnloadUnzipLibrary();
  EXPECT_FALSE(zip->UnzDll()->Loaded());
  EXPECT_EQ(zip->UnzDll()->Version(), 0);
}

TEST_F(ZipTest, ALibraryThatCannotBeLoadedIsReportedWithItsPath) {
  WriteAll(dir / "broken/libzipdll.so", "not a library");
  zip->SetDLLDirectory(P("broken"));
  EXPECT_EQ(zip->LoadZipLibrary(), 0);
  EXPECT_EQ(zip->ErrCode(), 10650);
  EXPECT_NE(zip->Message().find(P("broken/ZIPDLL.DLL")), std::string::npos) << zip->Message();
  EXPECT_EQ(LoadLibrary(P("nowhere/ZIPDLL.DLL")), nullptr);
  zip->SetDLLDirectory(P("nowhere"));
  EXPECT_EQ(zip->DLLDirectory(), P("nowhere"));
  zip->SetDLLDirectory(P("nowhere") + "/");
  EXPECT_EQ(zip->DLLDirectory(), P("nowhere"));
}

TEST(ZipLibLoader, PathJoinPutsExactlyOneDelimiter) {
  EXPECT_EQ(TZipLibLoader::PathJoin("/a", "b"), "/a/b");
  EXPECT_EQ(TZipLibLoader::PathJoin("/a/", "/b"), "/a/b");
  EXPECT_EQ(TZipLibLoader::PathJoin("/a/", "b"), "/a/b");
  EXPECT_EQ(TZipLibLoader::PathJoin("C:", "b"), "C:b");
  EXPECT_EQ(TZipLibLoader::PathJoin("/a", ""), "/a");
}

// Resources of a build that embeds a library copy.
class FakeResources : public TZipResourceReader {
public:
  std::string image, version = "18500";
  int storage = 0;
  AnsiString VersionString(int) override { return version; }
  bool Resource(int, std::string& bytes) override {
    bytes = std::string(1, static_cast<char>(storage)) + std::string(5, '\0') + image;
    return true;
  }
  int64_t LzExpand(const AnsiString& source, const AnsiString& target) override {
    fs::copy_file(source, target);
    return static_cast<int64_t>(fs::file_size(source));
  }
};

TEST_F(ZipTest, ANewerEmbeddedCopyIsWrittenOutAndPreferred) {
  auto res = std::make_shared<FakeResources>();
  res->image = ReadAll(fs::path(VT_ZIP_LIB_DIR) / "libzipdll.so");
  for (int storage : {0, 2}) {
    res->storage = storage;
    TZipLibLoader::SetResourceReader(res);
    auto k = std::make_unique<TZipKeeper>(nullptr);
    k->Unattended = true;
    k->TempDir = P("tmp");
    fs::create_directories(dir / "tmp");
    k->SetDLLDirectory(VT_ZIP_LIB_DIR);
    EXPECT_EQ(k->LoadZipLibrary(), 180) << storage;
    AnsiString copy = k->ZipDll()->TempCopyName();
    EXPECT_EQ(copy.rfind(P("tmp/ZMZ"), 0), 0u) << copy;
    EXPECT_EQ(k->ZipDll()->LibraryName(), copy);
    k->UnloadZipLibrary();
    k.reset();
    EXPECT_FALSE(fs::exists(copy)) << "the copy goes with its loader";
  }
  // An embedded version not above the acceptable build is never written out.
  res->version = "17300";
  TZipLibLoader::SetResourceReader(res);
  EXPECT_EQ(zip->LoadZipLibrary(), 180);
  EXPECT_TRUE(zip->ZipDll()->TempCopyName().empty());
  TZipLibLoader::SetResourceReader(nullptr);
}

}  // namespace

namespace {

// Each execute entry is called through its own type: a loader takes only its kind's record.
TEST(ZipLibLoader, EachKindRunsWithItsOwnRecordOnly) {
  EXPECT_TRUE((RunsWith<TZipDll, TZipParams>));
  EXPECT_TRUE((RunsWith<TUnzDll, TUnzParams>));
  EXPECT_FALSE((RunsWith<TZipDll, TUnzParams>));
  EXPECT_FALSE((RunsWith<TUnzDll, TZipParams>));
  EXPECT_FALSE((RunsWith<TUnzDll, void>));
}

}  // namespace
