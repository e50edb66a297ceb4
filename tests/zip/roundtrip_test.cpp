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
  zip->AddOptions = {AddDirNames, AddRecurseDirs};
  zip->RootDir = P("in");
  EXPECT_EQ(AddFiles(P("out.zip"), {"*.*"}), 4);
  EXPECT_EQ(Shell("unzip -t " + P("out.zip")), 0);
  EXPECT_EQ(Shell("python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; "
                  "assert sorted(z.namelist())==['a.txt','empty.txt','pic.png','sub/b.html']\" " + P("out.zip")), 0);
  EXPECT_EQ(zip->Count(), 4);
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
  EXPECT_EQ(ExtractTo(P("out.zip"), P("back")), 4);
  EXPECT_EQ(ReadAll(dir / "back/sub/b.html"), ReadAll(dir / "in/sub/b.html"));
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
