// The directory reader on archives of Info-ZIP, Python and our library.
#include "tests/zip/zip_fixture.h"

namespace {

class ZipDirectoryTest : public ZipTest {
protected:
  int updates = 0, named = 0;
  void SetUp() override {
    ZipTest::SetUp();
    ASSERT_EQ(Shell("python3 " + std::string(VT_ZIP_TEST_DIR) + "/make_listing_archives.py " + P("a")), 0);
    zip->OnDirUpdate = TNotifyEvent(this, &ZipDirectoryTest::Updated);
    zip->OnNewName = TZipNewNameEvent(this, &ZipDirectoryTest::Named);
    zip->OnProgress = TZipProgressEvent(this, &ZipDirectoryTest::Progressed);
  }
  void Updated(TObject*) { ++updates; }
  void Named(TObject*, int seq, const ZipDirEntry&) { named = seq; }
  std::vector<std::string> started;
  void Progressed(TObject*, ProgressType type, const AnsiString& name, uint64_t) {
    if (type == NewFile) started.push_back(AnsiToUtf8(name));
  }
  std::vector<std::string> Names() {
    std::vector<std::string> r;
    for (int i = 0; i < zip->Count(); ++i) r.push_back(AnsiToUtf8(zip->DirEntry(i).FileName));
    return r;
  }
};

TEST_F(ZipDirectoryTest, InfoZipArchivesWithCommentsFoldersAndCyrillicNames) {
  WriteAll(dir / "src/папка/привет.txt", "hello");
  WriteAll(dir / "src/b.txt", "b");
  ASSERT_EQ(Shell("cd " + P("src") + " && zip -r ../iz.zip . && echo 'the comment' | zip -z ../iz.zip"), 0);
  zip->SetZipFileName(P("iz.zip"));
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.txt", "папка/привет.txt"}));
  EXPECT_EQ(named, 2);
  EXPECT_EQ(zip->DirOnlyCount(), 1);
  EXPECT_EQ(zip->ZipComment().substr(0, 11), "the comment");
  zip->UseDirOnlyEntries = true;
  zip->ReadDirectory();
  EXPECT_EQ(zip->Count(), 3);
  // Our own archive of the same files lists the same names.
  zip->AddOptions = {AddDirNames, AddRecurseDirs};
  zip->RootDir = P("src");
  zip->UseDirOnlyEntries = false;
  ASSERT_EQ(AddFiles(P("ours.zip"), {"*.*"}), 2);
  EXPECT_EQ(Names(), (std::vector<std::string>{"b.txt", "папка/привет.txt"}));
}

TEST_F(ZipDirectoryTest, DosNamesCommentsPaddingStubsAndZip64) {
  zip->SetZipFileName(P("a/dos.zip"));
  EXPECT_EQ(Names(), std::vector<std::string>{"тест.txt"});
  zip->CodePage = cpNone;
  zip->ReadDirectory();
  EXPECT_NE(Names(), std::vector<std::string>{"тест.txt"});
  zip->CodePage = cpAuto;
  // The dos name is written to disk in the file system's form.
  EXPECT_EQ(ExtractTo(P("a/dos.zip"), P("dos")), 1);
  EXPECT_TRUE(fs::exists(dir / "dos/тест.txt"));
  // An NTFS host's name in the ANSI code page: listed, matched and written as one name.
  zip->SetZipFileName(P("a/ntfs.zip"));
  ASSERT_EQ(Names(), std::vector<std::string>{"привет.txt"});
  EXPECT_EQ(ExtractTo(P("a/ntfs.zip"), P("ntfs"), {zip->DirEntry(0).FileName}), 1);
  EXPECT_EQ(ReadAll(dir / "ntfs/привет.txt"), "ntfs");
  // A Unix host's names in the ANSI code page, not UTF-8 (C0 leads no character; ED AB A8 would
  // be a surrogate): listed and reported as that text, matched by it and written as their bytes.
  zip->SetZipFileName(P("a/unix1251.zip"));
  ASSERT_EQ(Names(), (std::vector<std::string>{"А№1.txt", "1н«Ё.txt"}));
  started.clear();
  EXPECT_EQ(ExtractTo(P("a/unix1251.zip"), P("unix"), {zip->DirEntry(0).FileName, zip->DirEntry(1).FileName}), 2);
  EXPECT_EQ(started, (std::vector<std::string>{"А№1.txt", "1н«Ё.txt"}));
  EXPECT_EQ(ReadAll(dir / "unix/\xC0\xB9" "1.txt"), "one");
  EXPECT_EQ(ReadAll(dir / "unix/1\xED\xAB\xA8.txt"), "two");

  zip->SetZipFileName(P("a/comment.zip"));
  EXPECT_EQ(zip->ZipComment(), "0123456789");
  messages.clear();
  zip->SetZipFileName(P("a/padded.zip"));
  EXPECT_EQ(zip->Count(), 1);
  EXPECT_TRUE(messages.empty());
  zip->SetZipFileName(P("a/trailing.zip"));
  EXPECT_EQ(zip->Count(), 1);
  EXPECT_EQ(zip->ErrCode(), 10204);

  // A stub put in front without moving the offsets: the directory is found where it is.
  zip->SetZipFileName(P("a/stub.zip"));
  EXPECT_EQ(zip->Count(), 1);
  EXPECT_EQ(zip->ErrCode(), 10203);
  EXPECT_EQ(ExtractTo(P("a/stub.zip"), P("stub")), 1);
  EXPECT_EQ(ReadAll(dir / "stub/a.txt"), "a");

  zip->SetZipFileName(P("a/many.zip"));
  EXPECT_EQ(zip->Count(), 65540);
  EXPECT_EQ(AnsiToUtf8(zip->DirEntry(65539).FileName), "f65539");

  // Sizes beyond 32 bits, as the Zip64 extra field gives them.
  zip->SetZipFileName(P("a/big.zip"));
  ASSERT_EQ(zip->Count(), 1);
  EXPECT_EQ(zip->DirEntry(0).UncompressedSize, 5000000000u);
  EXPECT_EQ(zip->DirEntry(0).CompressedSize, 4999999999u);
}

TEST_F(ZipDirectoryTest, DamagedDirectoriesAreReported) {
  // No end record at all: not a volume of a set.
  WriteAll(dir / "none.zip", std::string(300, 'z'));
  zip->SetZipFileName(P("none.zip"));
  EXPECT_EQ(zip->ErrCode(), 11036);
  // A central header with a wrong signature.
  std::string raw = ReadAll(dir / "a/comment.zip");
  size_t cd = raw.rfind(std::string("PK\x01\x02", 4));
  raw[cd + 3] = 9;
  WriteAll(dir / "badsig.zip", raw);
  zip->SetZipFileName(P("badsig.zip"));
  EXPECT_EQ(zip->ErrCode(), 11015);
  EXPECT_EQ(zip->Count(), 0);
  // An end record that claims far more entries than the file holds.
  raw = ReadAll(dir / "a/comment.zip");
  size_t end = raw.rfind(std::string("PK\x05\x06", 4));
  raw[end + 10] = '\xFF';
  raw[end + 11] = '\xFE';
  WriteAll(dir / "count.zip", raw);
  zip->SetZipFileName(P("count.zip"));
  EXPECT_NE(zip->ErrCode(), 0);
  EXPECT_LE(zip->Count(), 1);
}

}  // namespace
