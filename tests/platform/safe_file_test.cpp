#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>
#include <memory>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/safe_file.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& path, const std::string& data) { std::ofstream(path, std::ios::binary) << data; }

std::set<std::string> Entries(const std::string& dir) {
  std::set<std::string> out;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.insert(e->d_name);
    closedir(d);
  }
  return out;
}

struct stat Stat(const std::string& p) {
  struct stat st {};
  ::lstat(p.c_str(), &st);
  return st;
}

class SafeSave : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vt-safe-XXXXXX";
    dir_ = mkdtemp(tmpl);
    // Copies are kept in the recovery folder of the settings folder, here a folder of the test.
    settings_ = dir_ + "/settings";
    copies_ = settings_ + "/recovery";
    const char* old = getenv("VANTRY_TARN_CONFIG_DIR");
    oldSettings_ = old ? old : "";
    setenv("VANTRY_TARN_CONFIG_DIR", settings_.c_str(), 1);
    mkdir(settings_.c_str(), 0700);
  }
  void TearDown() override {
    SetSafeSaveFault(nullptr);
    if (oldSettings_.empty()) unsetenv("VANTRY_TARN_CONFIG_DIR");
    else setenv("VANTRY_TARN_CONFIG_DIR", oldSettings_.c_str(), 1);
    std::system(("rm -rf " + dir_).c_str());
  }
  // Fails the n-th write call (1-based) with err, every one after it too.
  void FailWriteFrom(int n, int err) {
    auto count = std::make_shared<int>(0);
    SetSafeSaveFault([=](TSafeSaveStep s) { return s == TSafeSaveStep::Write && ++*count >= n ? err : 0; });
  }
  std::string P(const std::string& name) const { return dir_ + "/" + name; }
  std::string dir_, settings_, copies_, oldSettings_;
};

TEST_F(SafeSave, LinksOwnerGroupAndModeSurvive) {
  // Through a symbolic link the file it names is saved; the link stays a link.
  WriteAll(P("real.html"), "old");
  ASSERT_EQ(symlink("real.html", P("link.html").c_str()), 0);
  SafeWriteFile(P("link.html"), "through the link");
  EXPECT_TRUE(S_ISLNK(Stat(P("link.html")).st_mode));
  EXPECT_EQ(ReadAll(P("real.html")), "through the link");
  // A link to a file not there yet creates that file.
  ASSERT_EQ(symlink("later.html", P("dangling.html").c_str()), 0);
  SafeWriteFile(P("dangling.html"), "made");
  EXPECT_TRUE(S_ISLNK(Stat(P("dangling.html")).st_mode));
  EXPECT_EQ(ReadAll(P("later.html")), "made");

  // Hard links stay one file.
  WriteAll(P("a.html"), "old");
  ASSERT_EQ(link(P("a.html").c_str(), P("b.html").c_str()), 0);
  ino_t ino = Stat(P("a.html")).st_ino;
  SafeWriteFile(P("a.html"), "both names");
  EXPECT_EQ(ReadAll(P("b.html")), "both names");
  EXPECT_EQ(Stat(P("a.html")).st_ino, ino);
  EXPECT_EQ(Stat(P("b.html")).st_nlink, 2u);

  // The mode is kept by a replacing save; a new file gets the usual mode.
  WriteAll(P("mode.html"), "old");
  chmod(P("mode.html").c_str(), 0604);
  SafeWriteFile(P("mode.html"), "new");
  EXPECT_EQ(Stat(P("mode.html")).st_mode & 07777, 0604u);
  mode_t mask = umask(022);
  SafeWriteFile(P("fresh.html"), "x");
  SafeWriteFile(P("private.txt"), "x", 0600);
  umask(mask);
  EXPECT_EQ(Stat(P("fresh.html")).st_mode & 07777, 0644u);
  EXPECT_EQ(Stat(P("private.txt")).st_mode & 07777, 0600u);

  // Another user's file keeps its owner, group, mode and identity when root saves it.
  if (geteuid() == 0) {
    WriteAll(P("theirs.html"), "old");
    ASSERT_EQ(chown(P("theirs.html").c_str(), 65534, 65534), 0);
    chmod(P("theirs.html").c_str(), 0640);
    ino = Stat(P("theirs.html")).st_ino;
    SafeWriteFile(P("theirs.html"), "saved by root");
    struct stat st = Stat(P("theirs.html"));
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(st.st_gid, 65534u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_ino, ino);
    EXPECT_EQ(ReadAll(P("theirs.html")), "saved by root");
  }
  // Nothing is left beside the files or in the folder of kept copies.
  std::set<std::string> left = Entries(dir_);
  for (const auto& n : left) EXPECT_EQ(n.find(".vt-"), std::string::npos) << n;
  EXPECT_TRUE(Entries(copies_).empty());
}

TEST_F(SafeSave, AFileItsUserMayNotWriteIsRefusedWithTheSystemsReason) {
  WriteAll(P("ro.html"), "old");
  chmod(P("ro.html").c_str(), 0444);
  chmod(dir_.c_str(), 0777);  // the folder itself is writable
  // Run as an ordinary user: root may write any file.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (geteuid() == 0 && setresuid(65534, 65534, 65534) != 0) _exit(3);
    try {
      SafeWriteFile(P("ro.html"), "new");
    } catch (const EFCreateError& e) {
      bool named = e.Message().find("ro.html") != std::string::npos;
      bool reason = e.Message().find(SysErrorMessage(EACCES)) != std::string::npos;
      _exit(named && reason ? 0 : 2);
    } catch (...) {
      _exit(4);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(ReadAll(P("ro.html")), "old");
  EXPECT_EQ(Entries(dir_), (std::set<std::string>{"settings", "ro.html"}));
}

TEST_F(SafeSave, AFailedSaveLeavesTheOldContentsAndSaysSo) {
  const std::string old(70000, 'o');
  auto save = [&](const std::string& name) {
    // Written in pieces, as the editor's writer does.
    TSafeFileStream f(P(name), 90000);
    std::string piece(16384, 'n');
    for (int i = 0; i < 6; ++i) f.WriteBuffer(piece.data(), static_cast<int64_t>(piece.size()));
    f.Commit();
  };
  auto expectFailure = [&](const std::string& name, const char* said) {
    try {
      save(name);
      ADD_FAILURE() << "no error";
    } catch (const EWriteError& e) {
      EXPECT_NE(e.Message().find("\"" + P(name) + "\""), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find(SysErrorMessage(ENOSPC)), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find(W1251(said)), std::string::npos) << e.Message();
      EXPECT_EQ(e.Message().find(".vt-"), std::string::npos) << e.Message();
    }
    EXPECT_TRUE(ReadAll(P(name)) == old) << name;
  };

  // A replacing save: the new file is dropped.
  WriteAll(P("doc.html"), old);
  FailWriteFrom(3, ENOSPC);
  expectFailure("doc.html", "Файл сохранил прежнее содержимое.");

  // No new file can be made beside it (no free inode): written in place behind a copy, and a
  // disk that fills up midway gets the old contents back.
  SetSafeSaveFault([n = 0](TSafeSaveStep s) mutable {
    if (s == TSafeSaveStep::NewFile) return ENOSPC;
    return s == TSafeSaveStep::Write && ++n >= 3 ? ENOSPC : 0;
  });
  expectFailure("doc.html", "Его прежнее содержимое возвращено.");

  // The same for a file that keeps its identity (hard links), failing at the final flush.
  WriteAll(P("linked.html"), old);
  ASSERT_EQ(link(P("linked.html").c_str(), P("linked2.html").c_str()), 0);
  SetSafeSaveFault([](TSafeSaveStep s) { return s == TSafeSaveStep::Flush ? ENOSPC : 0; });
  expectFailure("linked.html", "Его прежнее содержимое возвращено.");
  EXPECT_TRUE(ReadAll(P("linked2.html")) == old);

  // No copy can be kept: the save is refused before the file is touched.
  SetSafeSaveFault([](TSafeSaveStep s) { return s == TSafeSaveStep::KeepCopy ? ENOSPC : 0; });
  EXPECT_THROW(save("linked.html"), EFCreateError);
  EXPECT_TRUE(ReadAll(P("linked.html")) == old);
  EXPECT_TRUE(Entries(copies_).empty());

  // Even putting back fails: the message names the copy, which holds the old contents.
  SetSafeSaveFault([n = 0](TSafeSaveStep s) mutable {
    if (s == TSafeSaveStep::PutBack) return EIO;
    return s == TSafeSaveStep::Write && ++n >= 2 ? ENOSPC : 0;
  });
  try {
    save("linked.html");
    ADD_FAILURE() << "no error";
  } catch (const EWriteError& e) {
    std::vector<TInterruptedSave> kept = InterruptedSaves();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].Document, P("linked.html"));
    std::string copy = kept[0].Copy;
    EXPECT_NE(e.Message().find("\"" + copy + "\""), std::string::npos) << e.Message();
    EXPECT_TRUE(ReadAll(copy) == old);
    std::remove(copy.c_str());
    std::remove((copy + ".document").c_str());
  }
  WriteAll(P("linked.html"), old);  // what the user would do with the copy
  SetSafeSaveFault(nullptr);

  // A save abandoned before it is committed changes nothing and leaves nothing.
  {
    TSafeFileStream f(P("linked.html"));
    f.WriteBuffer("partial", 7);
  }
  {
    TSafeFileStream f(P("never.html"));
    f.WriteBuffer("partial", 7);
  }
  EXPECT_TRUE(ReadAll(P("linked.html")) == old);
  EXPECT_EQ(Entries(dir_), (std::set<std::string>{"settings", "doc.html", "linked.html", "linked2.html"}));
  EXPECT_TRUE(Entries(copies_).empty());

  // Afterwards a save goes through as usual.
  save("linked.html");
  EXPECT_TRUE(ReadAll(P("linked2.html")) == std::string(6 * 16384, 'n'));
}

TEST_F(SafeSave, AFailedSaveRestoresEvenWhenTheCopysNameWasRemoved) {
  const std::string old(70000, 'o');
  WriteAll(P("linked.html"), old);
  ASSERT_EQ(link(P("linked.html").c_str(), P("linked2.html").c_str()), 0);
  // Once the document is being written, the copy and its record lose their names (as another
  // program could remove them); then the disk fills up.
  std::string copies = copies_;
  SetSafeSaveFault([n = 0, copies](TSafeSaveStep s) mutable {
    if (s != TSafeSaveStep::Write || ++n < 2) return 0;
    for (const std::string& e : Entries(copies)) ::unlink((copies + "/" + e).c_str());
    return ENOSPC;
  });
  try {
    TSafeFileStream f(P("linked.html"), 90000);
    std::string piece(16384, 'n');
    for (int i = 0; i < 6; ++i) f.WriteBuffer(piece.data(), static_cast<int64_t>(piece.size()));
    f.Commit();
    ADD_FAILURE() << "no error";
  } catch (const EWriteError& e) {
    EXPECT_NE(e.Message().find(W1251("Его прежнее содержимое возвращено.")), std::string::npos) << e.Message();
  }
  EXPECT_TRUE(ReadAll(P("linked.html")) == old);
  EXPECT_TRUE(ReadAll(P("linked2.html")) == old);
}

TEST_F(SafeSave, ACopyWithoutARecordIsNeitherListedNorRemoved) {
  // What another program's save holds between making its copy and writing its record.
  mkdir(copies_.c_str(), 0700);
  const std::string copy = copies_ + "/doc.html.vt-copy-AbC123";
  WriteAll(copy, "old");
  EXPECT_TRUE(InterruptedSaves().empty());
  EXPECT_EQ(Entries(copies_), (std::set<std::string>{"doc.html.vt-copy-AbC123"}));
  EXPECT_EQ(ReadAll(copy), "old");
}

TEST_F(SafeSave, AKilledInPlaceSaveLeavesACopyThatTheNextStartFinds) {
  const std::string old(600000, 'o');
  WriteAll(P("linked.html"), old);
  ASSERT_EQ(link(P("linked.html").c_str(), P("other.html").c_str()), 0);
  // A save killed after its second piece reached the document.
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SetSafeSaveFault([n = 0](TSafeSaveStep s) mutable {
      if (s == TSafeSaveStep::Write && ++n == 3) ::kill(::getpid(), SIGKILL);
      return 0;
    });
    SafeWriteFile(P("linked.html"), std::string(old.size(), 'n'));
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  std::string half = ReadAll(P("linked.html"));
  ASSERT_NE(half, old);
  ASSERT_EQ(half.size(), old.size());

  // A save running meanwhile in this program is not taken for an interrupted one.
  WriteAll(P("busy.html"), "busy");
  ASSERT_EQ(link(P("busy.html").c_str(), P("busy2.html").c_str()), 0);
  auto running = std::make_unique<TSafeFileStream>(P("busy.html"));
  std::vector<TInterruptedSave> kept = InterruptedSaves();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(kept[0].Document, P("linked.html"));
  EXPECT_EQ(kept[0].Copy.rfind(RecoveryFolder() + "/linked.html.vt-copy-", 0), 0u) << kept[0].Copy;
  EXPECT_TRUE(ReadAll(kept[0].Copy) == old);
  running->WriteBuffer("done", 4);
  running->Commit();
  running.reset();
  // Listing removes nothing; a finished save leaves nothing.
  EXPECT_EQ(InterruptedSaves().size(), 1u);
  EXPECT_EQ(Entries(copies_).size(), 2u);
  EXPECT_EQ(ReadAll(P("busy2.html")), "done");
}

TEST_F(SafeSave, NamesAsLongAsTheFileSystemTakesAreSavedAgainAndAgain) {
  // 255 bytes, and 122 Cyrillic letters (244 bytes of UTF-8) with an extension.
  std::string cyrillic;
  for (int i = 0; i < 122; ++i) cyrillic += "\xD0\xB4";
  for (const std::string& name : {std::string(250, 'a') + ".html", cyrillic + ".html"}) {
    for (int way = 0; way < 3; ++way) {
      SCOPED_TRACE(std::to_string(name.size()) + " bytes, way " + std::to_string(way));
      const std::string doc = P(name);
      const AnsiString saved = SystemNameToAnsi(doc);  // as the program names it
      for (const std::string& e : Entries(dir_))
        if (e != "settings") std::remove(P(e).c_str());
      SetSafeSaveFault([way](TSafeSaveStep s) { return s == TSafeSaveStep::Unnamed && way == 1 ? EOPNOTSUPP : 0; });
      SafeWriteFile(saved, "first");
      if (way == 2) {
        ASSERT_EQ(link(doc.c_str(), P("link").c_str()), 0);
      }
      SafeWriteFile(saved, "second");
      SafeWriteFile(saved, "third");
      EXPECT_EQ(ReadAll(doc), "third");
      std::set<std::string> expected{"settings", name};
      if (way == 2) expected.insert("link");
      EXPECT_EQ(Entries(dir_), expected);
      EXPECT_TRUE(Entries(copies_).empty());
      // Killed once its new file is named beside the document: the next start lists that file.
      pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        SetSafeSaveFault([way](TSafeSaveStep s) {
          if (s == TSafeSaveStep::Rename || (way == 2 && s == TSafeSaveStep::Flush)) ::kill(::getpid(), SIGKILL);
          return s == TSafeSaveStep::Unnamed && way == 1 ? EOPNOTSUPP : 0;
        });
        SafeWriteFile(saved, "fourth");
        _exit(0);
      }
      int status = 0;
      waitpid(pid, &status, 0);
      ASSERT_TRUE(WIFSIGNALED(status));
      std::vector<TInterruptedSave> left = InterruptedSaves();
      ASSERT_EQ(left.size(), 1u);
      EXPECT_EQ(AnsiToSystemName(left[0].Document), doc);
      const std::string file = AnsiToSystemName(left[0].Copy);
      EXPECT_EQ(ReadAll(file), way == 2 ? "third" : "fourth");
      EXPECT_LE(file.size() - file.rfind('/') - 1, 255u);
      std::remove(file.c_str());
      InterruptedSaves();
      EXPECT_TRUE(Entries(copies_).empty());
    }
  }
}

TEST_F(SafeSave, ASaveKilledAtAnyStepLeavesNothingTheNextStartNeitherRemovesNorLists) {
  // Several pieces of each file, so that a kill falls inside the copy and inside the writing.
  const std::string old(600000, 'o'), now(700000, 'n');
  const std::string doc = P("page.html"), other = P("other.html");
  struct Way {
    const char* name;
    bool linked;    // another hard link: written in place behind a copy
    bool unnamed;   // the file system makes unnamed files
  };
  for (const Way& way : {Way{"in place", true, true}, Way{"beside, unnamed first", false, true},
                         Way{"beside, named from the start", false, false}}) {
    for (int step = 1;; ++step) {
      SCOPED_TRACE(std::string(way.name) + ", killed at step " + std::to_string(step));
      std::system(("rm -rf " + copies_ + " " + doc + "* " + other).c_str());
      WriteAll(doc, old);
      if (way.linked) {
        ASSERT_EQ(link(doc.c_str(), other.c_str()), 0);
      }
      pid_t pid = fork();
      ASSERT_GE(pid, 0);
      if (pid == 0) {
        SetSafeSaveFault([n = 0, step, way](TSafeSaveStep s) mutable {
          if (++n == step) ::kill(::getpid(), SIGKILL);
          return s == TSafeSaveStep::Unnamed && !way.unnamed ? EOPNOTSUPP : 0;
        });
        SafeWriteFile(doc, now);
        _exit(0);
      }
      int status = 0;
      waitpid(pid, &status, 0);
      bool finished = WIFEXITED(status);
      ASSERT_TRUE(finished || WIFSIGNALED(status));
      const std::string text = ReadAll(doc);
      if (!way.linked) {
        EXPECT_TRUE(text == old || text == now);
      }

      // What the next start finds: each file left holds text the document lacks; everything
      // else the save made is gone.
      std::vector<TInterruptedSave> left = InterruptedSaves();
      std::set<std::string> beside, kept;
      for (const TInterruptedSave& s : left) {
        EXPECT_EQ(s.Document, doc);
        std::string held = ReadAll(s.Copy);
        EXPECT_FALSE(text.compare(0, held.size(), held) == 0 && held.size() <= text.size());
        if (s.NewText) {
          // The document itself was never touched.
          EXPECT_TRUE(text == old);
          EXPECT_EQ(s.Copy.rfind(doc + ".vt-", 0), 0u) << s.Copy;
          beside.insert(s.Copy.substr(dir_.size() + 1));
        } else {
          EXPECT_TRUE(held == old);
          kept.insert(s.Copy.substr(copies_.size() + 1));
        }
      }
      std::set<std::string> inFolder = beside;
      inFolder.insert({"settings", "page.html"});
      if (way.linked) inFolder.insert("other.html");
      EXPECT_EQ(Entries(dir_), inFolder);
      std::set<std::string> copies;
      size_t records = 0;
      for (const std::string& e : Entries(copies_)) {
        if (e.size() > 9 && e.compare(e.size() - 9, 9, ".document") == 0) ++records;
        else copies.insert(e);
      }
      EXPECT_EQ(copies, kept);
      EXPECT_EQ(records, left.size());
      // A second start finds the same, and nothing more.
      EXPECT_EQ(InterruptedSaves().size(), left.size());
      if (finished) {
        EXPECT_TRUE(text == now);
        EXPECT_TRUE(left.empty());
        break;
      }
      ASSERT_LT(step, 200);
    }
  }
}

}  // namespace
