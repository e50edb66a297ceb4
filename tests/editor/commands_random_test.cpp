// Scripted runs of a few hundred random editor commands over every command of the executor:
// after each one the caret and the selection stay inside the text; taking every change back
// restores the original text byte for byte, and redoing them all gives the final text again.
// For hunting faults: VT_DEEP_CHECK=1 undoes and redoes everything after every command,
// the report lists what ran since the text was last cleared, VT_SEED_SHIFT=n runs other seeds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>

#include "editor/src_edit.h"
#include "platform/clipboard.h"
#include "platform/input_simulation.h"

namespace {

const TSrcEditorCommand kCommands[] = {
    ecLeft, ecRight, ecUp, ecDown, ecWordLeft, ecWordRight, ecLineStart, ecLineEnd, ecPageUp, ecPageDown,
    ecPageLeft, ecPageRight, ecPageTop, ecPageBottom, ecEditorTop, ecEditorBottom, ecGotoXY, ecSelLeft,
    ecSelRight, ecSelUp, ecSelDown, ecSelWordLeft, ecSelWordRight, ecSelLineStart, ecSelLineEnd, ecSelPageUp,
    ecSelPageDown, ecSelPageLeft, ecSelPageRight, ecSelPageTop, ecSelPageBottom, ecSelEditorTop,
    ecSelEditorBottom, ecSelGotoXY, ecSelectAll, ecCopy, ecScrollUp, ecScrollDown, ecScrollLeft, ecScrollRight,
    ecInsertMode, ecOverwriteMode, ecToggleMode, ecNormalSelect, ecColumnSelect, ecLineSelect, ecMatchBracket,
    ecGotoMarker0, ecGotoMarker4, ecGotoMarker9, ecSetMarker0, ecSetMarker4, ecSetMarker9, ecContextHelp,
    ecDeleteLastChar, ecDeleteChar, ecDeleteWord, ecDeleteLastWord, ecDeleteBOL, ecDeleteEOL, ecDeleteLine,
    ecClearAll, ecLineBreak, ecInsertLine, ecChar, ecImeStr, ecUndo, ecRedo, ecCut, ecPaste, ecBlockIndent,
    ecBlockUnindent, ecTab, ecShiftTab, ecUpperCase, ecLowerCase, ecToggleCase, ecTitleCase, ecUpperCaseBlock,
    ecLowerCaseBlock, ecToggleCaseBlock, ecCommentBlock, ecString, ecAutoCompletion, 777};

// The commands that edit, drawn more often than the rest.
const TSrcEditorCommand kEdits[] = {ecChar, ecChar, ecChar, ecDeleteLastChar, ecDeleteChar, ecLineBreak,
                                    ecTab, ecShiftTab, ecBlockIndent, ecBlockUnindent, ecDeleteWord, ecUpperCase,
                                    ecImeStr, ecPaste, ecInsertLine, ecDeleteLine, ecToggleCaseBlock};

// A line as generated pages have them, longer than the scroll width.
AnsiString LongLine() {
  AnsiString s = "<p class=\"api\">";
  for (int i = 0; s.size() < 1500; ++i) s += "word" + std::to_string(i) + " and <b>more</b>, ";
  return s + "</p>";
}

const AnsiString kOriginal = W1251(
    "<html>\r\n"
    "  <body class=\"a\">\r\n"
    "\t<p>Some words, and (brackets)</p>\r\n"
    "\r\n"
    "    indented_line with\ttab\r\n"
    "Привет мир ЁЖ\r\n") + LongLine() + W1251("\r\n"
    "        deep\r\n"
    "last");

struct RunConfig {
  unsigned seed;
  TSrcEditorOptions options;
  int tabWidth;
  int steps;
};

std::string Tail(const std::vector<std::string>& t) {
  std::string r;
  for (size_t i = t.size() > 6 ? t.size() - 6 : 0; i < t.size(); ++i) r += t[i] + "\n";
  return r;
}

std::string Describe(TSrcEditorCommand c, TCustomSrcEdit* e) {
  std::ostringstream os;
  os << "command " << c << " caret (" << e->CaretX() << "," << e->CaretY() << ") block (" << e->RawBlockBegin().Char
     << "," << e->RawBlockBegin().Line << ")-(" << e->RawBlockEnd().Char << "," << e->RawBlockEnd().Line
     << ") mode " << int(e->SelectionMode()) << (e->InsertMode() ? " ins" : " ovr");
  return os.str();
}

void CheckLimits(TCustomSrcEdit* e, const std::string& what) {
  int lines = std::max(1, e->Lines()->Count());
  ASSERT_GE(e->CaretY(), 1) << what;
  ASSERT_LE(e->CaretY(), lines) << what;
  ASSERT_GE(e->CaretX(), 1) << what;
  int caretLine = e->CaretY() <= e->Lines()->Count() ? static_cast<int>(e->Lines()->Line(e->CaretY() - 1).size()) : 0;
  ASSERT_LE(e->CaretX(), std::max(e->MaxScrollWidth(), caretLine) + 64) << what;
  // Without eoScrollPastEol the caret never stands beyond the end of its line.
  if (!e->Options().Contains(eoScrollPastEol) && e->CaretY() <= e->Lines()->Count()) {
    ASSERT_LE(e->CaretX(), static_cast<int>(e->Lines()->Get(e->CaretY() - 1).size()) + 1) << what;
  }
  for (TBufferCoord p : {e->RawBlockBegin(), e->RawBlockEnd()}) {
    ASSERT_GE(p.Line, 1) << what;
    ASSERT_LE(p.Line, lines) << what;
    ASSERT_GE(p.Char, 1) << what;
  }
}

void RunRandom(TCustomSrcEdit* e, const RunConfig& cfg) {
  std::mt19937 rng(cfg.seed + (getenv("VT_SEED_SHIFT") ? unsigned(atoi(getenv("VT_SEED_SHIFT"))) : 0u));
  e->SetOptions(cfg.options);
  e->SetTabWidth(cfg.tabWidth);
  e->SetMaxUndo(1000000);
  AnsiString text = kOriginal;
  // Odd seeds start from loaded lines, which stay in the loaded text until changed.
  if (cfg.seed % 2) {
    TStringStream loaded(text);
    e->Lines()->LoadFromStream(&loaded);
  } else {
    e->Lines()->SetText(text);
  }
  Clipboard()->SetAsText("clip\r\n  board");
  e->ClearUndo();
  e->SetCaretXY(BufferCoord(1, 1));
  AnsiString original = e->Text();
  const char typed[] = "ab Z(){}<>\"=;.,_09\xE9\xC0 ";
  const char* ime[] = {"xy", "\xEF\xF0\xE8", "a\r\nb", "", "long composition"};
  std::string last;
  std::vector<std::string> trail;  // what ran since the text was last cleared, for the report
  for (int step = 0; step < cfg.steps; ++step) {
    int lines = std::max(1, e->Lines()->Count());
    // Mostly near the line start; now and then anywhere in the line or past its end, far
    // beyond the scroll width on a long line.
    auto pos = [&]() {
      int line = int(rng() % lines) + 1;
      int length = static_cast<int>(e->Lines()->Line(line - 1).size());
      return BufferCoord(rng() % 4 == 0 ? int(rng() % unsigned(length + 40)) + 1 : int(rng() % 30) + 1, line);
    };
    // A position within the text of its line is taken as it is.
    auto within = [&](TBufferCoord p) {
      return p.Line <= e->Lines()->Count() && p.Char <= static_cast<int>(e->Lines()->Line(p.Line - 1).size()) + 1;
    };
    unsigned r = rng() % 10;
    if (r == 0) {
      TBufferCoord p = pos();
      e->SetCaretXY(p);
      trail.push_back("caret " + std::to_string(p.Char) + "," + std::to_string(p.Line));
      // (With word wrap a caret among the blanks that hang past the window at a wrap shows
      // at the row's end.)
      if (within(p) && !e->WordWrap()) {
        ASSERT_EQ(e->CaretXY(), p) << "caret set in the text, seed " << cfg.seed;
      }
      continue;
    }
    if (r == 1) {
      TBufferCoord a = pos(), b = pos();
      if (rng() % 3 == 0) e->SetSelectionMode(smColumn);
      e->PlaceCaretAndSelection(b, a, b);
      if (within(a)) {
        ASSERT_EQ(e->RawBlockBegin(), a) << "block begin set in the text, seed " << cfg.seed;
      }
      trail.push_back("select " + std::to_string(a.Char) + "," + std::to_string(a.Line) + " " + std::to_string(b.Char) + "," + std::to_string(b.Line));
      continue;
    }
    TSrcEditorCommand c = r < 5 ? kEdits[rng() % std::size(kEdits)] : kCommands[rng() % std::size(kCommands)];
    char ch = typed[rng() % (sizeof(typed) - 1)];
    TBufferCoord target = pos();
    void* data = nullptr;
    if (c == ecGotoXY || c == ecSelGotoXY || (c >= ecSetMarker0 && c <= ecSetMarker9 && rng() % 2))
      data = &target;
    if (c == ecImeStr) data = const_cast<char*>(ime[rng() % std::size(ime)]);
    last = Describe(c, e) + " at step " + std::to_string(step);
    e->CommandProcessor(c, ch, data);
    if (c == ecClearAll) {
      original = e->Text();  // the undo lists start again
      trail.clear();
    }
    if (getenv("VT_DEEP_CHECK") && !e->CanRedo()) {
      AnsiString now = e->Text();
      while (e->CanUndo()) e->Undo();
      if (e->Text() != original) {
        ADD_FAILURE() << "deep undo after " << last << "\n" << Tail(trail) << " seed " << cfg.seed << "\nnow [" << now << "]\ngot [" << e->Text() << "]";
        return;
      }
      while (e->CanRedo()) e->Redo();
      if (e->Text() != now) {
        ADD_FAILURE() << "deep redo after " << last << "\n" << Tail(trail) << " seed " << cfg.seed << "\nnow [" << now << "]\ngot [" << e->Text() << "]";
        return;
      }
    }
    if (trail.size() < 400) trail.push_back(last + " ch " + std::to_string(int(ch)) + " -> [" + e->Text() + "]");
    CheckLimits(e, last);
    if (::testing::Test::HasFatalFailure()) return;
  }
  while (e->CanRedo()) e->Redo();
  AnsiString final = e->Text();
  int guard = 0;
  while (e->CanUndo() && ++guard < 100000) e->Undo();
  std::string all;
  for (auto& t : trail) all += t + "\n";
  ASSERT_EQ(e->Text(), original) << "undo to the start, seed " << cfg.seed << ", last " << last << "\n" << all;
  guard = 0;
  while (e->CanRedo() && ++guard < 100000) e->Redo();
  ASSERT_EQ(e->Text(), final) << "redo to the end, seed " << cfg.seed;
}

TSrcEditorOptions Defaults() { return TSrcEditorOptions::FromBits(SRCEDIT_DEFAULT_OPTIONS); }

}  // namespace

TEST(SrcEditRandomCommands, DefaultOptions) {
  for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
    TSrcEdit e(nullptr);
    RunRandom(&e, {seed, Defaults(), 8, 400});
    if (HasFatalFailure()) return;
  }
}

TEST(SrcEditRandomCommands, NoOptions) {
  for (unsigned seed : {11u, 12u, 13u, 14u}) {
    TSrcEdit e(nullptr);
    RunRandom(&e, {seed, TSrcEditorOptions(), 4, 400});
    if (HasFatalFailure()) return;
  }
}

TEST(SrcEditRandomCommands, TabsIndentationAndKeptColumn) {
  TSrcEditorOptions o{eoAutoIndent, eoTabIndent, eoKeepCaretX, eoEnhanceHomeKey, eoSmartTabs, eoSmartTabDelete,
                      eoGroupUndo, eoScrollPastEol, eoHalfPageScroll, eoScrollByOneLess};
  for (unsigned seed : {21u, 22u, 23u, 24u}) {
    TSrcEdit e(nullptr);
    RunRandom(&e, {seed, o, 4, 400});
    if (HasFatalFailure()) return;
  }
}

TEST(SrcEditRandomCommands, TrimmedAndSpacesInAWindow) {
  TSrcEditorOptions o{eoTrimTrailingSpaces, eoTabsToSpaces, eoTabIndent, eoAutoIndent, eoSmartTabs, eoScrollPastEol};
  for (unsigned seed : {31u, 32u, 33u}) {
    TSrcEdit e(nullptr);
    ShowForTest(&e, 360, 240);
    RunRandom(&e, {seed, o, 2, 300});
    if (HasFatalFailure()) return;
  }
}

TEST(SrcEditRandomCommands, WordWrapInAWindow) {
  for (unsigned seed : {41u, 42u, 43u}) {
    TSrcEdit e(nullptr);
    ShowForTest(&e, 240, 240);
    e.SetWordWrap(true);
    RunRandom(&e, {seed, Defaults(), 8, 300});
    if (HasFatalFailure()) return;
  }
}
