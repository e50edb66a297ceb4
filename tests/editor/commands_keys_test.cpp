// Every default key binding pressed through the window system's key path of a shown control,
// page and scroll moves in a real window, a two-key binding and word-wrapped caret moves.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "editor/src_edit.h"
#include "platform/clipboard.h"
#include "platform/input_simulation.h"
#include "platform/shortcuts.h"

namespace {

const TShiftState kNone{};
const TShiftState kShift{ssShift};
const TShiftState kCtrl{ssCtrl};
const TShiftState kAlt{ssAlt};
const TShiftState kCtrlShift{ssCtrl, ssShift};
const TShiftState kShiftAlt{ssShift, ssAlt};

const AnsiString kText = "alpha beta\r\n    gamma delta\r\nepsilon";

struct KeyCase {
  const char* name;
  Word key;
  TShiftState shift;
  TBufferCoord caret;
  std::function<void(TSrcEdit*)> prepare;  // may be empty
  const char* text;                         // expected text, nullptr: unchanged
  TBufferCoord expect;                      // expected caret, (0,0): not checked
  std::function<void(TSrcEdit*)> check;     // may be empty
};

TBufferCoord P(int c, int l) { return BufferCoord(c, l); }
const TBufferCoord kAny{0, 0};

void SelectRange(TSrcEdit* e, TBufferCoord a, TBufferCoord b) { e->PlaceCaretAndSelection(b, a, b); }

AnsiString ContextWord;
void OnHelp(void*, TObject*, const AnsiString& w) { ContextWord = w; }

std::vector<KeyCase> Cases() {
  auto sel = [](TBufferCoord a, TBufferCoord b) { return [=](TSrcEdit* e) { SelectRange(e, a, b); }; };
  auto selText = [](const char* s) { return [=](TSrcEdit* e) { EXPECT_EQ(e->SelText(), s); }; };
  auto typedX = [](TSrcEdit* e) { e->CommandProcessor(ecChar, 'X', nullptr); };
  return {
      {"Up", VK_UP, kNone, P(3, 2), {}, nullptr, P(3, 1), {}},
      {"Shift+Up", VK_UP, kShift, P(3, 2), {}, nullptr, P(3, 1), selText("pha beta\r\n  ")},
      {"Ctrl+Up", VK_UP, kCtrl, P(3, 2), {}, nullptr, P(3, 2), {}},
      {"Down", VK_DOWN, kNone, P(3, 1), {}, nullptr, P(3, 2), {}},
      {"Shift+Down", VK_DOWN, kShift, P(3, 1), {}, nullptr, P(3, 2), selText("pha beta\r\n  ")},
      {"Ctrl+Down", VK_DOWN, kCtrl, P(3, 2), {}, nullptr, P(3, 2), {}},
      {"Left", VK_LEFT, kNone, P(3, 1), {}, nullptr, P(2, 1), {}},
      {"Shift+Left", VK_LEFT, kShift, P(3, 1), {}, nullptr, P(2, 1), selText("l")},
      {"Ctrl+Left", VK_LEFT, kCtrl, P(9, 1), {}, nullptr, P(7, 1), {}},
      {"Ctrl+Shift+Left", VK_LEFT, kCtrlShift, P(9, 1), {}, nullptr, P(7, 1), selText("be")},
      {"Right", VK_RIGHT, kNone, P(3, 1), {}, nullptr, P(4, 1), {}},
      {"Shift+Right", VK_RIGHT, kShift, P(3, 1), {}, nullptr, P(4, 1), selText("p")},
      {"Ctrl+Right", VK_RIGHT, kCtrl, P(2, 1), {}, nullptr, P(7, 1), {}},
      {"Ctrl+Shift+Right", VK_RIGHT, kCtrlShift, P(2, 1), {}, nullptr, P(7, 1), selText("lpha ")},
      {"Page Down", VK_NEXT, kNone, P(2, 1), {}, nullptr, P(2, 3), {}},
      {"Shift+Page Down", VK_NEXT, kShift, P(2, 1), {}, nullptr, P(2, 3), {}},
      {"Ctrl+Page Down", VK_NEXT, kCtrl, P(2, 1), {}, nullptr, P(2, 3), {}},
      {"Ctrl+Shift+Page Down", VK_NEXT, kCtrlShift, P(2, 1), {}, nullptr, P(2, 3), selText("lpha beta\r\n    gamma delta\r\ne")},
      {"Page Up", VK_PRIOR, kNone, P(2, 3), {}, nullptr, P(2, 1), {}},
      {"Shift+Page Up", VK_PRIOR, kShift, P(2, 3), {}, nullptr, P(2, 1), {}},
      {"Ctrl+Page Up", VK_PRIOR, kCtrl, P(2, 3), {}, nullptr, P(2, 1), {}},
      {"Ctrl+Shift+Page Up", VK_PRIOR, kCtrlShift, P(2, 3), {}, nullptr, P(2, 1), selText("lpha beta\r\n    gamma delta\r\ne")},
      {"Home", VK_HOME, kNone, P(9, 2), {}, nullptr, P(5, 2), {}},
      {"Shift+Home", VK_HOME, kShift, P(9, 2), {}, nullptr, P(5, 2), selText("gamm")},
      {"Ctrl+Home", VK_HOME, kCtrl, P(9, 2), {}, nullptr, P(1, 1), {}},
      {"Ctrl+Shift+Home", VK_HOME, kCtrlShift, P(3, 2), {}, nullptr, P(1, 1), selText("alpha beta\r\n  ")},
      {"End", VK_END, kNone, P(2, 2), {}, nullptr, P(16, 2), {}},
      {"Shift+End", VK_END, kShift, P(12, 2), {}, nullptr, P(16, 2), selText("elta")},
      {"Ctrl+End", VK_END, kCtrl, P(2, 1), {}, nullptr, P(8, 3), {}},
      {"Ctrl+Shift+End", VK_END, kCtrlShift, P(12, 2), {}, nullptr, P(8, 3), selText("elta\r\nepsilon")},
      {"Insert", VK_INSERT, kNone, P(1, 1), {}, nullptr, kAny, [](TSrcEdit* e) { EXPECT_FALSE(e->InsertMode()); }},
      {"Ctrl+Insert", VK_INSERT, kCtrl, P(1, 1), sel(P(1, 1), P(6, 1)), nullptr, kAny,
       [](TSrcEdit*) { EXPECT_EQ(Clipboard()->AsText(), "alpha"); }},
      {"Shift+Delete", VK_DELETE, kShift, P(1, 1), sel(P(1, 1), P(7, 1)), "beta\r\n    gamma delta\r\nepsilon", P(1, 1),
       [](TSrcEdit*) { EXPECT_EQ(Clipboard()->AsText(), "alpha "); }},
      {"Shift+Insert", VK_INSERT, kShift, P(1, 3), [](TSrcEdit*) { Clipboard()->SetAsText("<p>"); },
       "alpha beta\r\n    gamma delta\r\n<p>epsilon", P(4, 3), {}},
      {"Delete", VK_DELETE, kNone, P(1, 1), {}, "lpha beta\r\n    gamma delta\r\nepsilon", P(1, 1), {}},
      {"Backspace", VK_BACK, kNone, P(3, 1), {}, "apha beta\r\n    gamma delta\r\nepsilon", P(2, 1), {}},
      {"Shift+Backspace", VK_BACK, kShift, P(3, 1), {}, "apha beta\r\n    gamma delta\r\nepsilon", P(2, 1), {}},
      {"Ctrl+Backspace", VK_BACK, kCtrl, P(11, 1), {}, "alpha \r\n    gamma delta\r\nepsilon", P(7, 1), {}},
      {"Alt+Backspace", VK_BACK, kAlt, P(1, 1), typedX, "alpha beta\r\n    gamma delta\r\nepsilon", P(1, 1), {}},
      {"Shift+Alt+Backspace", VK_BACK, kShiftAlt, P(1, 1),
       [=](TSrcEdit* e) {
         typedX(e);
         e->Undo();
       },
       "Xalpha beta\r\n    gamma delta\r\nepsilon", kAny, {}},
      {"Enter", VK_RETURN, kNone, P(10, 2), {}, "alpha beta\r\n    gamma\r\n     delta\r\nepsilon", P(5, 3), {}},
      {"Shift+Enter", VK_RETURN, kShift, P(1, 3), {}, "alpha beta\r\n    gamma delta\r\n\r\nepsilon", P(1, 4), {}},
      {"Tab", VK_TAB, kNone, P(1, 3), {}, "alpha beta\r\n    gamma delta\r\n    epsilon", P(5, 3), {}},
      {"Shift+Tab", VK_TAB, kShift, P(5, 2), {}, "alpha beta\r\ngamma delta\r\nepsilon", P(1, 2), {}},
      {"F1", VK_F1, kNone, P(8, 1), {}, nullptr, kAny, [](TSrcEdit*) { EXPECT_EQ(ContextWord, "beta"); }},
      {"Ctrl+A", 'A', kCtrl, P(3, 2), {}, nullptr, P(8, 3), selText("alpha beta\r\n    gamma delta\r\nepsilon")},
      {"Ctrl+C", 'C', kCtrl, P(1, 1), sel(P(7, 1), P(11, 1)), nullptr, kAny,
       [](TSrcEdit*) { EXPECT_EQ(Clipboard()->AsText(), "beta"); }},
      {"Ctrl+V", 'V', kCtrl, P(1, 1), [](TSrcEdit*) { Clipboard()->SetAsText("x\r\ny"); },
       "x\r\nyalpha beta\r\n    gamma delta\r\nepsilon", P(2, 2), {}},
      {"Ctrl+X", 'X', kCtrl, P(1, 1), sel(P(1, 2), P(1, 3)), "alpha beta\r\nepsilon", P(1, 2),
       [](TSrcEdit*) { EXPECT_EQ(Clipboard()->AsText(), "    gamma delta\r\n"); }},
      {"Ctrl+Shift+I", 'I', kCtrlShift, P(1, 1), sel(P(1, 1), P(1, 3)),
       "    alpha beta\r\n        gamma delta\r\nepsilon", kAny, {}},
      {"Ctrl+Shift+U", 'U', kCtrlShift, P(1, 1), sel(P(1, 2), P(3, 2)), "alpha beta\r\ngamma delta\r\nepsilon", kAny,
       {}},
      {"Ctrl+M", 'M', kCtrl, P(6, 1), {}, "alpha\r\n beta\r\n    gamma delta\r\nepsilon", P(1, 2), {}},
      {"Ctrl+N", 'N', kCtrl, P(6, 1), {}, "alpha\r\n beta\r\n    gamma delta\r\nepsilon", P(6, 1), {}},
      {"Ctrl+T", 'T', kCtrl, P(1, 1), {}, "beta\r\n    gamma delta\r\nepsilon", P(1, 1), {}},
      {"Ctrl+Y", 'Y', kCtrl, P(4, 2), {}, "alpha beta\r\nepsilon", P(1, 2), {}},
      {"Ctrl+Shift+Y", 'Y', kCtrlShift, P(11, 2), {}, "alpha beta\r\n    gamma \r\nepsilon", P(11, 2), {}},
      {"Ctrl+Z", 'Z', kCtrl, P(1, 1), typedX, "alpha beta\r\n    gamma delta\r\nepsilon", P(1, 1), {}},
      {"Ctrl+Shift+Z", 'Z', kCtrlShift, P(1, 1),
       [=](TSrcEdit* e) {
         typedX(e);
         e->Undo();
       },
       "Xalpha beta\r\n    gamma delta\r\nepsilon", kAny, {}},
      {"Ctrl+Shift+N", 'N', kCtrlShift, P(1, 1), [](TSrcEdit* e) { e->SetSelectionMode(smLine); }, nullptr, kAny,
       [](TSrcEdit* e) { EXPECT_EQ(e->SelectionMode(), smNormal); }},
      {"Ctrl+Shift+C", 'C', kCtrlShift, P(1, 1), {}, nullptr, kAny,
       [](TSrcEdit* e) { EXPECT_EQ(e->SelectionMode(), smColumn); }},
      {"Ctrl+Shift+L", 'L', kCtrlShift, P(1, 1), {}, nullptr, kAny,
       [](TSrcEdit* e) { EXPECT_EQ(e->SelectionMode(), smLine); }},
      {"Ctrl+Shift+B", 'B', kCtrlShift, P(1, 1), [](TSrcEdit* e) { e->Lines()->SetText("(a [b] c)"); }, "(a [b] c)",
       P(9, 1), {}},
  };
}

std::unique_ptr<TSrcEdit> Shown(int w = 400, int h = 300) {
  auto e = std::make_unique<TSrcEdit>(nullptr);
  ShowForTest(e.get(), w, h);
  e->SetFocus();
  ProcessMessages();
  return e;
}

void Reset(TSrcEdit* e) {
  e->Lines()->SetText(kText);
  e->ClearUndo();
  e->SetOptions(TSrcEditorOptions::FromBits(SRCEDIT_DEFAULT_OPTIONS).With(eoEnhanceHomeKey).Without(eoScrollPastEol));
  e->SetTabWidth(4);
  e->SetSelectionMode(smNormal);
  e->SetInsertMode(true);
  e->SetTopLine(1);
  for (int n = 0; n <= 9; ++n) e->RemoveBookmark(n);
}

}  // namespace

TEST(SrcEditKeys, EveryDefaultBindingThroughTheKeyboard) {
  auto e = Shown();
  e->OnContextHelp = TContextHelpEvent(&OnHelp, nullptr);
  for (const KeyCase& k : Cases()) {
    SCOPED_TRACE(k.name);
    Reset(e.get());
    e->SetCaretXY(k.caret);
    if (k.prepare) k.prepare(e.get());
    AnsiString before = e->Text();
    SimulateKeyStroke(e.get(), k.key, k.shift);
    ProcessMessages();
    EXPECT_EQ(e->Text(), k.text ? AnsiString(k.text) : before);
    if (k.expect != kAny) {
      EXPECT_EQ(e->CaretXY(), k.expect);
    }
    if (k.check) k.check(e.get());
  }
  // The marker keys: Ctrl+Shift+digit sets (and on the same line clears), Ctrl+digit jumps.
  for (int n = 0; n <= 9; ++n) {
    SCOPED_TRACE(n);
    Reset(e.get());
    e->SetCaretXY(P(3, 2));
    SimulateKeyStroke(e.get(), static_cast<Word>('0' + n), kCtrlShift);
    ASSERT_TRUE(e->IsBookmark(n));
    e->SetCaretXY(P(1, 1));
    SimulateKeyStroke(e.get(), static_cast<Word>('0' + n), kCtrl);
    EXPECT_EQ(e->CaretXY(), P(3, 2));
    SimulateKeyStroke(e.get(), static_cast<Word>('0' + n), kCtrlShift);
    EXPECT_FALSE(e->IsBookmark(n));
  }
  EXPECT_EQ(e->Keystrokes()->Count(), 82);
}

TEST(SrcEditKeys, TypingInsertAndOverwrite) {
  auto e = Shown();
  Reset(e.get());
  e->SetCaretXY(P(7, 1));
  SimulateTyping(e.get(), "big ");
  EXPECT_EQ(e->Lines()->Get(0), "alpha big beta");
  SimulateKeyStroke(e.get(), VK_INSERT);
  SimulateTyping(e.get(), "BE");
  EXPECT_EQ(e->Lines()->Get(0), "alpha big BEta");
  SimulateTyping(e.get(), "\xd1\x8f");  // я
  EXPECT_EQ(e->Lines()->Get(0), W1251("alpha big BEяa"));
  // Typing, the mode switch and overwriting are separate undo steps.
  for (int i = 0; i < 4; ++i) SimulateKeyStroke(e.get(), 'Z', kCtrl);
  EXPECT_EQ(e->Lines()->Get(0), "alpha beta");
}

TEST(SrcEditKeys, PageAndScrollMovesInAWindow) {
  auto e = Shown(400, 300);
  AnsiString text;
  for (int i = 1; i <= 200; ++i) text += "line " + std::to_string(i) + "\r\n";
  e->Lines()->SetText(text);
  int L = e->LinesInWindow();
  ASSERT_GT(L, 3);
  e->SetCaretXY(P(3, 1));
  SimulateKeyStroke(e.get(), VK_NEXT);
  EXPECT_EQ(e->TopLine(), 1 + L);
  EXPECT_EQ(e->CaretXY(), P(3, 1 + L));
  SimulateKeyStroke(e.get(), VK_NEXT, kCtrl);
  EXPECT_EQ(e->CaretY(), 2 * L);
  SimulateKeyStroke(e.get(), VK_PRIOR, kCtrl);
  EXPECT_EQ(e->CaretY(), 1 + L);
  SimulateKeyStroke(e.get(), VK_PRIOR);
  EXPECT_EQ(e->TopLine(), 1);
  EXPECT_EQ(e->CaretY(), 1);
  // Half pages, one less.
  e->SetOptions(e->Options().With(eoHalfPageScroll).With(eoScrollByOneLess));
  SimulateKeyStroke(e.get(), VK_NEXT, kShift);
  EXPECT_EQ(e->CaretY(), 1 + (L >> 1) - 1);
  EXPECT_TRUE(e->SelAvail());
  // Ctrl+Down scrolls the view; the caret stays on a visible row.
  e->SetCaretXY(P(1, 1));
  e->SetTopLine(1);
  SimulateKeyStroke(e.get(), VK_DOWN, kCtrl);
  EXPECT_EQ(e->TopLine(), 2);
  EXPECT_EQ(e->CaretY(), 2);
  SimulateKeyStroke(e.get(), VK_UP, kCtrl);
  EXPECT_EQ(e->TopLine(), 1);
  EXPECT_EQ(e->CaretY(), 2);
  e->SetCaretXY(P(1, L));
  SimulateKeyStroke(e.get(), VK_UP, kCtrl);  // at the top already: nothing to scroll
  EXPECT_EQ(e->TopLine(), 1);
  e->SetTopLine(50);
  e->CommandProcessor(ecScrollDown, 0, nullptr);  // caret out of view: only brought into view
  EXPECT_EQ(e->CaretY(), L);
  EXPECT_LE(e->TopLine(), L);
  // Horizontal scrolling.
  e->SetOptions(e->Options().With(eoScrollPastEol));
  e->CommandProcessor(ecScrollRight, 0, nullptr);
  EXPECT_EQ(e->LeftChar(), 2);
  e->CommandProcessor(ecScrollLeft, 0, nullptr);
  EXPECT_EQ(e->LeftChar(), 1);
  e->SetCaretXY(P(1, 1));
  e->CommandProcessor(ecPageRight, 0, nullptr);
  EXPECT_EQ(e->CaretX(), 1 + e->CharsInWindow());
  e->CommandProcessor(ecPageLeft, 0, nullptr);
  EXPECT_EQ(e->CaretX(), 1);
}

TEST(SrcEditKeys, TwoKeyBinding) {
  auto e = Shown();
  Reset(e.get());
  TSrcEditKeyStroke* k = e->Keystrokes()->Add();
  k->SetCommand(ecUpperCase);
  k->SetShortCut(ShortCut('K', kCtrl));
  k->SetShortCut2(ShortCut('U', kNone));
  e->SetCaretXY(P(2, 1));
  SimulateKeyStroke(e.get(), 'K', kCtrl);
  SimulateKeyStroke(e.get(), 'U');
  EXPECT_EQ(e->Lines()->Get(0), "ALPHA beta");
  // A bound key in between breaks the sequence: U types.
  SimulateKeyStroke(e.get(), 'K', kCtrl);
  SimulateKeyStroke(e.get(), VK_RIGHT);
  SimulateKeyStroke(e.get(), 'U', kNone, "u");
  EXPECT_EQ(e->Lines()->Get(0), "ALuPHA beta");
}

TEST(SrcEditKeys, WordWrapRowEndsAndLineEnd) {
  auto e = Shown(300, 200);
  int cols = e->CharsInWindow();
  ASSERT_GT(cols, 8);
  AnsiString word(static_cast<size_t>(cols + 10), 'w');
  e->Lines()->SetText(word);
  e->SetWordWrap(true);
  ASSERT_GE(e->DisplayLineCount(), 2);
  int rowLen = e->WordWrapPlugin()->GetRowLength(1);
  e->SetCaretXY(P(rowLen, 1));
  SimulateKeyStroke(e.get(), VK_RIGHT);
  EXPECT_EQ(e->CaretX(), rowLen + 1);
  EXPECT_TRUE(e->CaretAtRowEnd());
  EXPECT_EQ(e->DisplayXY(), DisplayCoord(rowLen + 1, 1));
  SimulateKeyStroke(e.get(), VK_RIGHT);
  EXPECT_EQ(e->CaretX(), rowLen + 1);
  EXPECT_FALSE(e->CaretAtRowEnd());
  EXPECT_EQ(e->DisplayXY(), DisplayCoord(1, 2));
  SimulateKeyStroke(e.get(), VK_LEFT);
  EXPECT_TRUE(e->CaretAtRowEnd());
  SimulateKeyStroke(e.get(), VK_LEFT);
  EXPECT_EQ(e->CaretX(), rowLen);
  // End stays on the caret's row.
  e->SetCaretXY(P(2, 1));
  SimulateKeyStroke(e.get(), VK_END);
  EXPECT_EQ(e->DisplayXY().Row, 1);
  EXPECT_EQ(e->CaretX(), rowLen + 1);
  // Down from the first row keeps the column on the second.
  e->SetCaretXY(P(3, 1));
  SimulateKeyStroke(e.get(), VK_DOWN);
  EXPECT_EQ(e->DisplayXY(), DisplayCoord(3, 2));
  // Home on a continuation row goes to its start.
  SimulateKeyStroke(e.get(), VK_HOME);
  EXPECT_EQ(e->DisplayXY(), DisplayCoord(1, 2));
}
