// File streams and the settings readers never wait on a file that is not a file: pipes,
// sockets and disks are refused with a reason, character devices open.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/inifiles.h"
#include "platform/registry.h"
#include "platform/safe_file.h"
#include "platform/streams.h"

namespace {

namespace fs = std::filesystem;

class SpecialFiles : public ::testing::Test {
protected:
  fs::path dir;
  void SetUp() override {
    char tmpl[] = "/tmp/vt-streams-XXXXXX";
    dir = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Fifo(const char* name) {
    std::string p = (dir / name).string();
    EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
    return p;
  }
};

// The message of what the call threw, empty when it threw nothing.
template <class F>
std::string MessageOf(F f) {
  try {
    f();
  } catch (const Exception& e) {
    return AnsiToUtf8(e.Message());
  }
  return std::string();
}

TEST_F(SpecialFiles, PipesSocketsAndFoldersAreRefusedAndDevicesOpen) {
  std::string fifo = Fifo("pipe.html");
  std::string sock = (dir / "sock").string();
  int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock.c_str());
  ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  struct Case {
    std::string name, reason;
  } cases[] = {{fifo, "именованный канал"}, {sock, "сокет"}, {dir.string(), "Это папка."}};
  for (const Case& c : cases) {
    TStringList lines;
    std::string m = MessageOf([&] { lines.LoadFromFile(c.name); });
    EXPECT_NE(m.find("Не удаётся открыть файл \"" + c.name + "\""), std::string::npos) << m;
    EXPECT_NE(m.find(c.reason), std::string::npos) << m;
    m = MessageOf([&] { SafeWriteFile(c.name, "text"); });
    EXPECT_NE(m.find("Не удаётся создать файл \"" + c.name + "\""), std::string::npos) << m;
    EXPECT_NE(m.find(c.reason), std::string::npos) << m;
    m = MessageOf([&] { TFileStream f(c.name, fmCreate); });
    EXPECT_NE(m.find(c.reason), std::string::npos) << m;
  }
  // A pipe with a writer waiting is refused all the same.
  int w = ::open(fifo.c_str(), O_RDWR);
  EXPECT_THROW(TFileStream(fifo, fmOpenRead), EFOpenError);
  ::close(w);
  ::close(s);

  // A character device opens; one that reports no size gives no text.
  TStringList zero;
  zero.LoadFromFile("/dev/zero");
  EXPECT_EQ(zero.Count(), 0);
  SafeWriteFile("/dev/null", "gone");

  // Settings and the registry store in a pipe's place read as empty, without waiting.
  std::string ini = Fifo("settings.ini");
  EXPECT_EQ(TIniFile(ini).ReadString("General", "MyPath", "none"), "none");
  const char* kept = std::getenv("VANTRY_TARN_CONFIG_DIR");
  std::string settings = kept ? kept : "";
  setenv("VANTRY_TARN_CONFIG_DIR", dir.c_str(), 1);
  std::string store = AnsiToSystemName(TRegistry::StoreFileName());
  ASSERT_EQ(fs::path(store).parent_path(), dir);
  Fifo(fs::path(store).filename().c_str());
  {
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKey("\\Software\\Vantry Tarn", false));
  }
  if (kept) setenv("VANTRY_TARN_CONFIG_DIR", settings.c_str(), 1);
  else unsetenv("VANTRY_TARN_CONFIG_DIR");
}

}  // namespace
