#pragma once
// What the tests of the control with a real (offscreen) window share: a shown editor and a
// text of numbered lines.
#include <memory>
#include <string>

#include "editor/src_edit.h"
#include "platform/input_simulation.h"

// "line 1" .. "line n", joined by CR LF.
inline AnsiString NumberedLines(int n) {
  AnsiString s;
  for (int i = 1; i <= n; ++i) {
    s += "line " + std::to_string(i);
    if (i < n) s += "\r\n";
  }
  return s;
}

inline std::unique_ptr<TSrcEdit> Shown(const AnsiString& text, int w = 400, int h = 300) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  e->Lines()->SetText(text);
  ShowForTest(e.get(), w, h);
  return e;
}
