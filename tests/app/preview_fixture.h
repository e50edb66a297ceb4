#pragma once
// A main window with a document beside a second page, a shell hook that records what would be
// launched, and the print-options and preview windows freed after each test.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "app/preview/main_preview.h"
#include "app/preview/print_options.h"
#include "platform/input_simulation.h"
#include "platform/printer/printer.h"
#include "tests/app/app_fixture.h"
#include "tests/platform/test_print_server.h"

// The output of a shell command.
inline std::string Shell(const std::string& cmd) {
  std::string out;
  if (FILE* p = popen(cmd.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// Runs the message loop until the condition holds; false after the timeout, which is long so
// that a machine busy with other work does not fail a wait that would have ended.
template <class F>
inline bool WaitFor(F&& done, double seconds = 300) {
  auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > until) return false;
    ProcessMessages();
    usleep(5000);
  }
  return true;
}

class PreviewTest : public AppTest {
protected:
  TestPrintServer printServer;
  fs::path site, doc;
  std::vector<std::string> launched;

  void SetUp() override {
    AppTest::SetUp();
    // The browser engine refuses its sandbox to the superuser.
    if (geteuid() == 0) setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 1);
    SetPrintServer(&printServer);
    site = root / "site";
    fs::create_directories(site);
    doc = site / "a.htm";
    WriteFile(doc, "<html><head><meta charset=\"windows-1251\"><title>\xCF\xF0\xEE\xE1\xE0</title></head>\r\n"
                   "<body style=\"background:#3060c0\"><h1>Hello</h1><a href=\"b.htm\">b</a></body></html>\r\n");
    WriteFile(site / "b.htm", "<html><head><title>B</title></head><body>second</body></html>");
    SetShellHook([this](const AnsiString&, const AnsiString& target, const std::string& url) {
      shellOpened.push_back(target);
      launched.push_back(url);
      return true;
    });
  }
  void TearDown() override {
    delete MainPreview;
    delete PrntOpt;
    Printer()->SetOutputFileName("");
    SetPrintServer(nullptr);
    AppTest::TearDown();
  }
  void Keep(TWinControl* form, const char* name) {
    fs::create_directories(VT_TEST_OUTPUT_DIR);
    for (int i = 0; i < 5; ++i) ProcessMessages();
    EXPECT_TRUE(SaveWindowImage(form, std::string(VT_TEST_OUTPUT_DIR) + "/" + name));
  }
};

