#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <utility>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/streams.h"
#include "platform/sysutils.h"

namespace {

TEST(Format, TakesTheMessagesOfTheProgram) {
  EXPECT_EQ(Format("Invalid stringlist index %d", {7}), "Invalid stringlist index 7");
  EXPECT_EQ(Format("Cannot open file \"%s\". %s", {"a.txt", "gone"}), "Cannot open file \"a.txt\". gone");
  EXPECT_EQ(Format("%5d|%-4s|%x|%.3d|%%", {42, "ab", 255, 7}), "   42|ab  |FF|007|%");
  EXPECT_EQ(Format("%1:s %0:s", {"a", "b"}), "b a");
  EXPECT_EQ(Format("%d", {-12}), "-12");
  EXPECT_THROW(Format("%d", {"x"}), EConvertError);
  EXPECT_THROW(Format("%s %s", {"x"}), EConvertError);
}

TEST(Conversions, IntegersAndTrimming) {
  EXPECT_EQ(StrToInt(" 42 "), 42);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
  EXPECT_THROW(StrToInt("4x"), EConvertError);
  EXPECT_THROW(StrToInt("2147483648"), EConvertError);
  try {
    StrToInt("abc");
  } catch (const EConvertError& e) {
    EXPECT_EQ(AnsiToUtf8(e.Message()), "\"abc\" не является целым числом.");
  }
  EXPECT_EQ(StrToIntDef("", 6), 6);
  EXPECT_EQ(Trim("  a b \t"), "a b");
  EXPECT_EQ(Pos("lo", "hello"), 4);
  EXPECT_EQ(Pos("x", "hello"), 0);
}

TEST(FileNames, PartsOfAPath) {
  EXPECT_EQ(ExtractFilePath("/a/b/c.html"), "/a/b/");
  EXPECT_EQ(ExtractFileName("/a/b/c.html"), "c.html");
  EXPECT_EQ(ExtractFileExt("/a/b.d/c"), "");
  EXPECT_EQ(ExtractFileExt("c.tar.gz"), ".gz");
  EXPECT_EQ(ChangeFileExt("/a/c.html", ".bak"), "/a/c.bak");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/a"), "/a/");
}

class TempDir : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vt-sysutils-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { std::system(("rm -rf " + dir_).c_str()); }
  std::string dir_;
};

TEST_F(TempDir, NamesAreFoundCaseInsensitivelyAndCyrillicNamesWork) {
  std::ofstream(dir_ + "/Template.html") << "x";
  EXPECT_TRUE(FileExists(dir_ + "/template.HTML"));
  EXPECT_FALSE(FileExists(dir_ + "/missing.html"));
  AnsiString ru = dir_ + "/" + W1251("Новый.htm");
  { TFileStream f(ru, fmCreate); f.WriteBuffer("ab", 2); }
  EXPECT_EQ(FileSize(ru), 2);
  EXPECT_TRUE(FileExists(dir_ + "/" + W1251("нОВЫЙ.htm")));
  EXPECT_EQ(access((dir_ + "/Новый.htm").c_str(), F_OK), 0);  // UTF-8 on disk
}

TEST_F(TempDir, StreamErrorsNameTheFile) {
  try {
    TFileStream f(dir_ + "/none", fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message().find(dir_ + "/none"), std::string::npos);
  }
  EXPECT_THROW(TFileStream(dir_, fmOpenRead), EFOpenError);  // a directory is not a file
  EXPECT_THROW(TFileStream(dir_ + "/no/such/dir/x", fmCreate), EFCreateError);
  TFileStream full("/dev/full", fmOpenWrite);
  try {
    full.WriteBuffer("abc", 3);
    FAIL();
  } catch (const EWriteError& e) {
    EXPECT_NE(e.Message().find("/dev/full"), std::string::npos);
  }
}

TEST(MemoryStream, ReadsWritesAndSeeks) {
  TMemoryStream m;
  m.WriteBuffer("hello", 5);
  EXPECT_EQ(m.Size(), 5);
  m.SetPosition(1);
  char buf[4] = {};
  m.ReadBuffer(buf, 3);
  EXPECT_STREQ(buf, "ell");
  EXPECT_THROW(m.ReadBuffer(buf, 3), EReadError);
  m.Seek(0, soEnd);
  m.WriteBuffer("!", 1);
  EXPECT_EQ(m.Data(), "hello!");
}

TEST(SettingsDir, FollowsTheEnvironment) {
  std::string old = getenv("VANTRY_TARN_CONFIG_DIR") ? getenv("VANTRY_TARN_CONFIG_DIR") : "";
  char tmpl[] = "/tmp/vt-cfg-XXXXXX";
  std::string d = mkdtemp(tmpl);
  setenv("VANTRY_TARN_CONFIG_DIR", (d + "/sub").c_str(), 1);
  EXPECT_EQ(SettingsDir(), d + "/sub/");
  EXPECT_TRUE(DirectoryExists(d + "/sub"));
  // Without the override: a relative XDG_CONFIG_HOME counts as unset, and the folders made
  // under the home folder are the user's alone.
  auto keep = [](const char* var) { return getenv(var) ? std::optional<std::string>(getenv(var)) : std::nullopt; };
  std::optional<std::string> oldHome = keep("HOME"), oldXdg = keep("XDG_CONFIG_HOME");
  unsetenv("VANTRY_TARN_CONFIG_DIR");
  setenv("HOME", (d + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", "relative/config", 1);
  EXPECT_EQ(SettingsDir(), d + "/home/.config/vantry-tarn/");
  EXPECT_FALSE(DirectoryExists("relative"));
  struct stat st {};
  for (const char* made : {"/home", "/home/.config", "/home/.config/vantry-tarn"}) {
    ASSERT_EQ(::stat((d + made).c_str(), &st), 0) << made;
    EXPECT_EQ(st.st_mode & 07777, 0700u) << made;
  }
  // Without HOME the home folder is the one the password database gives (nothing is made there).
  unsetenv("HOME");
  const passwd* pw = getpwuid(getuid());
  ASSERT_NE(pw, nullptr);
  EXPECT_EQ(DesktopBaseFolder("XDG_CONFIG_HOME", ".config"), std::string(pw->pw_dir) + "/.config");
  for (auto& [var, value] : {std::pair{"HOME", oldHome}, std::pair{"XDG_CONFIG_HOME", oldXdg}})
    value ? setenv(var, value->c_str(), 1) : unsetenv(var);
  if (old.empty()) unsetenv("VANTRY_TARN_CONFIG_DIR");
  else setenv("VANTRY_TARN_CONFIG_DIR", old.c_str(), 1);
  std::system(("rm -rf " + d).c_str());
}

TEST(SysUtils, SystemErrorsAreGivenInRussian) {
  EXPECT_EQ(AnsiToUtf8(SysErrorMessage(EACCES)), "Отказано в доступе.");
  EXPECT_EQ(AnsiToUtf8(SysErrorMessage(EISDIR)), "Это папка.");
  EXPECT_EQ(AnsiToUtf8(SysErrorMessage(ENOSPC)), "На устройстве не осталось места.");
  // Every reason the system can give reads in Russian: no Latin letter in any of them.
  for (int err = 1; err < 140; ++err) {
    std::string text = AnsiToUtf8(SysErrorMessage(err));
    EXPECT_FALSE(text.empty()) << err;
    EXPECT_EQ(std::count_if(text.begin(), text.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }), 0)
        << err << ": " << text;
  }
}

}  // namespace
