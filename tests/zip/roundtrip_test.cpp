// Archives written by our zip library are read by Info-ZIP and Python; archives written by
// Info-ZIP are extracted by ours.
#include "tests/zip/zip_fixture.h"

namespace {

std::string Pseudo(size_t n, unsigned seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) {
    seed = seed * 1103515245u + 12345u;
    s[i] = static_cast<char>(i % 7 == 0 ? (seed >> 16) : 'a' + (i / 13) % 26);
  }
  return s;
}

}  // namespace

TEST_F(ZipTest, ArchivesWeWriteAreAcceptedByInfoZipAndPython) {
  WriteAll(dir / "in/a.txt", "hello, world\n");
  WriteAll(dir / "in/sub/b.html", Pseudo(300000, 1));
  WriteAll(dir / "in/empty.txt", "");
  WriteAll(dir / "in/pic.png", Pseudo(5000, 2));
  // A name that is not UTF-8, as Unix file systems allow.
  WriteAll(dir / "in/bad\xFF.txt", "bad");
  zip->AddOptions = {AddDirNames, AddRecurseDirs, AddSeparateDirs};
  zip->RootDir = P("in");
  EXPECT_EQ(AddFiles(P("out.zip"), {"*.*"}), 6);
  EXPECT_EQ(Shell("unzip -t " + P("out.zip")), 0);
  // Python reads every name (the UTF-8 flag only on valid UTF-8), and each entry's local header
  // asks for the version its central header asks for.
  EXPECT_EQ(Shell("python3 -c \"import zipfile,sys,struct; z=zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; "
                  "assert sorted(z.namelist())==['a.txt','bad\u00a0.txt','empty.txt','pic.png','sub/','sub/b.html']; "
                  "raw=open(sys.argv[1],'rb').read(); "
                  "assert all(struct.unpack_from('<H',raw,i.header_offset+4)[0]==i.extract_version for i in z.infolist())\" " +
                  P("out.zip")), 0);
  EXPECT_EQ(zip->Count(), 5);
  EXPECT_EQ(zip->ErrCode(), 0);
  // The png is stored as it is, the html compressed.
  for (int i = 0; i < zip->Count(); ++i) {
    const ZipDirEntry& e = zip->DirEntry(i);
    if (e.FileName == "pic.png") {
      EXPECT_EQ(e.Method, 0);
    }
    if (e.FileName == "sub/b.html") {
      EXPECT_EQ(e.Method, 8);
    }
  }
  zip->ExtrOptions = {ExtrDirNames};
  EXPECT_EQ(ExtractTo(P("out.zip"), P("back")), 5);
  EXPECT_EQ(ReadAll(dir / "back/sub/b.html"), ReadAll(dir / "in/sub/b.html"));
  EXPECT_EQ(ReadAll(dir / "back/bad\xFF.txt"), "bad");
  EXPECT_EQ(ReadAll(dir / "back/empty.txt"), "");
}

TEST_F(ZipTest, ArchivesOfInfoZipAreExtracted) {
  WriteAll(dir / "src/d/one.txt", Pseudo(70000, 3));
  WriteAll(dir / "src/two.bin", Pseudo(100, 4));
  ASSERT_EQ(Shell("cd " + P("src") + " && zip -r -0 ../stored.zip . && zip -r -9 ../deflated.zip . && "
                  "zip -r -P secret ../locked.zip ."), 0);
  zip->ExtrOptions = {ExtrDirNames};
  EXPECT_EQ(ExtractTo(P("stored.zip"), P("s")), 2);
  EXPECT_EQ(ReadAll(dir / "s/d/one.txt"), ReadAll(dir / "src/d/one.txt"));
  EXPECT_EQ(ExtractTo(P("deflated.zip"), P("f")), 2);
  EXPECT_EQ(ReadAll(dir / "f/two.bin"), ReadAll(dir / "src/two.bin"));
  zip->Password = "secret";
  EXPECT_EQ(ExtractTo(P("locked.zip"), P("l")), 2);
  EXPECT_EQ(ReadAll(dir / "l/d/one.txt"), ReadAll(dir / "src/d/one.txt"));
}
