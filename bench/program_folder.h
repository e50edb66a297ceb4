#pragma once
// The folders a benchmark that starts the main window gives it: a settings folder whose
// settings file names a program folder holding the files of data/ (template, lists, notes,
// help), so that the window starts as it does for a user. A start-up that reports anything
// (a missing list file, say) would measure an error path: the benchmark stops with the message.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/application.h"
#include "platform/dialogs.h"

namespace bench_program {

// Under dir: "settings" (made the settings folder) and "program" (a copy of data/).
inline void Prepare(const std::filesystem::path& dir) {
  std::filesystem::create_directories(dir / "settings");
  setenv("VANTRY_TARN_CONFIG_DIR", (dir / "settings").c_str(), 1);
  std::filesystem::copy(VT_DATA_DIR, dir / "program", std::filesystem::copy_options::recursive);
  std::ofstream(dir / "settings" / "quorbex.ini") << "[General]\nMyPath=" << (dir / "program").string() << "\n";
  // Every message of the start is an error here.
  SetDialogHook([](const TDialogRequest& r) -> std::optional<TDialogAnswer> {
    std::fprintf(stderr, "start-up reported: %s\n", AnsiToUtf8(r.Text).c_str());
    std::_Exit(2);
  });
}

// After start-up: messages are answered as usual again.
inline void Started() { SetDialogHook(nullptr); }

}  // namespace bench_program
