#pragma once
// A main window in a temporary settings folder with a temporary program folder copied from
// data/ (named by the settings), an empty user data folder, and a dialog hook that records every
// request and answers from a queue.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/data_folder.h"
#include "app/main_window.h"
#include "app/program_args.h"
#include "platform/application.h"
#include "platform/dialogs.h"
#include "platform/shell.h"

namespace fs = std::filesystem;

struct DialogRecorder {
  std::vector<TDialogRequest> asked;
  std::vector<std::optional<TDialogAnswer>> answers;
  DialogRecorder() {
    SetDialogHook([this](const TDialogRequest& r) -> std::optional<TDialogAnswer> {
      asked.push_back(r);
      if (answers.empty()) {
        TDialogAnswer a;
        a.Result = r.Kind == dkMessageBox ? (r.Flags & 0xF) == MB_OK ? IDOK : IDCANCEL : IDCANCEL;
        return a;
      }
      auto a = answers.front();
      answers.erase(answers.begin());
      return a;
    });
  }
  ~DialogRecorder() { SetDialogHook(nullptr); }
  void Answer(int result, const std::string& file = std::string(), TColor color = clBlack) {
    TDialogAnswer a;
    a.Result = result;
    a.FileName = file;
    a.Color = color;
    answers.push_back(a);
  }
  int Count(TDialogKind k) const {
    int n = 0;
    for (auto& r : asked) n += r.Kind == k;
    return n;
  }
  const TDialogRequest* Last(TDialogKind k) const {
    for (auto it = asked.rbegin(); it != asked.rend(); ++it)
      if (it->Kind == k) return &*it;
    return nullptr;
  }
};

inline std::string ReadFile(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}
inline void WriteFile(const fs::path& p, const std::string& s) {
  std::ofstream f(p, std::ios::binary);
  f << s;
}

class AppTest : public ::testing::Test {
protected:
  fs::path root, settings, program, userData;
  TMain* main = nullptr;
  DialogRecorder dialogs;
  std::vector<std::string> shellOpened;

  void SetUp() override {
    char tmpl[] = "/tmp/vt-app-XXXXXX";
    root = mkdtemp(tmpl);
    settings = root / "settings";
    program = root / "program";
    userData = root / "userdata";
    fs::create_directories(settings);
    fs::copy(VT_TEST_DATA_DIR, program, fs::copy_options::recursive);
    setenv("VANTRY_TARN_CONFIG_DIR", settings.c_str(), 1);
    setenv("VANTRY_TARN_DATA_DIR", userData.c_str(), 1);
    WriteIni("[General]\nMyPath=" + program.string() + "\n");
    SetProgramArguments({});
    SetShellHook([this](const AnsiString&, const AnsiString& target, const std::string&) {
      shellOpened.push_back(target);
      return true;
    });
  }
  void TearDown() override {
    Destroy();
    SetShellHook(nullptr);
    SetInstallFolder(AnsiString());
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add);
    std::error_code ec;
    fs::remove_all(root, ec);
  }
  void WriteIni(const std::string& text) { WriteFile(settings / "quorbex.ini", text); }
  void Create(std::vector<AnsiString> args = {}) {
    SetProgramArguments(std::move(args));
    Application->CreateForm(main);
  }
  void Destroy() {
    delete main;
    main = nullptr;
  }
  void Run(const char* action) {
    TAction* a = main->FindAction(action);
    ASSERT_NE(a, nullptr) << action;
    a->Execute();
  }
  // Runs an action as a bar or shortcut would: the silent abort ends it without a message.
  bool RunAborted(const char* action) {
    try {
      main->FindAction(action)->Execute();
    } catch (const EAbort&) {
      return true;
    }
    return false;
  }
  TSrcEdit* Ed() const { return main->SrcEdit1; }
  AnsiString Panel(int i) const { return main->StatusBar1->Panels()->Items(i)->Text(); }
};
