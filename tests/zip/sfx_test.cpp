// Self-extracting archives: the settings header, the archive appended behind a stub with its
// offsets moved (Info-ZIP reads the result), and the icon replaced in a Windows image.
#include "tests/zip/zip_fixture.h"
#include "zip/component/zip_sfx.h"

namespace {

void Put16(std::string& s, size_t at, uint32_t v) { s[at] = char(v & 0xFF), s[at + 1] = char(v >> 8 & 0xFF); }
void Put32(std::string& s, size_t at, uint32_t v) { Put16(s, at, v & 0xFFFF), Put16(s, at + 2, v >> 16); }

// A small Windows image with one section that holds one icon resource of 16 bytes.
std::string SyntheticPe() {
  std::string pe(0x300, '\0');
  pe[0] = 'M', pe[1] = 'Z';
  Put32(pe, 60, 64);
  pe[64] = 'P', pe[65] = 'E';
  Put16(pe, 64 + 6, 1);                   // one section
  Put32(pe, 64 + 136, 0x1000);            // resource directory address
  Put32(pe, 64 + 140, 0x100);             // and size
  Put32(pe, 64 + 248 + 12, 0x1000);       // section: virtual address
  Put32(pe, 64 + 248 + 20, 0x200);        // raw data position
  size_t r = 0x200;
  Put16(pe, r + 14, 1), Put32(pe, r + 16, 3), Put32(pe, r + 20, 0x80000018);          // type 3
  Put16(pe, r + 0x18 + 14, 1), Put32(pe, r + 0x28, 1), Put32(pe, r + 0x2C, 0x80000030);  // id 1
  Put16(pe, r + 0x30 + 14, 1), Put32(pe, r + 0x40, 0x409), Put32(pe, r + 0x44, 0x48);   // language
  Put32(pe, r + 0x48, 0x1060), Put32(pe, r + 0x4C, 16);                                // data entry
  for (int i = 0; i < 16; ++i) pe[r + 0x60 + i] = 'o';
  return pe;
}

// An icon file with images of the given sizes, filled with 'n'.
std::string Icon(std::vector<uint32_t> sizes) {
  std::string ico(6 + 16 * sizes.size(), '\0');
  Put16(ico, 2, 1);
  Put16(ico, 4, static_cast<uint32_t>(sizes.size()));
  for (size_t i = 0; i < sizes.size(); ++i) {
    Put32(ico, 6 + 16 * i + 8, sizes[i]);
    Put32(ico, 6 + 16 * i + 12, static_cast<uint32_t>(ico.size()));
    ico += std::string(sizes[i], 'n');
  }
  return ico;
}

TEST(ZipSfxHeader, LayoutAndReadingBack) {
  TZipSFX sfx(nullptr);
  std::string h = sfx.HeaderBytes();
  EXPECT_EQ(h.size(), 28u);
  EXPECT_EQ(h.substr(0, 6), std::string("KV\0\x01\x14\0", 6));
  EXPECT_EQ(h.substr(20), std::string("KV\x0A\x01\x14\0\0\0", 8));
  sfx.DialogTitle = "Title";
  sfx.CommandLine = "run.bat";
  sfx.Options = {soAskFiles, soAutoRun};
  sfx.OverwriteMode = somSkip;
  sfx.MessageFlags = 65;
  h = sfx.HeaderBytes();
  EXPECT_EQ(h.size(), 32u + 8u);  // 18 + 12 rounded to 32, then the trailer
  TZipSFX back(nullptr);
  ASSERT_TRUE(back.ReadHeader("stub" + h, 4 + h.size()));
  EXPECT_EQ(back.DialogTitle, "Title");
  EXPECT_EQ(back.CommandLine, "run.bat");
  EXPECT_EQ(back.Options, (TSFXOptions{soAskFiles, soAutoRun}));
  EXPECT_EQ(back.OverwriteMode, somSkip);
  EXPECT_EQ(back.MessageFlags, 65u);
  EXPECT_FALSE(back.ReadHeader(h, h.size() - 1));
  // The older form: "MPV", flags, the title at 8, then path, command line and message.
  std::string old = std::string("MPV\x51", 4) + std::string(4, '\0') + "\x02Hi" + "\x01P" + std::string(1, '\0') + "\x03\x01Go";
  ASSERT_TRUE(back.ReadOldHeader("xx" + old, 2 + old.size()));
  EXPECT_EQ(back.DialogTitle, "Hi");
  EXPECT_EQ(back.DefaultExtractPath, "P");
  EXPECT_EQ(back.Message, "Go");
  EXPECT_EQ(back.MessageFlags, 65u);
  EXPECT_EQ(back.OverwriteMode, somSkip);
  EXPECT_TRUE(back.Options.Contains(soAskCmdLine) && back.Options.Contains(soAutoRun) &&
              back.Options.Contains(soCheckAutoRunFileName));
  sfx.Message = std::string(256, 'm');
  EXPECT_THROW(sfx.HeaderBytes(), EZipLibError);
}

TEST_F(ZipTest, SelfExtractingArchivesAreReadByInfoZip) {
  WriteAll(dir / "KVSFXUS.BIN", "MZ" + std::string(510, 's'));
  WriteAll(dir / "in/a.txt", std::string(3000, 'a'));
  WriteAll(dir / "in/b.txt", "b");
  // A new ".exe" archive starts as stub + header + an empty end record, then gets its entries.
  zip->SFXPath = P("KVSFXUS.BIN");
  zip->SFXCaption = "Setup";
  ASSERT_EQ(AddFiles(P("setup.exe"), {P("in/a.txt"), P("in/b.txt")}), 2);
  std::string exe = ReadAll(dir / "setup.exe");
  EXPECT_EQ(exe.substr(0, 512), ReadAll(dir / "KVSFXUS.BIN"));
  EXPECT_EQ(exe.substr(512, 4), std::string("KV\0\x01", 4));
  EXPECT_EQ(Shell("unzip -t " + P("setup.exe")), 0);
  EXPECT_EQ(zip->ArchiveDataStart(), 512 + 32);
  // An archive that already carries a stub is appended whole, its offsets moved again.
  TZipSFX sfx(nullptr);
  sfx.SFXPath = P("KVSFXUS.BIN");
  sfx.SourceFile = P("setup.exe");
  sfx.TargetFile = P("twice.exe");
  sfx.Build();
  EXPECT_EQ(Shell("unzip -t " + P("twice.exe")), 0);
  EXPECT_EQ(ExtractTo(P("twice.exe"), P("out")), 2);
  EXPECT_EQ(ReadAll(dir / "out/a.txt"), std::string(3000, 'a'));
  // Without a stub nothing is written.
  sfx.SFXPath = P("missing.bin");
  sfx.TargetFile = P("none.exe");
  EXPECT_THROW(sfx.Build(), EZipLibError);
  EXPECT_FALSE(fs::exists(dir / "none.exe"));
}

TEST_F(ZipTest, IconReplacementInAWindowsImage) {
  WriteAll(dir / "app.exe", SyntheticPe());
  TCustomZipSFX::ReplaceIcon(P("app.exe"), Icon({8, 16}));
  EXPECT_EQ(ReadAll(dir / "app.exe").substr(0x260, 16), std::string(16, 'n'));
  auto error = [&](const std::string& image, const std::string& ico) {
    WriteAll(dir / "x.exe", image);
    try {
      TCustomZipSFX::ReplaceIcon(P("x.exe"), ico);
    } catch (const EZipLibError& e) {
      return std::string(e.Message());
    }
    return std::string();
  };
  EXPECT_EQ(error(SyntheticPe(), Icon({8, 32})), "No matching icon found.");
  EXPECT_EQ(error(SyntheticPe(), std::string(6, '\0')), "No icon found.");
  std::string noRes = SyntheticPe();
  Put32(noRes, 64 + 136, 0);
  EXPECT_EQ(error(noRes, Icon({16})), "No resources found in executable.");
  std::string noIcon = SyntheticPe();
  Put32(noIcon, 0x200 + 16, 14);
  EXPECT_EQ(error(noIcon, Icon({16})), "No icon resources found in executable.");
  EXPECT_EQ(error("not an image at all, but long enough to hold a header of sixty-four bytes", Icon({16})),
            std::string(ZipMessageText(10902)));
}

}  // namespace
