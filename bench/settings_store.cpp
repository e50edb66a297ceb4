// The settings file and the registry store under load: a 3 MB "quorbex.ini" read the way the
// program's start reads it (ten keys, the file freshly changed on disk before each start) and
// written the way its close writes it (five changed window keys), and KeyExists in a registry
// store of 16,000 keys; each beside a plain read (and write) of the same file.
#include <sys/stat.h>
#include <sys/time.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/quick.h"
#include "platform/inifiles.h"
#include "platform/registry.h"

namespace {

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string ReadPlain(const std::string& path) {
  std::string data;
  int fd = open(path.c_str(), O_RDONLY);
  char buf[65536];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) data.append(buf, static_cast<size_t>(n));
  close(fd);
  return data;
}

void WritePlain(const std::string& path, const std::string& data) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size())) std::perror("write");
  fsync(fd);
  close(fd);
}

// Mean seconds of one call of fn: up to maxRounds calls, fewer when they pass two seconds.
template <class F>
double Mean(int maxRounds, F fn) {
  double t0 = Now();
  int n = 0;
  while (n < maxRounds) {
    fn(n++);
    if (Now() - t0 > 2.0) break;
  }
  return (Now() - t0) / n;
}

// Marks the file as changed on disk, as a new start of the program would find it.
void Touch(const std::string& path) {
  static long tick = 0;
  timeval tv[2];
  gettimeofday(&tv[0], nullptr);
  tv[0].tv_usec = (tv[0].tv_usec + ++tick) % 1000000;
  tv[1] = tv[0];
  utimes(path.c_str(), tv);
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IOLBF, 0);
  char tmpl[] = "/tmp/vt-bench-settings-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  setenv("VANTRY_TARN_CONFIG_DIR", dir.c_str(), 1);
  std::string ini = dir + "/quorbex.ini";

  // 3 MB: the program's own sections first, then many remembered windows and lists.
  std::string text = "[General]\r\nMyPath=/opt/vantry-tarn\r\nStyle=XP\r\nShadows=0\r\n\r\n[Editor]\r\nWordWrap=0\r\n"
                     "BodyNmb=6\r\n\r\n";
  for (int s = 0; text.size() < bench_quick::Pick<size_t>(3000000, 300000); ++s) {
    text += "[Remembered" + std::to_string(s) + "Window]\r\n";
    for (int k = 0; k < 40; ++k) text += "Entry" + std::to_string(k) + "=value number " + std::to_string(s * 40 + k) + "\r\n";
    text += "\r\n";
  }
  text += "[TMainWindow]\r\nLeft=10\r\nTop=20\r\nWidth=800\r\nHeight=600\r\nState=0\r\n";
  WritePlain(ini, text);
  sync();  // reads of freshly written pages are slow here while they are written back
  std::printf("settings file: %.1f MB\n", static_cast<double>(text.size()) / 1e6);

  const int starts = bench_quick::Pick(20, 2);
  double plainRead = Mean(starts, [&](int) { ReadPlain(ini); });

  long sink = 0;
  double start = Mean(starts, [&](int) {
    Touch(ini);
    TIniFile main("quorbex.ini");
    sink += static_cast<long>(main.ReadString("General", "MyPath", "").size());
    sink += static_cast<long>(main.ReadString("General", "Style", "XP").size());
    sink += main.ReadInteger("General", "Shadows", 0);
    sink += main.ReadInteger("Editor", "WordWrap", 0);
    sink += main.ReadInteger("Editor", "BodyNmb", 6);
    TIniFile place("quorbex.ini");
    for (const char* k : {"Left", "Top", "Width", "Height", "State"}) sink += place.ReadInteger("TMainWindow", k, 0);
  });
  double plainWrite = Mean(starts, [&](int) { WritePlain(ini + ".plain", text); });
  double closeTime = Mean(starts, [&](int i) {
    TIniFile place("quorbex.ini");
    for (const char* k : {"Left", "Top", "Width", "Height", "State"}) place.WriteInteger("TMainWindow", k, i + 1000);
  });

  std::printf("start (10 keys read)      %9.2f ms   reference: plain read of the file  %7.2f ms\n", start * 1e3,
              plainRead * 1e3);
  std::printf("close (5 changed keys)    %9.2f ms   reference: plain write + fsync     %7.2f ms\n", closeTime * 1e3,
              plainWrite * 1e3);

  // A registry store of 16,000 keys, written as the store writes it.
  std::string reg = "; Vantry Tarn registry\n";
  const int keys = bench_quick::Pick(16000, 1000);
  for (int k = 0; k < keys; ++k)
    reg += "\n[HKEY_CURRENT_USER\\Software\\Bench\\Key" + std::to_string(k) + "]\n\"Value\"=dword:0000002A\n";
  std::string store = TRegistry::StoreFileName();
  WritePlain(store, reg);
  sync();
  std::printf("registry store: %d keys, %.1f MB\n", keys, static_cast<double>(reg.size()) / 1e6);

  const int lookups = bench_quick::Pick(200, 10);
  double plainStore = Mean(lookups, [&](int) { ReadPlain(store); });
  TRegistry r;
  r.SetRootKey(HKEY_CURRENT_USER);
  int found = 0, asked = 0;
  double exists = Mean(lookups, [&](int i) {
    ++asked;
    found += r.KeyExists("\\Software\\Bench\\Key" + std::to_string((i * 7919) % keys));
  });
  std::printf("KeyExists (mean of %d)    %9.3f ms   reference: plain read of the store %7.3f ms   (%d found)\n",
              asked, exists * 1e3, plainStore * 1e3, found);

  std::system(("rm -rf " + dir).c_str());
  bench_quick::Check(sink != 0, "the start reads its keys");
  bench_quick::Check(found == asked, "every key of the store found");
  return bench_quick::Status();
}
