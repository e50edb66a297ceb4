#include "editor/core/handler_chains.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A handler object that records its calls into a shared log.
struct Recorder : TObject {
  std::string name;
  std::string* log;
  Word setKey = 0xFFFF;  // value to leave in Key, 0xFFFF = unchanged
  TSrcEditKbdHandler* reenter = nullptr;
  Recorder(std::string n, std::string* l) : name(std::move(n)), log(l) {}

  void KeyDown(TObject*, Word& Key, TShiftState) {
    *log += name;
    if (reenter) {
      Word k = Key;
      reenter->ExecuteKeyDown(this, k, {});  // ignored: the chain is running
      reenter->ExecuteKeyUp(this, k, {});    // another chain still runs
    }
    if (setKey != 0xFFFF) Key = setKey;
  }
  void KeyUp(TObject*, Word&, TShiftState) { *log += name + "^"; }
  void KeyPress(TObject*, char& Key) {
    *log += name;
    if (setKey != 0xFFFF) Key = static_cast<char>(setKey);
  }
  void Mouse(TObject*, TMouseButton, TShiftState, int, int) { *log += name; }
  void Cursor(TObject*, const TBufferCoord& p, TCursor& c) {
    *log += name;
    if (p.Line == 2) c = crIBeam;
  }
  void Throwing(TObject*, Word&, TShiftState) { throw Exception("boom"); }
};

}  // namespace

TEST(KbdHandler, LastAddedFirstAndStopOnZero) {
  std::string log;
  Recorder a("A", &log), b("B", &log);
  TSrcEditKbdHandler h;
  h.AddKeyDownHandler(TKeyEvent(&a, &Recorder::KeyDown));
  h.AddKeyDownHandler(TKeyEvent(&b, &Recorder::KeyDown));
  Word key = 'X';
  h.ExecuteKeyDown(nullptr, key, {});
  EXPECT_EQ(log, "BA");

  log.clear();
  b.setKey = 0;
  h.ExecuteKeyDown(nullptr, key, {});
  EXPECT_EQ(log, "B");
  EXPECT_EQ(key, 0);

  h.AddKeyPressHandler(TKeyPressEvent(&a, &Recorder::KeyPress));
  h.AddKeyPressHandler(TKeyPressEvent(&b, &Recorder::KeyPress));
  log.clear();
  char ch = 'q';
  h.ExecuteKeyPress(nullptr, ch);
  EXPECT_EQ(log, "B");
  EXPECT_EQ(ch, '\0');

  // Mouse chains call everyone.
  h.AddMouseDownHandler(TMouseEvent(&a, &Recorder::Mouse));
  h.AddMouseDownHandler(TMouseEvent(&b, &Recorder::Mouse));
  log.clear();
  h.ExecuteMouseDown(nullptr, mbLeft, {ssLeft}, 1, 2);
  EXPECT_EQ(log, "BA");

  h.AddMouseCursorHandler(TMouseCursorEvent(&a, &Recorder::Cursor));
  TCursor cur = crDefault;
  h.ExecuteMouseCursor(nullptr, BufferCoord(1, 2), cur);
  EXPECT_EQ(cur, crIBeam);
}

TEST(KbdHandler, RemoveTakesOnlyTheLaterCopy) {
  std::string log;
  Recorder a("A", &log), b("B", &log);
  TSrcEditKbdHandler h;
  TKeyEvent ea(&a, &Recorder::KeyDown), eb(&b, &Recorder::KeyDown);
  h.AddKeyDownHandler(ea);
  h.AddKeyDownHandler(eb);
  h.AddKeyDownHandler(ea);
  h.RemoveKeyDownHandler(ea);
  ASSERT_EQ(h.KeyDownChain().Count(), 2);
  EXPECT_EQ(h.KeyDownChain().Items(0), ea);
  EXPECT_EQ(h.KeyDownChain().Items(1), eb);
  // Another method of the same object is a different handler.
  h.RemoveKeyDownHandler(TKeyEvent(&a, &Recorder::KeyUp));
  EXPECT_EQ(h.KeyDownChain().Count(), 2);
}

TEST(KbdHandler, ReentryGuardAndExceptionClearsFlag) {
  std::string log;
  Recorder a("A", &log);
  TSrcEditKbdHandler h;
  a.reenter = &h;
  h.AddKeyDownHandler(TKeyEvent(&a, &Recorder::KeyDown));
  h.AddKeyUpHandler(TKeyEvent(&a, &Recorder::KeyUp));
  Word key = 'X';
  h.ExecuteKeyDown(nullptr, key, {});
  EXPECT_EQ(log, "AA^");

  // A handler that raises: the exception reaches the caller and the chain runs again later.
  h.AddKeyDownHandler(TKeyEvent(&a, &Recorder::Throwing));
  EXPECT_THROW(h.ExecuteKeyDown(nullptr, key, {}), Exception);
  h.RemoveKeyDownHandler(TKeyEvent(&a, &Recorder::Throwing));
  a.reenter = nullptr;
  log.clear();
  h.ExecuteKeyDown(nullptr, key, {});
  EXPECT_EQ(log, "A");
}

namespace {

struct Hook : TObject {
  std::string* log;
  bool setHandled = false;
  bool sawHandled = false;
  void* lastData = nullptr;
  explicit Hook(std::string* l) : log(l) {}
  void OnCommand(TObject*, bool After, bool& Handled, TSrcEditorCommand& Cmd, char&, void*, void* HandlerData) {
    *log += After ? "a" : "b";
    *log += std::to_string(Cmd);
    sawHandled = Handled;
    lastData = HandlerData;
    if (setHandled) Handled = true;
  }
};

}  // namespace

TEST(HookedCommands, RegisterOnceNotifyInOrderSharedHandled) {
  std::string log;
  Hook first(&log), second(&log);
  THookedCommandHandlers hooks;
  int d1 = 1, d2 = 2;
  THookedCommandEvent e1(&first, &Hook::OnCommand), e2(&second, &Hook::OnCommand);
  hooks.Register(THookedCommandEvent(), &d1);  // unassigned: ignored
  EXPECT_EQ(hooks.Count(), 0);
  hooks.Register(e1, &d1);
  hooks.Register(e1, &d2);  // already there: keeps the first data
  hooks.Register(e2, &d2);
  ASSERT_EQ(hooks.Count(), 2);
  EXPECT_EQ(hooks.Entries(0).Data(), &d1);
  EXPECT_EQ(hooks.Find(e2), 1);

  TSrcEditorCommand cmd = ecUndo;
  char ch = 0;
  hooks.Notify(nullptr, false, cmd, ch, nullptr);
  EXPECT_EQ(log, "b601b601");
  EXPECT_EQ(cmd, ecUndo);
  EXPECT_EQ(first.lastData, &d1);

  first.setHandled = true;
  log.clear();
  hooks.Notify(nullptr, true, cmd, ch, nullptr);
  EXPECT_EQ(log, "a601a601");
  EXPECT_TRUE(second.sawHandled);
  EXPECT_EQ(cmd, ecNone);

  hooks.Unregister(THookedCommandEvent());
  hooks.Unregister(e1);
  EXPECT_EQ(hooks.Find(e1), -1);
  EXPECT_EQ(hooks.Count(), 1);
}

namespace {

struct Listener : TObject {
  std::string name;
  std::string* log;
  TObject* sender = nullptr;
  Listener(std::string n, std::string* l) : name(std::move(n)), log(l) {}
  void Notify(TObject* Sender) {
    *log += name;
    sender = Sender;
  }
  void Raise(TObject*) {
    *log += name + "!";
    throw Exception("broken " + name);
  }
  void RaiseStd(TObject*) { throw std::runtime_error("outside"); }
};

struct Handler : TObject {
  bool answer = true;
  bool raise = false;
  std::string seen;
  TObject* sender = nullptr;
  void OnException(TObject* Sender, Exception& E, bool& DoContinue) {
    sender = Sender;
    seen += E.Message();
    EXPECT_TRUE(DoContinue);
    if (raise) throw Exception("again");
    DoContinue = answer;
  }
};

}  // namespace

TEST(MethodChain, FiresInOrderWithSenderAndRemovesEveryCopy) {
  std::string log;
  TObject owner;
  Listener a("A", &log), b("B", &log);
  TSrcNotifyEventChain chain(&owner);
  chain.Add(TNotifyEvent(&a, &Listener::Notify));
  chain.Add(TNotifyEvent(&b, &Listener::Notify));
  chain.Add(TNotifyEvent(&a, &Listener::Notify));
  chain.Fire();
  EXPECT_EQ(log, "ABA");
  EXPECT_EQ(a.sender, &owner);
  chain.Remove(TNotifyEvent(&a, &Listener::Notify));
  log.clear();
  chain.Fire();
  EXPECT_EQ(log, "B");
  EXPECT_EQ(chain.Count(), 1);
}

TEST(MethodChain, ExceptionHandlerDecidesWhetherToContinue) {
  std::string log;
  Listener a("A", &log), b("B", &log), c("C", &log);
  std::unique_ptr<TSrcNotifyEventChain> chain(TSrcNotifyEventChain::CreateEx(nullptr));
  chain->Add(TNotifyEvent(&a, &Listener::Notify));
  chain->Add(TNotifyEvent(&b, &Listener::Raise));
  chain->Add(TNotifyEvent(&c, &Listener::Notify));

  // Without a handler the exception goes to the caller.
  EXPECT_THROW(chain->Fire(), Exception);
  EXPECT_EQ(log, "AB!");

  Handler h;
  chain->ExceptionHandler = TSrcExceptionEvent(&h, &Handler::OnException);
  log.clear();
  chain->Fire();
  EXPECT_EQ(log, "AB!C");
  EXPECT_EQ(h.seen, "broken B");
  EXPECT_EQ(h.sender, chain.get());

  h.answer = false;
  log.clear();
  chain->Fire();
  EXPECT_EQ(log, "AB!");

  h.raise = true;
  try {
    chain->Fire();
    FAIL();
  } catch (const ESrcMethodChain& e) {
    EXPECT_EQ(e.Message(),
              "TSrcNotifyEventChain.DoHandleException : MUST NOT occur any kind of exception in ExceptionHandler");
  }

  // Exceptions outside the program's family pass by the handler.
  TSrcNotifyEventChain other(nullptr);
  other.ExceptionHandler = TSrcExceptionEvent(&h, &Handler::OnException);
  other.Add(TNotifyEvent(&a, &Listener::RaiseStd));
  EXPECT_THROW(other.Fire(), std::runtime_error);
}

TEST(TransientPaint, OnlyOutermostLockedPairFires) {
  TSrcTransientPaintLock lock;
  EXPECT_TRUE(lock.Enter(ttBefore, true));
  EXPECT_FALSE(lock.Enter(ttBefore, true));
  EXPECT_FALSE(lock.Enter(ttAfter, true));
  EXPECT_TRUE(lock.Enter(ttAfter, true));
  EXPECT_EQ(lock.Count(), 0);
  // Unlocked calls fire whenever no locked pair is open.
  EXPECT_TRUE(lock.Enter(ttBefore, false));
  EXPECT_TRUE(lock.Enter(ttAfter, true));  // an unmatched after stays at zero
  EXPECT_EQ(lock.Count(), 0);
}
