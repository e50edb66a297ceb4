// End records as other tools write them: a Zip64 end record beside real values, a comment cut
// off by the file's end, and a directory larger than anything worth holding in memory.
#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "tests/zip/zip_fixture.h"
#include "zip/libs/common/zip_format.h"

namespace {

class ZipEndRecordTest : public ZipTest {
protected:
  std::vector<std::string> Names() {
    std::vector<std::string> r;
    for (int i = 0; i < zip->Count(); ++i) r.push_back(zip->DirEntry(i).FileName);
    return r;
  }
  static long Kb(const char* field) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
      if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1;
  }
};

TEST_F(ZipEndRecordTest, AZip64EndRecordBesideRealValuesIsUsedByBothReaders) {
  // Info-ZIP writes a Zip64 end record for piped input; the end record holds real values too.
  ASSERT_EQ(Shell("cd " + dir.string() + " && echo hello | zip -q pipe.zip -"), 0);
  // The same archive behind a stub whose length its offsets do not count.
  WriteAll(dir / "stubbed.zip", std::string(1000, 'S') + ReadAll(dir / "pipe.zip"));
  for (const char* name : {"pipe.zip", "stubbed.zip"}) {
    messages.clear();
    zip->SetZipFileName(P(name));
    // Behind the stub the directory is not where the end record says: a warning only.
    EXPECT_EQ(zip->ErrCode(), std::string(name) == "pipe.zip" ? 0 : 10203) << name;
    EXPECT_EQ(Names(), std::vector<std::string>{"-"}) << name;
    EXPECT_EQ(ExtractTo(P(name), P(std::string("x-") + name)), 1) << name;
    EXPECT_EQ(ReadAll(dir / ("x-" + std::string(name)) / "-"), "hello\n") << name;
  }
}

TEST_F(ZipEndRecordTest, ACommentThatRunsPastTheEndIsTakenAsFarAsItGoes) {
  WriteAll(dir / "in/a.txt", "some text");
  zip->RootDir = P("in");
  ASSERT_EQ(AddFiles(P("cut.zip"), {"a.txt"}), 1);
  // The end record is the archive's last 22 bytes; its comment length says 10 more follow.
  std::string raw = ReadAll(dir / "cut.zip");
  raw[raw.size() - 2] = 10;
  WriteAll(dir / "cut.zip", raw);
  ASSERT_EQ(Shell("unzip -tq " + P("cut.zip")), 0);
  messages.clear();
  zip->SetZipFileName(P("cut.zip"));
  EXPECT_EQ(Names(), std::vector<std::string>{"a.txt"});
  EXPECT_EQ(zip->ErrCode(), 0);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(ExtractTo(P("cut.zip"), P("x")), 1);
  EXPECT_EQ(ReadAll(dir / "x/a.txt"), "some text");
}

TEST_F(ZipEndRecordTest, DeclaredSizesAreReadInBlocksOfBoundedSize) {
  // An end record that declares a directory of 256 MB: nothing but zeros stand there.
  const uint32_t declared = 256u << 20;
  {
    int fd = open(P("huge.zip").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, declared), 0);
    std::string end = "PK\x05\x06";
    end += std::string("\0\0\0\0\1\0\1\0", 8);
    for (int i = 0; i < 4; ++i) end += static_cast<char>(declared >> (8 * i));
    end += std::string(6, '\0');
    ASSERT_EQ(pwrite(fd, end.data(), end.size(), declared), static_cast<ssize_t>(end.size()));
    close(fd);
  }
  // The unzip library's reader (the component's reads header by header).
  FILE* f = fopen(P("huge.zip").c_str(), "rb");
  ASSERT_NE(f, nullptr);
  long before = Kb("VmRSS:");
  std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
  zipfmt::TCentralDirectory cd;
  std::string error;
  EXPECT_FALSE(zipfmt::ReadCentralDirectory(f, cd, error));
  fclose(f);
  EXPECT_EQ(error, "damaged central directory");
  EXPECT_LT(Kb("VmHWM:") - before, 64 * 1024) << "the peak grew by more than 64 MB";

  // An entry of 1 KB whose compressed data is declared (and stands, as a hole) 200 MB long.
  ASSERT_EQ(Shell("python3 -c \"\nimport struct\n"
                  "f = open('" + P("long.zip") + "', 'wb')\n"
                  "size = 200 << 20\n"
                  "f.write(struct.pack('<IHHHHHIIIHH', 0x04034B50, 20, 0, 8, 0, 0, 0, size, 1024, 5, 0) + b'a.txt')\n"
                  "f.seek(35 + size)\n"
                  "cd = struct.pack('<IHHHHHHIIIHHHHHII', 0x02014B50, 20, 20, 0, 8, 0, 0, 0, size, 1024, 5, 0, 0, 0, 0, 0, 0) + b'a.txt'\n"
                  "f.write(cd + struct.pack('<IHHHHIIH', 0x06054B50, 0, 0, 1, 1, len(cd), 35 + size, 0))\n\""),
            0);
  before = Kb("VmRSS:");
  std::ofstream("/proc/self/clear_refs") << "5";
  EXPECT_EQ(ExtractTo(P("long.zip"), P("x")), 0);
  EXPECT_FALSE(fs::exists(dir / "x/a.txt"));
  EXPECT_LT(Kb("VmHWM:") - before, 64 * 1024) << "the peak grew by more than 64 MB";
}

}  // namespace
