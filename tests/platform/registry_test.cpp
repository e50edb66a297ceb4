#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/registry.h"

namespace {

class Registry : public ::testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/vt-reg-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    const char* old = getenv("VANTRY_TARN_CONFIG_DIR");
    hadOld_ = old != nullptr;
    if (old) old_ = old;
    setenv("VANTRY_TARN_CONFIG_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    if (hadOld_) setenv("VANTRY_TARN_CONFIG_DIR", old_.c_str(), 1);
    else unsetenv("VANTRY_TARN_CONFIG_DIR");
    std::filesystem::remove_all(dir_);
  }
  std::string File() const { return dir_ + "/registry.txt"; }
  std::string StoreText() const {
    std::ifstream f(File());
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
  void WriteStore(const std::string& text) const { std::ofstream(File()) << text; }
  std::string dir_, old_;
  bool hadOld_ = false;
};

TEST_F(Registry, ValuesSurviveInTheFileForANewObject) {
  {
    TRegistry reg;
    EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
    ASSERT_TRUE(reg.OpenKey("Software\\Vantry Tarn\\Main", true));
    EXPECT_EQ(reg.CurrentPath(), "Software\\Vantry Tarn\\Main");
    reg.WriteInteger("Count", -5);
    reg.WriteString("Caption", "Text");
    reg.WriteBool("On", true);
  }
  TRegistry reg;
  EXPECT_FALSE(reg.ValueExists("Count"));  // no key open yet
  ASSERT_TRUE(reg.OpenKeyReadOnly("software\\VANTRY TARN\\main"));
  EXPECT_EQ(reg.CurrentPath(), "Software\\Vantry Tarn\\Main");  // the case it was created with
  EXPECT_EQ(reg.ReadInteger("count"), -5);
  EXPECT_EQ(reg.ReadString("CAPTION"), "Text");
  EXPECT_TRUE(reg.ReadBool("On"));
  EXPECT_EQ(reg.GetDataType("Count"), rdInteger);
  EXPECT_EQ(reg.GetDataType("Caption"), rdString);
  EXPECT_EQ(reg.GetDataType("None"), rdUnknown);
  std::string text = StoreText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Vantry Tarn\\Main]\n\"Count\"=dword:FFFFFFFB\n"
                      "\"Caption\"=\"Text\"\n\"On\"=dword:00000001\n"),
            std::string::npos)
      << text;
}

TEST_F(Registry, PathsRootsAndKeyNames) {
  TRegistry reg;
  EXPECT_FALSE(reg.OpenKey("A\\B", false));
  EXPECT_FALSE(reg.KeyExists("A"));
  ASSERT_TRUE(reg.OpenKey("A\\B", true));
  EXPECT_TRUE(reg.KeyExists("\\A"));
  ASSERT_TRUE(reg.OpenKey("C", true));  // below the open key
  EXPECT_EQ(reg.CurrentPath(), "A\\B\\C");
  ASSERT_TRUE(reg.OpenKey("\\A\\D\\", true));  // from the root; empty names are dropped
  EXPECT_EQ(reg.CurrentPath(), "A\\D");
  ASSERT_TRUE(reg.OpenKey("\\A", false));
  TStringList names;
  reg.GetKeyNames(&names);
  EXPECT_EQ(names.CommaText(), "B,D");
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_FALSE(reg.HasCurrentKey());
  EXPECT_FALSE(reg.KeyExists("\\A"));
  ASSERT_TRUE(reg.OpenKey("\\A", true));
  reg.WriteInteger("X", 1);
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  EXPECT_FALSE(reg.OpenKeyReadOnly("A"));
  reg.SetRootKey(HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenKey("\\A", false));
  EXPECT_FALSE(reg.ValueExists("X"));
  EXPECT_TRUE(reg.DeleteKey("\\A\\B"));
  EXPECT_FALSE(reg.KeyExists("\\A\\B\\C"));
  EXPECT_TRUE(reg.KeyExists("\\A\\D"));
  EXPECT_FALSE(reg.DeleteKey("\\A\\B"));
}

TEST_F(Registry, Errors) {
  TRegistry reg;
  try {
    reg.WriteInteger("X", 1);  // no key open
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(AnsiToUtf8(e.Message()), "Не удаётся записать значение \"X\" в реестр программы.");
  }
  ASSERT_TRUE(reg.OpenKey("\\K", true));
  reg.WriteString("S", "text");
  try {
    reg.ReadInteger("S");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(AnsiToUtf8(e.Message()), "Значение \"S\" в реестре программы другого типа.");
  }
  try {
    reg.ReadInteger("Missing");
    FAIL();
  } catch (const ERegistryException& e) {
    EXPECT_EQ(AnsiToUtf8(e.Message()), "Значения \"Missing\" нет в реестре программы.");
  }
  EXPECT_EQ(reg.ReadString("Missing"), "");
  reg.WriteInteger("I", 3);
  EXPECT_THROW(reg.ReadString("I"), ERegistryException);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\K"));
  EXPECT_THROW(reg.WriteInteger("I", 4), ERegistryException);
  EXPECT_FALSE(reg.DeleteValue("I"));
  ASSERT_TRUE(reg.OpenKey("\\K", false));
  reg.WriteInteger("S", 9);  // a value may change its type
  EXPECT_EQ(reg.ReadInteger("S"), 9);
  EXPECT_TRUE(reg.DeleteValue("S"));
  EXPECT_FALSE(reg.ValueExists("S"));
  TStringList values;
  reg.GetValueNames(&values);
  EXPECT_EQ(values.CommaText(), "I");
}

TEST_F(Registry, EveryByteOfNamesAndTextsComesBack) {
  AnsiString all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  AnsiString keyName = W1251("Ключ \"x\" [1] %41");
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\Software\\" + keyName, true));
    reg.WriteString("All", all);
    reg.WriteString(W1251("Имя \"с\" \\ кавычками"), "line1\r\nline2\t\"end\"\\");
    reg.WriteString("Empty", "");
  }
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\" + keyName));
  EXPECT_EQ(reg.ReadString("All"), all);
  EXPECT_EQ(reg.ReadString(W1251("имя \"С\" \\ КАВЫЧКАМИ")), "line1\r\nline2\t\"end\"\\");
  EXPECT_TRUE(reg.ValueExists("Empty"));
  // The file is UTF-8 text, one value a line.
  std::string text = StoreText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Ключ \"x\" [1] %2541]"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Имя \\\"с\\\" \\\\ кавычками\"=\"line1\\r\\nline2\\t\\\"end\\\"\\\\\"\n"), std::string::npos);
}

TEST_F(Registry, WritesAreAtomicAndLeaveNoTemporaryFiles) {
  TRegistry a, b;
  ASSERT_TRUE(a.OpenKey("\\K", true));
  ASSERT_TRUE(b.OpenKey("\\K", true));
  a.WriteInteger("A", 1);
  b.WriteInteger("B", 2);  // b sees a's change: nothing is lost between two objects
  EXPECT_EQ(a.ReadInteger("B"), 2);
  EXPECT_EQ(b.ReadInteger("A"), 1);
  // A write cut off half-way leaves a temporary file, never a damaged store.
  std::ofstream(dir_ + "/registry.txt.tmp999999") << "[HKEY_CURRENT_USER\\K]\n\"A\"=dword:0000";
  EXPECT_EQ(a.ReadInteger("A"), 1);
  std::filesystem::remove(dir_ + "/registry.txt.tmp999999");
  // The store alone, beside the folder where saves keep their records (empty once they end).
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_)) {
    if (e.path().filename() == "recovery") {
      EXPECT_TRUE(std::filesystem::is_empty(e.path()));
    } else {
      ++files;
    }
  }
  EXPECT_EQ(files, 1);
  // A write that cannot be made is reported, and the store keeps what it had.
  chmod(dir_.c_str(), 0500);
  if (getuid() != 0) {  // root writes anyway
    EXPECT_THROW(a.WriteInteger("A", 5), ERegistryException);
    EXPECT_EQ(a.ReadInteger("A"), 1);
  }
  chmod(dir_.c_str(), 0700);
}

TEST_F(Registry, DamagedOrHandEditedFileIsReadAsFarAsItGoes) {
  WriteStore("garbage line\n\"Orphan\"=dword:1\n[HKEY_CURRENT_USER\\Good]\r\n\"N\"=dword:0000002A\r\n"
             "\"Bad\"=dword:XYZ\n\"Long\"=dword:123456789\n\"Open\"=\"no end\n\"S\"=\"ok\"\n[]\n[broken\n"
             "[HKEY_CURRENT_USER\\Good\\Sub]\n");
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Good"));
  EXPECT_EQ(reg.ReadInteger("N"), 42);
  EXPECT_EQ(reg.ReadString("S"), "ok");
  EXPECT_FALSE(reg.ValueExists("Bad"));
  EXPECT_FALSE(reg.ValueExists("Long"));
  EXPECT_FALSE(reg.ValueExists("Open"));
  EXPECT_TRUE(reg.KeyExists("Sub"));
}

}  // namespace
