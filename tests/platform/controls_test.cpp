#include <gtest/gtest.h>

#include <cstdlib>
#include <dirent.h>
#include <unistd.h>
#include <fstream>
#include <vector>

#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/forms.h"
#include "platform/graphics.h"
#include "platform/input_simulation.h"
#include "platform/stdctrls.h"

namespace {

class Probe : public TCustomControl {
public:
  explicit Probe(TComponent* owner = nullptr) : TCustomControl(owner) {}
  std::vector<TMessage> seen;
  std::vector<TRect> painted;
  TColor fill = clRed;
  bool throwOnChar = false;

  std::vector<TMessage> Of(unsigned msg) const {
    std::vector<TMessage> r;
    for (auto& m : seen)
      if (m.Msg == msg) r.push_back(m);
    return r;
  }

  void WndProc(TMessage& m) override {
    seen.push_back(m);
    if (m.Msg == WM_CHAR && throwOnChar) throw Exception("handler failed");
    TCustomControl::WndProc(m);
  }

protected:
  void Paint(TCanvas* canvas, const TRect& clip) override {
    painted.push_back(clip);
    canvas->Brush()->SetColor(fill);
    canvas->FillRect(clip);
  }
};

TEST(Controls, KeysArriveAsLayoutIndependentMessages) {
  Probe p;
  ShowForTest(&p, 200, 100);
  SimulateKeyStroke(&p, 'Z', {ssCtrl}, "\x1a", /*russianLayout=*/true);
  auto downs = p.Of(WM_KEYDOWN);
  ASSERT_EQ(downs.size(), 1u);
  EXPECT_EQ(downs[0].WParam, static_cast<uintptr_t>('Z'));
  auto chars = p.Of(WM_CHAR);
  ASSERT_EQ(chars.size(), 1u);
  EXPECT_EQ(chars[0].WParam, 26u);  // Ctrl+Z types the control code
  p.seen.clear();
  SimulateKeyStroke(&p, 'Q', {}, "й", true);  // a Russian letter: key Q, byte of й
  ASSERT_EQ(p.Of(WM_KEYDOWN).size(), 1u);
  EXPECT_EQ(p.Of(WM_KEYDOWN)[0].WParam, static_cast<uintptr_t>('Q'));
  ASSERT_EQ(p.Of(WM_CHAR).size(), 1u);
  EXPECT_EQ(p.Of(WM_CHAR)[0].WParam, 0xE9u);
  p.seen.clear();
  SimulateKeyStroke(&p, 'X', {ssAlt}, "x");
  EXPECT_EQ(p.Of(WM_SYSKEYDOWN).size(), 1u);
  EXPECT_EQ(p.Of(WM_SYSCHAR).size(), 1u);
  p.seen.clear();
  SimulateKeyStroke(&p, VK_F9);
  SimulateKeyStroke(&p, VK_NUMPAD5, {}, "5");
  SimulateKeyStroke(&p, VK_RETURN, {}, "\r");
  auto keys = p.Of(WM_KEYDOWN);
  ASSERT_EQ(keys.size(), 3u);
  EXPECT_EQ(keys[0].WParam, static_cast<uintptr_t>(VK_F9));
  EXPECT_EQ(keys[1].WParam, static_cast<uintptr_t>(VK_NUMPAD5));
  EXPECT_EQ(keys[2].WParam, static_cast<uintptr_t>(VK_RETURN));
  ASSERT_EQ(p.Of(WM_CHAR).size(), 2u);
  EXPECT_EQ(p.Of(WM_CHAR)[1].WParam, 13u);
}

// A keyboard of its own that disagrees with the events: what its keys held when the program
// gets to them is not what they were pressed with.
class ShiftProbe : public Probe {
public:
  std::vector<TShiftState> keyShifts, mouseShifts;
  std::vector<bool> ctrlHeld;

protected:
  void KeyDown(Word& Key, TShiftState Shift) override {
    keyShifts.push_back(Shift);
    ctrlHeld.push_back(GetKeyState(VK_CONTROL) < 0);
    Probe::KeyDown(Key, Shift);
  }
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override {
    mouseShifts.push_back(Shift);
    Probe::MouseDown(Button, Shift, X, Y);
  }
};

TEST(Controls, KeysAndClicksAreTakenWithTheModifiersTheyWerePressedWith) {
  ShiftProbe p;
  ShowForTest(&p, 200, 100);
  SimulateKeyboardHolding({});  // let go before the program got to the keys
  SimulateKeyStroke(&p, VK_END, {ssCtrl});
  SimulateKeyStroke(&p, VK_LEFT, {ssShift});
  SimulateMouse(&p, smPress, mbLeft, 5, 5, {ssAlt});
  SimulateMouse(&p, smRelease, mbLeft, 5, 5);
  SimulateKeyboardHolding({ssCtrl});  // held down only after the key was pressed
  SimulateKeyStroke(&p, VK_END);
  EndSimulatedKeyboard();
  ASSERT_EQ(p.keyShifts.size(), 3u);
  EXPECT_EQ(p.keyShifts[0], TShiftState{ssCtrl});
  EXPECT_TRUE(p.ctrlHeld[0]);
  EXPECT_EQ(p.keyShifts[1], TShiftState{ssShift});
  EXPECT_EQ(p.keyShifts[2], TShiftState{});
  EXPECT_FALSE(p.ctrlHeld[2]);
  ASSERT_EQ(p.mouseShifts.size(), 1u);
  EXPECT_TRUE(p.mouseShifts[0].Contains(ssAlt));
}

TEST(Controls, InputMethodTextDropsWhatTheCodePageCannotHold) {
  Probe p;
  ShowForTest(&p, 100, 50);
  SimulateInputMethodCommit(&p, "ё€中x");
  ASSERT_EQ(p.Of(WM_IME_COMPOSITION).size(), 1u);
  EXPECT_EQ(ImmGetCompositionResult(&p), "\xB8\x88x");
}

TEST(Controls, MouseMessagesCarryPositionButtonsAndWheel) {
  Probe p;
  ShowForTest(&p, 200, 100);
  SimulateMouse(&p, smPress, mbLeft, 10, 20, {ssShift});
  SimulateMouse(&p, smMove, mbLeft, 15, 25, {ssLeft});
  SimulateMouse(&p, smRelease, mbLeft, 15, 25);
  SimulateMouse(&p, smDoubleClick, mbLeft, 3, 4);
  SimulateMouse(&p, smPress, mbRight, 1, 2);
  SimulateWheel(&p, -120, {ssCtrl});
  auto down = p.Of(WM_LBUTTONDOWN);
  ASSERT_EQ(down.size(), 1u);
  EXPECT_EQ(LoWordSigned(down[0].LParam), 10);
  EXPECT_EQ(HiWordSigned(down[0].LParam), 20);
  EXPECT_EQ(down[0].WParam & (MK_LBUTTON | MK_SHIFT), MK_LBUTTON | MK_SHIFT);
  EXPECT_EQ(p.Of(WM_MOUSEMOVE).back().WParam & MK_LBUTTON, MK_LBUTTON);
  EXPECT_EQ(p.Of(WM_LBUTTONUP).size(), 1u);
  EXPECT_EQ(p.Of(WM_LBUTTONDBLCLK).size(), 1u);
  EXPECT_EQ(p.Of(WM_RBUTTONDOWN).size(), 1u);
  auto wheel = p.Of(WM_MOUSEWHEEL);
  ASSERT_EQ(wheel.size(), 1u);
  EXPECT_EQ(HiWordSigned(static_cast<intptr_t>(wheel[0].WParam)), -120);
  EXPECT_TRUE(wheel[0].WParam & MK_CONTROL);
}

TEST(Controls, PaintsWhatIsInvalidAndScrollsPixels) {
  Probe p;
  ShowForTest(&p, 120, 60);
  EXPECT_EQ(ClientPixel(&p, 5, 5), clRed);
  p.painted.clear();
  p.fill = clBlue;
  p.InvalidateRect(TRect{0, 0, 10, 10});
  p.Update();
  ASSERT_FALSE(p.painted.empty());
  EXPECT_EQ(p.painted.back(), (TRect{0, 0, 10, 10}));
  p.painted.clear();
  p.fill = clLime;
  p.Invalidate();
  p.Update();
  EXPECT_EQ(ClientPixel(&p, p.ClientWidth() - 1, p.ClientHeight() - 1), clLime);
}

// A window paints straight into itself: it holds no second image of its pixels until a canvas
// draws on it between paints. What that canvas draws then shows, and stays until the control
// paints the part again.
TEST(Controls, OnlyAWindowDrawnOnBetweenPaintsHoldsACopyOfItsPixels) {
  Probe p;
  ShowForTest(&p, 120, 60);
  EXPECT_EQ(ClientPixel(&p, 5, 5), clRed);
  EXPECT_EQ(ClientPixel(&p, 60, 30), clRed);
  EXPECT_FALSE(HoldsPixelCopy(&p));
  {
    auto canvas = CreateControlCanvas(&p);
    canvas->Brush()->SetColor(clLime);
    canvas->FillRect(TRect{0, 0, 10, 10});
  }
  ProcessMessages();
  EXPECT_TRUE(HoldsPixelCopy(&p));
  EXPECT_EQ(ClientPixel(&p, 5, 5), clLime);
  EXPECT_EQ(ClientPixel(&p, 60, 30), clRed);
  p.Invalidate();
  p.Update();
  EXPECT_EQ(ClientPixel(&p, 5, 5), clRed);
}

// The toolkit draws a fill of many short spans (the long edge of a scroll bar) with its thread
// pool, which would start a thread per core for it.
TEST(Controls, PaintingATallScrollBarStartsAtMostOneDrawingThread) {
  auto pooled = [] {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
      while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + e->d_name + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name.find("pooled") != std::string::npos) ++n;
      }
      closedir(d);
    }
    return n;
  };
  Probe p;
  ShowForTest(&p, 200, 900);
  p.ShowScrollBar(SB_BOTH, true);
  p.Invalidate();
  p.Update();
  ProcessMessages();
  EXPECT_LE(pooled(), 1);
}

TEST(Controls, ScrollBarsKeepTheControlsPositionAndTakeClientSpace) {
  Probe p;
  ShowForTest(&p, 200, 100);
  int fullWidth = p.ClientWidth();
  p.ShowScrollBar(SB_VERT, true);
  EXPECT_LT(p.ClientWidth(), fullWidth);
  TScrollInfo si;
  si.fMask = SIF_ALL;
  si.nMin = 1;
  si.nMax = 100;
  si.nPage = 10;
  si.nPos = 500;  // beyond the end: held at the last page
  p.SetScrollInfo(SB_VERT, si);
  TScrollInfo back = p.GetScrollInfo(SB_VERT);
  EXPECT_EQ(back.nPos, 91);
  EXPECT_EQ(back.nPage, 10u);
  EXPECT_TRUE(p.ScrollBarEnabled(SB_VERT));
  p.EnableScrollBar(SB_VERT, ESB_DISABLE_UP);  // one arrow only: the bar stays usable
  EXPECT_TRUE(p.ScrollBarEnabled(SB_VERT));
  p.EnableScrollBar(SB_VERT, ESB_DISABLE_BOTH);
  EXPECT_FALSE(p.ScrollBarEnabled(SB_VERT));
  p.ShowScrollBar(SB_BOTH, false);
  EXPECT_EQ(p.ClientWidth(), fullWidth);
}

TEST(Controls, WindowCanBeDestroyedAndRecreatedWithStateKept) {
  Probe p;
  ShowForTest(&p, 150, 70);
  p.SetCursor(crIBeam);
  p.DragAcceptFiles(true);
  p.RecreateWnd();
  EXPECT_TRUE(p.HandleAllocated());
  EXPECT_EQ(p.Width(), 150);
  EXPECT_TRUE(p.AcceptsDroppedFiles());
  p.DestroyHandle();
  EXPECT_FALSE(p.HandleAllocated());
  p.HandleNeeded();
  EXPECT_TRUE(p.HandleAllocated());
}

TEST(Controls, DroppedFilesArriveOnlyWhenAccepted) {
  Probe p;
  ShowForTest(&p, 100, 50);
  SimulateFileDrop(&p, {"/tmp/a.html"});
  EXPECT_TRUE(p.Of(WM_DROPFILES).empty());
  p.DragAcceptFiles(true);
  std::vector<AnsiString> got;
  struct Catcher : Probe {
    std::vector<AnsiString>* out;
    void WndProc(TMessage& m) override {
      if (m.Msg == WM_DROPFILES) *out = DragQueryFiles(m.WParam);
      Probe::WndProc(m);
    }
  } c;
  c.out = &got;
  ShowForTest(&c, 100, 50);
  c.DragAcceptFiles(true);
  SimulateFileDrop(&c, {"/tmp/a.html", "/tmp/Новый.htm"});
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[1], W1251("/tmp/Новый.htm"));
}

TEST(Controls, ExceptionsInHandlersNeverReachTheEventLoop) {
  std::vector<AnsiString> shown;
  SetExceptionSink([&](TObject*, const Exception* e) { shown.push_back(e->Message()); });
  Probe p;
  ShowForTest(&p, 100, 50);
  p.throwOnChar = true;
  SimulateKeyStroke(&p, 'A', {}, "a");
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "handler failed");
  SetExceptionSink(nullptr);
}

TEST(Controls, TheCaretIsOneForTheApplication) {
  Probe a, b;
  ShowForTest(&a, 100, 50);
  ShowForTest(&b, 100, 50);
  CreateCaret(&a, 2, 14);
  EXPECT_FALSE(CaretVisible());  // a new caret is hidden
  ShowSystemCaret(&a);
  EXPECT_TRUE(CaretVisible());
  ShowSystemCaret(&b);  // not b's caret: no effect
  HideSystemCaret(&b);
  EXPECT_TRUE(CaretVisible());
  SetCaretPos(7, 9);
  EXPECT_EQ(GetCaretPos(), (TPoint{7, 9}));
  CreateCaret(&b, 1, 10);  // takes it over from a
  EXPECT_FALSE(CaretVisible());
  DestroyCaret();
}

struct Ticker {
  int ticks = 0;
  void Tick(TObject*) { ++ticks; }
};

TEST(Controls, TimerFiresOnTheEventLoop) {
  TTimer t(nullptr);
  Ticker k;
  t.SetInterval(5);
  t.OnTimer = TNotifyEvent(&k, &Ticker::Tick);
  for (int i = 0; i < 200 && k.ticks < 2; ++i) {
    ProcessMessages();
    usleep(1000);
  }
  EXPECT_GE(k.ticks, 2);
  t.SetEnabled(false);
  int at = k.ticks;
  for (int i = 0; i < 20; ++i) {
    ProcessMessages();
    usleep(1000);
  }
  EXPECT_EQ(k.ticks, at);
}

}  // namespace

namespace {

TEST(ClipboardTest, TextAndPrivateBlocksTravelTogether) {
  TClipboardFormat block = RegisterClipboardFormat("SrcEdit Control Block Type");
  EXPECT_EQ(RegisterClipboardFormat("SrcEdit Control Block Type"), block);
  TClipboard* c = Clipboard();
  c->Open();
  c->SetAsText(W1251("Привет\r\nмир"));
  c->SetBuffer(block, std::string("\x02\0\0\0abc", 7));
  c->Close();
  EXPECT_TRUE(c->HasFormat(CF_TEXT));
  EXPECT_TRUE(c->HasFormat(block));
  EXPECT_EQ(c->AsText(), W1251("Привет\r\nмир"));
  EXPECT_EQ(c->GetBuffer(block), std::string("\x02\0\0\0abc", 7));
  c->SetAsText("plain");  // another program's text: no block any more
  EXPECT_FALSE(c->HasFormat(block));
  EXPECT_EQ(c->GetBuffer(block), "");
  // The desktop's text has LF line breaks: another program (here a memo pasting through the
  // toolkit) gets no CR, and what it puts there reads back with the code page's CR LF.
  TForm f(nullptr);
  auto* memo = new TMemo(&f);
  memo->SetParent(&f);
  f.Show();
  c->SetAsText("one\r\ntwo\rthree");
  memo->PasteFromClipboard();
  EXPECT_EQ(memo->Lines()->Text(), "one\r\ntwo\r\nthree\r\n");
  memo->SelectAll();
  memo->CopyToClipboard();
  EXPECT_EQ(c->AsText(), "one\r\ntwo\r\nthree");
  c->Clear();
  EXPECT_EQ(c->AsText(), "");
}

}  // namespace
