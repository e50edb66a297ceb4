#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <fstream>
#include <sstream>

#include "platform/inifiles.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteAll(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary);
  out << data;
}

class IniFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    name_ = "ini_test_" + std::to_string(counter_++) + ".ini";
    path_ = SettingsDir() + name_;
    DeleteFile(path_);
  }
  void TearDown() override { DeleteFile(path_); }
  std::string name_, path_;
  static inline int counter_ = 0;
};

TEST_F(IniFileTest, BareNameLivesInTheSettingsFolderAndWritesGoThrough) {
  TIniFile ini(name_);
  EXPECT_EQ(ini.FileName(), path_);
  ini.WriteString("General", "MyPath", "/opt/tarn");
  ini.WriteInteger("General", "Shadows", 1);
  ini.WriteBool("Editor", "WordWrap", true);
  // Written through at once: the file holds it and a second object on it reads it.
  std::string text = ReadAll(path_);
  EXPECT_NE(text.find("[General]\r\nMyPath=/opt/tarn\r\nShadows=1\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[Editor]\r\nWordWrap=1"), std::string::npos);
  TIniFile other(path_);
  EXPECT_EQ(other.ReadString("general", "MYPATH", "x"), "/opt/tarn");
  EXPECT_EQ(other.ReadInteger("GENERAL", "shadows", 0), 1);
  EXPECT_TRUE(other.ReadBool("editor", "wordwrap", false));
  // Overwriting a key keeps one line with the key's first spelling.
  other.WriteInteger("GENERAL", "SHADOWS", 0);
  EXPECT_EQ(ini.ReadInteger("General", "Shadows", 5), 0);
  text = ReadAll(path_);
  EXPECT_EQ(text.find("SHADOWS"), std::string::npos);
  // No temporary file is left beside it.
  DIR* d = opendir(SettingsDir().c_str());
  ASSERT_TRUE(d);
  while (dirent* e = readdir(d)) EXPECT_EQ(std::string(e->d_name).find(".tmp"), std::string::npos) << e->d_name;
  closedir(d);
}

TEST_F(IniFileTest, MissingFileGarbageAndWrongTypesReadAsDefaults) {
  TIniFile ini(name_);
  EXPECT_EQ(ini.ReadString("General", "Style", "XP"), "XP");
  EXPECT_EQ(ini.ReadInteger("Editor", "BodyNmb", 6), 6);
  EXPECT_FALSE(ini.SectionExists("General"));
  WriteAll(path_,
           "garbage line without equals\n"
           "=value without key\n"
           "[TMainWindow]\n"
           "  Left = 120 \n"
           "Top=abc\n"
           "Width=12px\n"
           "Height=$20\n"
           "State=0x2\n"
           "; Width=999\n"
           "[Broken\n"
           "Caption=\"quoted text\"\n"
           "Empty=\n"
           "[Other]\r\n"
           "Left=7\r\n");
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "Left", 0), 120);
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "Top", -1), -1);
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "Width", -1), -1);
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "Height", 0), 32);
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "State", 1), 2);
  EXPECT_EQ(ini.ReadString("TMainWindow", "Caption", ""), "quoted text");
  // An empty value exists and reads as empty text, but as the default number.
  EXPECT_TRUE(ini.ValueExists("TMainWindow", "Empty"));
  EXPECT_EQ(ini.ReadString("TMainWindow", "Empty", "d"), "");
  EXPECT_EQ(ini.ReadInteger("TMainWindow", "Empty", 9), 9);
  EXPECT_TRUE(ini.ReadBool("TMainWindow", "Top", true));
  EXPECT_FALSE(ini.ValueExists("TMainWindow", "; Width"));
  EXPECT_EQ(ini.ReadInteger("other", "left", 0), 7);

  TStringList keys;
  ini.ReadSection("tmainwindow", &keys);
  ASSERT_EQ(keys.Count(), 7);
  EXPECT_EQ(keys[0], "Left");
  EXPECT_EQ(keys[6], "Empty");
  TStringList sections;
  ini.ReadSections(&sections);
  ASSERT_EQ(sections.Count(), 2);
  EXPECT_EQ(sections[1], "Other");

  // Writing keeps the garbage and comments and adds the key inside its section.
  ini.WriteString("Other", "Top", "8");
  std::string text = ReadAll(path_);
  EXPECT_NE(text.find("garbage line without equals"), std::string::npos);
  EXPECT_NE(text.find("[Other]\r\nLeft=7\r\nTop=8"), std::string::npos) << text;
}

TEST_F(IniFileTest, EraseSectionAndDeleteKey) {
  TIniFile ini(name_);
  ini.WriteString("A", "x", "1");
  ini.WriteString("B", "y", "2");
  ini.WriteString("A", "z", "3");
  ini.EraseSection("a");
  EXPECT_FALSE(ini.SectionExists("A"));
  EXPECT_EQ(ini.ReadString("A", "x", "gone"), "gone");
  EXPECT_EQ(ini.ReadString("B", "y", ""), "2");
  ini.DeleteKey("b", "Y");
  EXPECT_TRUE(ini.SectionExists("B"));
  EXPECT_FALSE(ini.ValueExists("B", "y"));
  ini.EraseSection("Nothing");  // no such section: nothing happens
}

TEST_F(IniFileTest, UnchangedValuesAreNotWrittenAndOutsideChangesAreSeen) {
  TIniFile ini(name_);
  ini.WriteString("A", "k", "1");
  struct stat before {}, after {};
  stat(path_.c_str(), &before);
  ini.WriteString("a", "K", "1");  // the same value: the file is left alone
  ini.WriteInteger("A", "k", 1);
  stat(path_.c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  ini.WriteString("A", "k", "22");
  stat(path_.c_str(), &after);
  EXPECT_NE(after.st_ino, before.st_ino);
  // Another program rewrites the file: the next read sees it.
  WriteAll(path_, "[A]\r\nk=333\r\nnew=yes\r\n");
  EXPECT_EQ(ini.ReadString("A", "k", ""), "333");
  EXPECT_EQ(ini.ReadString("A", "new", ""), "yes");
  ini.WriteString("B", "x", "y");
  EXPECT_EQ(ReadAll(path_), "[A]\r\nk=333\r\nnew=yes\r\n\r\n[B]\r\nx=y\r\n");
  // A file removed from under it reads as empty.
  DeleteFile(path_);
  EXPECT_FALSE(ini.SectionExists("A"));
}

TEST_F(IniFileTest, UnwritableFileRaises) {
  TIniFile ini("/nonexistent-folder/x.ini");
  EXPECT_THROW(ini.WriteString("A", "b", "c"), EIniFileException);
  EXPECT_EQ(ini.ReadString("A", "b", "d"), "d");
}

}  // namespace
