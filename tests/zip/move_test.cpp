// Adds that move files, adds of the folder that holds the archive, and adds that leave a file
// out: nothing is lost and the failure stays reported. Archives written through a linked name.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/zip/zip_fixture.h"
#include "zip/component/zip_sfx.h"

namespace {

class ZipAddTest : public ZipTest {
protected:
  struct TResult {
    int SuccessCnt = -1, ErrCode = -1;
  };
  void Tick(CallBackInfo*, bool&) {}
  // Adds "*.*" of a folder in which locked.txt cannot be read: mode 000, the add run by a user
  // other than root (a child process that gives up root when the tests run as root).
  TResult AddWithUnreadableFile(const std::string& archive, const std::string& folder, AddOpts options) {
    zip->OnAfterCallback = TZipAfterCallbackEvent(this, &ZipAddTest::Tick);
    chmod((fs::path(folder) / "locked.txt").c_str(), 0);
    auto add = [&] {
      zip->AddOptions = options;
      zip->RootDir = folder;
      AddFiles(archive, {"*.*"});
      return TResult{zip->SuccessCnt(), zip->ErrCode()};
    };
    if (geteuid() != 0) return add();
    int pipe_fd[2];
    if (pipe(pipe_fd) != 0) return {};
    for (auto& e : fs::recursive_directory_iterator(dir)) (void)lchown(e.path().c_str(), 65534, 65534);
    (void)chown(dir.c_str(), 65534, 65534);
    pid_t pid = fork();
    if (pid == 0) {
      TResult r;
      if (setgid(65534) == 0 && setuid(65534) == 0) r = add();
      (void)write(pipe_fd[1], &r, sizeof r);
      _exit(0);
    }
    close(pipe_fd[1]);
    TResult r;
    if (read(pipe_fd[0], &r, sizeof r) != static_cast<ssize_t>(sizeof r)) r = TResult{};
    close(pipe_fd[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return r;
  }
  void MakeFolder() {
    WriteAll(dir / "f/one.txt", "one");
    WriteAll(dir / "f/two.txt", "two");
    WriteAll(dir / "f/locked.txt", "locked");
  }
};

TEST_F(ZipAddTest, AMovingAddKeepsTheFilesItCouldNotRead) {
  MakeFolder();
  TResult r = AddWithUnreadableFile(P("out.zip"), P("f"), {AddMove});
  EXPECT_EQ(r.SuccessCnt, 2);
  EXPECT_FALSE(fs::exists(dir / "f/one.txt"));
  EXPECT_FALSE(fs::exists(dir / "f/two.txt"));
  ASSERT_TRUE(fs::exists(dir / "f/locked.txt"));
  chmod((dir / "f/locked.txt").c_str(), 0644);
  EXPECT_EQ(ReadAll(dir / "f/locked.txt"), "locked");
  EXPECT_EQ(Shell("unzip -tq " + P("out.zip")), 0);
}

TEST_F(ZipAddTest, AnAddThatLeftAFileOutReportsItsError) {
  MakeFolder();
  TResult r = AddWithUnreadableFile(P("out.zip"), P("f"), {});
  EXPECT_EQ(r.SuccessCnt, 2);
  // The directory read after the add does not clear the run's error.
  EXPECT_EQ(r.ErrCode, kzeOpen);
}

TEST_F(ZipAddTest, AFolderTheAddCannotEnterAndNamesTheExtractCannotMatchAreReported) {
  WriteAll(dir / "f/one.txt", "one");
  WriteAll(dir / "f/sub/inside.txt", "inside");
  chmod((dir / "f/sub").c_str(), 0);
  TResult r = AddWithUnreadableFile(P("out.zip"), P("f"), {AddDirNames, AddRecurseDirs});
  chmod((dir / "f/sub").c_str(), 0755);
  EXPECT_EQ(r.SuccessCnt, 1);
  EXPECT_EQ(r.ErrCode, kzeOpen);
  EXPECT_EQ(ExtractTo(P("out.zip"), P("back"), {"one.txt", "nothing.txt"}), 1);
  EXPECT_EQ(zip->ErrCode(), kzeNothing);
  EXPECT_EQ(ReadAll(dir / "back/one.txt"), "one");
}

TEST_F(ZipAddTest, AnUpdateKeepsTheEarlierEntryOfAFileItCouldNotRead) {
  MakeFolder();
  zip->RootDir = P("f");
  ASSERT_EQ(AddFiles(P("out.zip"), {"*.*"}), 3);
  WriteAll(dir / "f/one.txt", "one, again");
  TResult r = AddWithUnreadableFile(P("out.zip"), P("f"), {});
  EXPECT_EQ(r.SuccessCnt, 2);
  EXPECT_EQ(r.ErrCode, kzeOpen);
  ExtractTo(P("out.zip"), P("back"));
  EXPECT_EQ(ReadAll(dir / "back/one.txt"), "one, again");
  EXPECT_EQ(ReadAll(dir / "back/locked.txt"), "locked");
  EXPECT_EQ(Shell("unzip -tq " + P("out.zip")), 0);
}

TEST_F(ZipAddTest, ArchivesWrittenThroughALinkedNameUpdateTheLinksTarget) {
  WriteAll(dir / "f/a.txt", "a");
  WriteAll(dir / "f/b.txt", "b");
  fs::create_directories(dir / "real");
  zip->RootDir = P("f");
  ASSERT_EQ(AddFiles(P("real/arch.zip"), {"a.txt"}), 1);
  fs::create_symlink("real/arch.zip", dir / "link.zip");
  zip->RootDir = P("f");
  EXPECT_EQ(AddFiles(P("link.zip"), {"b.txt"}), 1);
  EXPECT_TRUE(fs::is_symlink(dir / "link.zip"));
  EXPECT_EQ(Shell("unzip -l " + P("real/arch.zip") + " | grep -q b.txt && unzip -tq " + P("real/arch.zip")), 0);
  EXPECT_EQ(zip->Count(), 2);

  // A self-extractor built over a linked name.
  WriteAll(dir / "KVSFXUS.BIN", "MZ" + std::string(510, 's'));
  WriteAll(dir / "real/setup.exe", "older");
  fs::create_symlink("real/setup.exe", dir / "setup.exe");
  TZipSFX sfx(nullptr);
  sfx.SFXPath = P("KVSFXUS.BIN");
  sfx.SourceFile = P("real/arch.zip");
  sfx.TargetFile = P("setup.exe");
  sfx.Build();
  EXPECT_TRUE(fs::is_symlink(dir / "setup.exe"));
  EXPECT_EQ(Shell("unzip -tq " + P("real/setup.exe")), 0);

  // A set in Info-ZIP's names whose name is a link to no file yet: the last volume becomes the
  // link's target. Joined into a linked name, the join is the target too.
  WriteAll(dir / "f/big.txt", std::string(6000, 'x'));
  fs::create_symlink("real/set.zip", dir / "set.zip");
  zip->AddOptions = {AddDiskSpan};
  zip->SpanOptions = {spCompatName};
  zip->MaxVolumeSize = 3000;
  zip->MinFreeVolumeSize = 1000;
  zip->AddCompLevel = 0;
  zip->RootDir = P("f");
  EXPECT_EQ(AddFiles(P("set.zip"), {"a.txt", "big.txt"}), 2);
  EXPECT_TRUE(fs::is_symlink(dir / "set.zip"));
  EXPECT_TRUE(fs::exists(dir / "set.z02"));
  WriteAll(dir / "real/joined.zip", "older");
  fs::create_symlink("real/joined.zip", dir / "joined.zip");
  AnsiString joined = P("joined.zip");
  EXPECT_EQ(zip->ReadSpan(P("set.zip"), joined), 0);
  EXPECT_TRUE(fs::is_symlink(dir / "joined.zip"));
  EXPECT_EQ(Shell("unzip -tq " + P("real/joined.zip") + " && unzip -p " + P("real/joined.zip") + " big.txt | cmp -s - " +
                  P("f/big.txt")),
            0);
}

TEST_F(ZipAddTest, TheArchiveIsNeverAddedIntoItself) {
  WriteAll(dir / "f/a.txt", "a");
  WriteAll(dir / "f/b.txt", "b");
  zip->RootDir = P("f");
  ASSERT_EQ(AddFiles(P("f/self.zip"), {"a.txt"}), 1);
  // The folder that holds the archive, with every file moved into it.
  zip->AddOptions = {AddMove};
  zip->RootDir = P("f");
  EXPECT_EQ(AddFiles(P("f/self.zip"), {"*.*"}), 2);
  ASSERT_TRUE(fs::exists(dir / "f/self.zip"));
  EXPECT_EQ(zip->Count(), 2);
  for (int i = 0; i < zip->Count(); ++i) EXPECT_NE(zip->DirEntry(i).FileName, "self.zip");
  EXPECT_FALSE(fs::exists(dir / "f/a.txt"));
  EXPECT_FALSE(fs::exists(dir / "f/b.txt"));
  EXPECT_EQ(Shell("unzip -tq " + P("f/self.zip")), 0);
}

TEST_F(ZipAddTest, ANamedPipeIsNeverReadAsTheArchiveNorAddedNorMoved) {
  WriteAll(dir / "f/one.txt", "one");
  ASSERT_EQ(mkfifo(P("f/pipe").c_str(), 0644), 0);
  ASSERT_EQ(mkfifo(P("out.zip").c_str(), 0644), 0);
  // The pipe's other end is held open, so that an add that opened it would not wait for ever.
  int other = open(P("out.zip").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(other, 0);
  zip->AddOptions = {AddMove};
  zip->RootDir = P("f");
  EXPECT_EQ(AddFiles(P("out.zip"), {"*.*"}), 0);
  close(other);
  bool told = false;
  for (auto& m : messages) told |= m.first == kzeOpen && m.second == "cannot open " + P("out.zip") + ": not a regular file";
  EXPECT_TRUE(told);
  EXPECT_TRUE(fs::is_fifo(dir / "out.zip"));
  EXPECT_EQ(ReadAll(dir / "f/one.txt"), "one");
  // Into an archive beside: the pipe among the files is left out and stays.
  zip->AddOptions = {AddMove};
  zip->RootDir = P("f");
  EXPECT_EQ(AddFiles(P("out2.zip"), {"*.*"}), 1);
  EXPECT_TRUE(fs::is_fifo(dir / "f/pipe"));
  EXPECT_FALSE(fs::exists(dir / "f/one.txt"));
  EXPECT_EQ(Shell("unzip -tq " + P("out2.zip")), 0);
}

}  // namespace
