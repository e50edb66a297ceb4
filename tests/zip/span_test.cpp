// Volume sets: written over many small volumes, read back and extracted, joined by Info-ZIP;
// overwrite and free-space questions; sets with a volume missing, out of order or with
// disagreeing numbers.
#include <random>

#include "platform/dialogs.h"
#include "tests/zip/zip_fixture.h"

namespace {

// Bytes that compress a little: random runs between repeated text.
std::string Data(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = (i / 64) % 3 == 0 ? static_cast<char>(rng()) : static_cast<char>('a' + i % 23);
  return s;
}

class SpanTest : public ZipTest {
protected:
  std::vector<std::string> names = {"a.txt", "sub/b.bin", "c.html", "empty.txt", "d.dat"};
  std::vector<std::pair<int, std::string>> statusCalls;
  TZipDiskAction answer = zdaOk, fullAnswer = zdaOk;

  void SetUp() override {
    ZipTest::SetUp();
    WriteAll(dir / "in/a.txt", Data(70000, 1));
    WriteAll(dir / "in/sub/b.bin", Data(150000, 2));
    WriteAll(dir / "in/c.html", std::string(40000, 'x'));
    WriteAll(dir / "in/empty.txt", "");
    WriteAll(dir / "in/d.dat", Data(9000, 3));
    fs::create_directories(dir / "tmp");
    zip->TempDir = P("tmp");
    zip->RootDir = P("in");
  }
  void Status(TObject*, int disk, const AnsiString& file, TZipDiskStatus status, TZipDiskAction& action) {
    statusCalls.emplace_back(disk, file + (status.Contains(zdsSameFileName) ? " same" : "") +
                                       (status.Contains(zdsNotEnoughSpace) ? " full" : ""));
    action = status.Contains(zdsNotEnoughSpace) ? fullAnswer : answer;
  }
  void WatchStatus() { zip->OnStatusDisk = TZipStatusDiskEvent(this, &SpanTest::Status); }
  // Writes the input folder as a set of volumes of at most `volume` bytes.
  int WriteSet(const std::string& target, int volume, SpanOpts span = {}) {
    zip->AddOptions = {AddDirNames, AddRecurseDirs, AddDiskSpan};
    zip->SpanOptions = span;
    zip->MaxVolumeSize = volume;
    zip->MinFreeVolumeSize = 1000;
    zip->AddCompLevel = 0;
    zip->RootDir = P("in");
    return AddFiles(target, {"*.*"});
  }
  std::vector<std::string> Files(const fs::path& p) {
    std::vector<std::string> r;
    for (auto& e : fs::directory_iterator(p)) r.push_back(e.path().filename().string());
    std::sort(r.begin(), r.end());
    return r;
  }
  // Whether every local header of the set in a folder lies whole on one volume.
  bool HeadersWhole(const fs::path& folder) {
    std::string all;
    std::vector<size_t> ends;
    for (auto& v : Files(folder)) ends.push_back((all += ReadAll(folder / v)).size());
    auto u16 = [&](size_t at) { return static_cast<size_t>(static_cast<uint8_t>(all[at]) | static_cast<uint8_t>(all[at + 1]) << 8); };
    size_t at = 4;
    for (size_t k = 0; k < names.size(); ++k) {
      if (all.compare(at, 4, "PK\x03\x04") != 0) return false;
      size_t headerEnd = at + 30 + u16(at + 26) + u16(at + 28);
      if (headerEnd > *std::upper_bound(ends.begin(), ends.end(), at)) return false;
      at = headerEnd + (u16(at + 18) | u16(at + 20) << 16);
    }
    return true;
  }
  void ExpectExtracted(const std::string& base) {
    for (auto& n : names) EXPECT_EQ(ReadAll(fs::path(base) / n), ReadAll(dir / "in" / n)) << n;
  }
};

}  // namespace

// The central headers a volume holds, and its end record's and Zip64 end record's counts of
// entries on this disk.
struct TOnDisk {
  size_t Headers = 0, EndRecord = 0, Zip64 = 0;
};
TOnDisk OnDisk(const fs::path& volume) {
  std::string v = ReadAll(volume);
  const std::string central("PK\x01\x02", 4);
  TOnDisk r;
  for (size_t at = v.find(central); at != std::string::npos; at = v.find(central, at + 4)) ++r.Headers;
  auto le = [&](size_t at, int width) {
    uint64_t x = 0;
    for (int k = width - 1; k >= 0; --k) x = x << 8 | static_cast<unsigned char>(v[at + k]);
    return static_cast<size_t>(x);
  };
  size_t end = v.rfind(std::string("PK\x05\x06", 4)), z64 = v.rfind(std::string("PK\x06\x06", 4));
  if (end != std::string::npos) r.EndRecord = le(end + 8, 2);
  if (z64 != std::string::npos) r.Zip64 = le(z64 + 24, 8);
  return r;
}

TEST_F(SpanTest, SetOfManyVolumesIsListedExtractedAndJoined) {
  fs::create_directories(dir / "out");
  EXPECT_EQ(WriteSet(P("out/set.zip"), 20000), 5);
  EXPECT_EQ(zip->ErrCode(), 0) << zip->Message();
  // Numbered volumes, none larger than asked, no archive under the name itself.
  std::vector<std::string> vols = Files(dir / "out");
  ASSERT_GE(vols.size(), 10u);
  for (size_t i = 0; i < vols.size(); ++i) {
    char want[32];
    snprintf(want, sizeof want, "set%03zu.zip", i + 1);
    EXPECT_EQ(vols[i], want);
    EXPECT_LE(fs::file_size(dir / "out" / vols[i]), 20000u);
  }
  EXPECT_TRUE(Files(dir / "tmp").empty());
  // The last volume names the set: listed and extracted byte for byte.
  zip->ExtrOptions = {ExtrDirNames};
  EXPECT_EQ(ExtractTo(P("out/" + vols.back()), P("x")), 5);
  EXPECT_TRUE(zip->Spanned());
  EXPECT_EQ(zip->Count(), 5);
  ExpectExtracted(P("x"));
  EXPECT_TRUE(Files(dir / "tmp").empty());

  // A first volume that would end inside a local header is closed before it.
  zip->AddOptions = {AddDirNames, AddRecurseDirs};
  ASSERT_EQ(AddFiles(P("plain.zip"), {"*.*"}), 5);
  std::vector<uint32_t> offsets;
  for (int i = 0; i < zip->Count(); ++i) offsets.push_back(zip->DirEntry(i).LocalHeaderOffset);
  for (uint32_t offset : offsets) {
    if (offset < 1000) continue;
    fs::remove_all(dir / "v");
    fs::create_directories(dir / "v");
    zip->MaxVolumeSize = static_cast<int>(offset) + 4 + 15;
    ASSERT_EQ(zip->WriteSpan(P("plain.zip"), P("v/set.zip")), 0);
    EXPECT_TRUE(HeadersWhole(dir / "v")) << offset;
  }
  // A directory over several volumes: the end record counts the central headers of its own.
  ASSERT_EQ(Shell("python3 -c \"import zipfile\nz = zipfile.ZipFile('" + P("thousand.zip") + "', 'w')\n"
                  "for i in range(1000): z.writestr('f%04d.txt' % i, b'x')\nz.close()\""), 0);
  fs::create_directories(dir / "t");
  zip->MaxVolumeSize = 20000;
  ASSERT_EQ(zip->WriteSpan(P("thousand.zip"), P("t/set.zip")), 0);
  TOnDisk last = OnDisk(dir / "t" / Files(dir / "t").back());
  EXPECT_GT(last.Headers, 0u);
  EXPECT_LT(last.Headers, 1000u);
  EXPECT_EQ(last.EndRecord, last.Headers);

  // Joined from the set's own name (its numbered volumes found): an archive Info-ZIP accepts.
  AnsiString joined = P("joined");
  EXPECT_EQ(zip->ReadSpan(P("out/set.zip"), joined), 0);
  EXPECT_EQ(joined, P("joined.zip"));
  EXPECT_EQ(Shell("unzip -t " + P("joined.zip")), 0);
}

TEST_F(SpanTest, InfoZipNamesAreJoinedByInfoZipAndItsSetsAreReadByOurs) {
  fs::create_directories(dir / "out");
  EXPECT_EQ(WriteSet(P("out/set.zip"), 30000, {spCompatName}), 5);
  std::vector<std::string> vols = Files(dir / "out");
  ASSERT_GE(vols.size(), 5u);
  EXPECT_EQ(vols.back(), "set.zip");
  EXPECT_EQ(vols[0], "set.z01");
  EXPECT_EQ(vols[vols.size() - 2], (vols.size() - 1 < 10 ? "set.z0" : "set.z") + std::to_string(vols.size() - 1));
  // The add re-read the set through its last volume.
  EXPECT_EQ(zip->Count(), 5);
  EXPECT_EQ(Shell("cd " + P("out") + " && zip -s 0 set.zip --out ../joined.zip"), 0);
  EXPECT_EQ(Shell("unzip -t " + P("joined.zip")), 0);
  zip->ExtrOptions = {ExtrDirNames};
  EXPECT_EQ(ExtractTo(P("out/set.zip"), P("x")), 5);
  ExpectExtracted(P("x"));

  // A set split by Info-ZIP (headers may run across its volumes) is read the same way.
  fs::create_directories(dir / "iz");
  ASSERT_EQ(Shell("cd " + P("in") + " && zip -0 -r -s 64k " + P("iz/set.zip") + " ."), 0);
  ASSERT_TRUE(fs::exists(dir / "iz/set.z02"));
  EXPECT_EQ(ExtractTo(P("iz/set.zip"), P("y")), 5);
  ExpectExtracted(P("y"));
  EXPECT_TRUE(Files(dir / "tmp").empty());
}

TEST_F(SpanTest, SetsOf65535EntriesOrMoreCarryZip64RecordsBothWays) {
  ASSERT_EQ(Shell("python3 -c \"import zipfile\nz = zipfile.ZipFile('" + P("many.zip") + "', 'w')\n"
                  "for i in range(70000): z.writestr('d%d/f%05d.txt' % (i % 50, i), b'x' * (i % 7))\nz.close()\""), 0);
  // Ours, with Info-ZIP's names: listed and read back by ours, joined by Info-ZIP.
  fs::create_directories(dir / "out");
  zip->SpanOptions = {spCompatName};
  zip->MaxVolumeSize = 2000000;
  zip->MinFreeVolumeSize = 1000;
  ASSERT_EQ(zip->WriteSpan(P("many.zip"), P("out/set.zip")), 0) << zip->Message();
  ASSERT_TRUE(fs::exists(dir / "out/set.z02"));
  // Both end records of the last volume count the central headers it holds, not the set's.
  TOnDisk last = OnDisk(dir / "out/set.zip");
  EXPECT_GT(last.Headers, 0u);
  EXPECT_LT(last.Headers, 70000u);
  EXPECT_EQ(last.Zip64, last.Headers);
  EXPECT_EQ(last.EndRecord, last.Headers);
  zip->ExtrOptions = {ExtrDirNames, ExtrTest};
  EXPECT_EQ(ExtractTo(P("out/set.zip"), P("x")), 70000);
  EXPECT_EQ(zip->Count(), 70000);
  EXPECT_EQ(Shell("cd " + P("out") + " && zip -s 0 set.zip --out ../joined.zip && unzip -tq ../joined.zip"), 0);
  // Info-ZIP's set of the same archive, read by ours.
  fs::create_directories(dir / "iz");
  ASSERT_EQ(Shell("zip " + P("many.zip") + " --out " + P("iz/set.zip") + " -s 1m"), 0);
  EXPECT_EQ(ExtractTo(P("iz/set.zip"), P("y")), 70000);
  EXPECT_EQ(zip->ErrCode(), 0) << zip->Message();
  EXPECT_TRUE(Files(dir / "tmp").empty());
}

TEST_F(SpanTest, AMovingAddWhoseVolumesFailKeepsTheMovedFiles) {
  fs::create_directories(dir / "out");
  WriteAll(dir / "out/set001.zip", "in the way");
  zip->AddOptions = {AddDirNames, AddRecurseDirs, AddDiskSpan, AddMove};
  zip->MaxVolumeSize = 60000;
  zip->MinFreeVolumeSize = 1000;
  EXPECT_EQ(AddFiles(P("out/set.zip"), {"*.*"}), 0);
  EXPECT_EQ(zip->ErrCode(), 11025);
  // The files went into the temporary archive, which is kept and named.
  std::vector<std::string> kept = Files(dir / "tmp");
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(messages.back().second, "Moved files kept in: " + P("tmp/" + kept[0]));
  fs::create_directories(dir / "back");
  EXPECT_EQ(Shell("unzip -q " + P("tmp/" + kept[0]) + " -d " + P("back")), 0);
  for (auto& n : names) EXPECT_TRUE(fs::exists(dir / "back" / n)) << n;
}

TEST_F(SpanTest, TheTargetsOwnVolumesAreNeverAddedNorMoved) {
  // The folder holds earlier sets of the target under both kinds of volume names, beside files
  // whose names only look like volumes of it.
  std::vector<std::string> files = {"a.txt", "b.txt", "set01.zip", "set0001.zip", "set.z1", "set.z001"};
  auto writeFiles = [&] {
    for (size_t i = 0; i < files.size(); ++i) WriteAll(dir / "f" / files[i], Data(i < 2 ? 30000 : 100, static_cast<unsigned>(i)));
  };
  writeFiles();
  zip->RootDir = P("f");
  zip->MaxVolumeSize = 25000;
  zip->MinFreeVolumeSize = 1000;
  zip->AddCompLevel = 0;
  for (SpanOpts span : {SpanOpts{}, SpanOpts{spCompatName}}) {
    zip->SpanOptions = span;
    zip->AddOptions = {AddDiskSpan};
    ASSERT_EQ(AddFiles(P("f/set.zip"), {"a.txt", "b.txt"}), 2);
  }
  std::vector<std::string> volumes = {"set001.zip", "set002.zip", "set003.zip", "set.z01", "set.z02", "set.zip"};
  ASSERT_EQ(Files(dir / "f").size(), files.size() + volumes.size());

  // A moving add of the whole folder in either naming, earlier volumes overwritten when asked.
  zip->Unattended = false;
  WatchStatus();
  for (SpanOpts span : {SpanOpts{spCompatName}, SpanOpts{}}) {
    std::vector<std::string> before;
    for (auto& v : volumes) before.push_back(ReadAll(dir / "f" / v));
    zip->SpanOptions = span;
    zip->AddOptions = {AddDiskSpan, AddMove};
    EXPECT_EQ(AddFiles(P("f/set.zip"), {"*.*"}), static_cast<int>(files.size()));
    EXPECT_EQ(zip->ErrCode(), 0) << zip->Message();
    for (auto& n : files) EXPECT_FALSE(fs::exists(dir / "f" / n)) << n;
    // The volumes are the set just written and, untouched, the set of the other naming.
    EXPECT_EQ(Files(dir / "f").size(), volumes.size());
    for (size_t i = 0; i < volumes.size(); ++i) {
      bool compat = volumes[i].rfind("set.z", 0) == 0;
      if (compat != span.Contains(spCompatName)) {
        EXPECT_TRUE(ReadAll(dir / "f" / volumes[i]) == before[i]) << volumes[i];
      }
    }
    if (span.Contains(spCompatName)) {
      std::vector<std::string> entries;
      for (int i = 0; i < zip->Count(); ++i) entries.push_back(zip->DirEntry(i).FileName);
      std::sort(entries.begin(), entries.end());
      std::vector<std::string> want = files;
      std::sort(want.begin(), want.end());
      EXPECT_EQ(entries, want);
    }
    writeFiles();
  }
}

TEST_F(SpanTest, ExistingVolumesAreOverwrittenOnlyWhenConfirmed) {
  fs::create_directories(dir / "out");
  ASSERT_EQ(WriteSet(P("out/set.zip"), 60000), 5);
  std::string first = ReadAll(dir / "out/set001.zip");
  // Unattended, an existing volume stops the run.
  EXPECT_EQ(WriteSet(P("out/set.zip"), 60000), 0);
  EXPECT_EQ(zip->ErrCode(), 11025);

  // The status event sees the existing file; rejecting keeps it.
  zip->Unattended = false;
  WatchStatus();
  answer = zdaReject;
  EXPECT_EQ(WriteSet(P("out/set.zip"), 60000), 0);
  ASSERT_EQ(statusCalls.size(), 1u);
  EXPECT_EQ(statusCalls[0], std::make_pair(1, P("out/set001.zip") + " same"));
  EXPECT_EQ(zip->ErrCode(), 11007);
  EXPECT_EQ(ReadAll(dir / "out/set001.zip"), first);
  answer = zdaOk;
  statusCalls.clear();
  EXPECT_EQ(WriteSet(P("out/set.zip"), 60000), 5);
  EXPECT_GE(statusCalls.size(), 4u);

  // Without the event the user is asked: "No" keeps the volume, "Yes" overwrites it.
  zip->OnStatusDisk = nullptr;
  std::vector<TDialogRequest> asked;
  int reply = IDNO;
  SetDialogHook([&](const TDialogRequest& r) -> std::optional<TDialogAnswer> {
    asked.push_back(r);
    TDialogAnswer a;
    a.Result = reply;
    return a;
  });
  EXPECT_EQ(WriteSet(P("out/set.zip"), 60000), 0);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(AnsiToUtf8(asked[0].Caption), "Подтверждение");
  EXPECT_EQ(AnsiToUtf8(asked[0].Text), "Перезаписать файл " + P("out/set001.zip") + "?");
  EXPECT_EQ(asked[0].Flags, unsigned(MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2));
  reply = IDYES;
  EXPECT_EQ(WriteSet(P("out/set.zip"), 60000), 5);
  SetDialogHook(nullptr);
}

TEST_F(SpanTest, TooLittleRoomOnAVolumeAsksAgainOrCancels) {
  // Less room than the smallest usable volume: the volume file is removed and the question
  // answered; a retry with the limit lowered goes on.
  zip->Unattended = false;
  WatchStatus();
  zip->AddOptions = {AddDirNames, AddRecurseDirs, AddDiskSpan};
  zip->AddCompLevel = 0;
  zip->MaxVolumeSize = 50000;
  zip->MinFreeVolumeSize = 60000;
  fullAnswer = zdaCancel;
  EXPECT_EQ(AddFiles(P("set.zip"), {"*.*"}), 0);
  EXPECT_EQ(zip->ErrCode(), 11007);
  EXPECT_EQ(statusCalls.back(), std::make_pair(1, P("set001.zip") + " full"));
  EXPECT_FALSE(fs::exists(dir / "set001.zip"));
  EXPECT_TRUE(Files(dir / "tmp").empty());

  struct TLower {
    static void Status(void* self, TObject*, int, const AnsiString&, TZipDiskStatus s, TZipDiskAction& a) {
      if (s.Contains(zdsNotEnoughSpace)) static_cast<TZipKeeper*>(self)->MinFreeVolumeSize = 1000;
      a = zdaOk;
    }
  };
  zip->OnStatusDisk = TZipStatusDiskEvent(&TLower::Status, zip.get());
  zip->AddOptions = {AddDirNames, AddRecurseDirs, AddDiskSpan};
  EXPECT_EQ(AddFiles(P("set.zip"), {"*.*"}), 5);
  EXPECT_EQ(zip->ErrCode(), 0);
  EXPECT_TRUE(fs::exists(dir / "set006.zip"));
}

TEST_F(SpanTest, BrokenSetsAreReportedAndLeaveNothingBehind) {
  fs::create_directories(dir / "out");
  ASSERT_EQ(WriteSet(P("out/set.zip"), 20000, {spCompatName}), 5);
  fs::copy(dir / "out", dir / "good");
  auto reset = [&] {
    fs::remove_all(dir / "out");
    fs::copy(dir / "good", dir / "out");
    messages.clear();
  };
  auto extractFails = [&](int id) {
    zip->ExtrOptions = {ExtrDirNames};
    fs::remove_all(dir / "x");
    EXPECT_EQ(ExtractTo(P("out/set.zip"), P("x")), 0);
    EXPECT_EQ(zip->ErrCode(), id) << zip->Message();
    EXPECT_TRUE(Files(dir / "x").empty());
    EXPECT_TRUE(Files(dir / "tmp").empty());
  };
  // A volume missing.
  fs::remove(dir / "out/set.z03");
  extractFails(11001);
  EXPECT_NE(zip->Message().find("set.z03"), std::string::npos);
  // Two volumes swapped: the first one is not the start of a set.
  reset();
  fs::rename(dir / "out/set.z01", dir / "out/t");
  fs::rename(dir / "out/set.z02", dir / "out/set.z01");
  fs::rename(dir / "out/t", dir / "out/set.z02");
  extractFails(11031);
  // The last volume missing, the first present.
  reset();
  fs::remove(dir / "out/set.zip");
  AnsiString joined;
  EXPECT_EQ(zip->ReadSpan(P("out/set.zip"), joined), -9);
  EXPECT_EQ(zip->ErrCode(), 11002);
  EXPECT_TRUE(joined.empty());

  // A numbered last volume whose end record names another disk.
  fs::remove_all(dir / "out");
  fs::create_directories(dir / "out");
  ASSERT_EQ(WriteSet(P("out/n.zip"), 20000), 5);
  std::vector<std::string> vols = Files(dir / "out");
  std::string last = ReadAll(dir / "out" / vols.back());
  size_t eoc = last.rfind("PK\x05\x06");
  last[eoc + 4] = static_cast<char>(last[eoc + 4] + 1);
  WriteAll(dir / "out" / vols.back(), last);
  EXPECT_EQ(zip->ReadSpan(P("out/n.zip"), joined), -9);
  EXPECT_EQ(zip->ErrCode(), 11036);
  // A central header naming an entry that no volume holds.
  last[eoc + 4] = static_cast<char>(last[eoc + 4] - 1);
  WriteAll(dir / "out" / vols.back(), last);
  for (size_t i = vols.size(); i-- > 0;) {
    std::string v = ReadAll(dir / "out" / vols[i]);
    size_t central = v.find("PK\x01\x02");
    if (central == std::string::npos) continue;
    v[central + 46] = '#';
    WriteAll(dir / "out" / vols[i], v);
    break;
  }
  EXPECT_EQ(zip->ReadSpan(P("out/n.zip"), joined), -7);
  EXPECT_EQ(zip->ErrCode(), 11026);
  EXPECT_TRUE(Files(dir / "tmp").empty());

  // Refused before anything is written: a self-extractor, freshening.
  zip->AddOptions = {AddDiskSpan};
  EXPECT_EQ(AddFiles(P("s.exe"), {P("in/a.txt")}), 0);
  EXPECT_EQ(zip->ErrCode(), 11041);
  zip->AddOptions = {AddDiskSpanErase, AddFreshen};
  EXPECT_EQ(AddFiles(P("s.zip"), {P("in/a.txt")}), 0);
  EXPECT_EQ(zip->ErrCode(), 10303);
  EXPECT_TRUE(zip->SpanOptions.Contains(spWipeFiles));

  // A file of 4 GB or more (sparse: it takes no room) is refused before anything is compressed,
  // and no volume or temporary archive is left.
  fs::create_directories(dir / "big");
  {
    std::ofstream(dir / "big/huge.bin").close();
    fs::resize_file(dir / "big/huge.bin", 5ull << 30);
  }
  messages.clear();
  zip->AddOptions = {AddDiskSpan};
  zip->AddCompLevel = 6;
  EXPECT_EQ(AddFiles(P("big/set.zip"), {P("in/a.txt"), P("big/huge.bin")}), 0);
  EXPECT_EQ(zip->ErrCode(), 11048) << zip->Message();
  EXPECT_NE(zip->Message().find("huge.bin"), std::string::npos);
  EXPECT_EQ(Files(dir / "big"), std::vector<std::string>{"huge.bin"});
  EXPECT_TRUE(Files(dir / "tmp").empty());
  // A set whose first entry has its sizes in Zip64 fields, as Info-ZIP writes a file of 4 GB:
  // refused before anything is joined.
  reset();
  std::string first = ReadAll(dir / "out/set.z01");
  ASSERT_EQ(first.compare(4, 4, "PK\x03\x04"), 0);
  size_t nameLen = static_cast<uint8_t>(first[4 + 26]) | static_cast<uint8_t>(first[4 + 27]) << 8;
  std::string name = first.substr(4 + 30, nameLen);
  first.replace(4 + 18, 8, std::string(8, '\xFF'));
  WriteAll(dir / "out/set.z01", first);
  bool found = false;
  for (auto& v : Files(dir / "out")) {
    std::string volume = ReadAll(dir / "out" / v);
    for (size_t at = volume.find("PK\x01\x02"); at != std::string::npos; at = volume.find("PK\x01\x02", at + 4)) {
      if (volume.compare(at + 46, nameLen, name) != 0) continue;
      volume.replace(at + 20, 8, std::string(8, '\xFF'));
      WriteAll(dir / "out" / v, volume);
      found = true;
    }
  }
  ASSERT_TRUE(found);
  extractFails(11048);
  EXPECT_NE(zip->Message().find(name.substr(name.find_last_of('/') + 1)), std::string::npos);
}

TEST_F(SpanTest, AnEarlierErrorIsNotReportedAfterASpannedAddSucceeds) {
  zip->AddOptions = {AddDiskSpan};
  EXPECT_EQ(AddFiles(P("s.exe"), {P("in/a.txt")}), 0);
  ASSERT_EQ(zip->ErrCode(), 11041);
  fs::create_directories(dir / "out");
  EXPECT_EQ(WriteSet(P("out/n.zip"), 60000), static_cast<int>(names.size()));
  EXPECT_EQ(zip->ErrCode(), 0) << zip->Message();
}

TEST_F(SpanTest, AVolumeInAFolderNamedWithAWildcardLeavesOutOnlyItself) {
  WriteAll(dir / "q?/set001.zip", "an earlier volume");
  WriteAll(dir / "qx/set001.zip", Data(3000, 7));
  zip->SpanOptions = {spCompatName};
  zip->AddOptions = {AddDiskSpan};
  zip->MaxVolumeSize = 25000;
  zip->MinFreeVolumeSize = 1000;
  zip->RootDir = P("qx");
  EXPECT_EQ(AddFiles(P("q?/set.zip"), {P("qx/set001.zip"), P("q?/set001.zip")}), 1);
  EXPECT_EQ(zip->ErrCode(), 0) << zip->Message();
  EXPECT_EQ(ReadAll(dir / "q?/set001.zip"), "an earlier volume");
}
