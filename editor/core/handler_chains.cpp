#include "editor/core/handler_chains.h"

namespace {

// Sets a running flag for the lifetime of a chain run.
class RunningGuard {
public:
  explicit RunningGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningGuard() { flag_ = false; }
  RunningGuard(const RunningGuard&) = delete;
  RunningGuard& operator=(const RunningGuard&) = delete;

private:
  bool& flag_;
};

void RunKeyChain(const TMethodList<TKeyEvent>& chain, bool& running, TObject* Sender, Word& Key, TShiftState Shift) {
  if (running) return;
  RunningGuard guard(running);
  chain.ForEachFromLast([&](const TKeyEvent& h) {
    h(Sender, Key, Shift);
    return Key != 0;
  });
}

void RunMouseChain(const TMethodList<TMouseEvent>& chain, bool& running, TObject* Sender, TMouseButton Button,
                   TShiftState Shift, int X, int Y) {
  if (running) return;
  RunningGuard guard(running);
  chain.ForEachFromLast([&](const TMouseEvent& h) {
    h(Sender, Button, Shift, X, Y);
    return true;
  });
}

}  // namespace

void TSrcEditKbdHandler::ExecuteKeyDown(TObject* Sender, Word& Key, TShiftState Shift) {
  RunKeyChain(keyDownChain_, inKeyDown_, Sender, Key, Shift);
}

void TSrcEditKbdHandler::ExecuteKeyUp(TObject* Sender, Word& Key, TShiftState Shift) {
  RunKeyChain(keyUpChain_, inKeyUp_, Sender, Key, Shift);
}

void TSrcEditKbdHandler::ExecuteKeyPress(TObject* Sender, char& Key) {
  if (inKeyPress_) return;
  RunningGuard guard(inKeyPress_);
  keyPressChain_.ForEachFromLast([&](const TKeyPressEvent& h) {
    h(Sender, Key);
    return Key != '\0';
  });
}

void TSrcEditKbdHandler::ExecuteMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  RunMouseChain(mouseDownChain_, inMouseDown_, Sender, Button, Shift, X, Y);
}

void TSrcEditKbdHandler::ExecuteMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  RunMouseChain(mouseUpChain_, inMouseUp_, Sender, Button, Shift, X, Y);
}

void TSrcEditKbdHandler::ExecuteMouseCursor(TObject* Sender, const TBufferCoord& aLineCharPos, TCursor& aCursor) {
  if (inMouseCursor_) return;
  RunningGuard guard(inMouseCursor_);
  mouseCursorChain_.ForEachFromLast([&](const TMouseCursorEvent& h) {
    h(Sender, aLineCharPos, aCursor);
    return true;
  });
}

// ---- Hooked command handlers ----

void THookedCommandHandlers::Register(const THookedCommandEvent& AHandler, void* AHandlerData) {
  if (!AHandler.Assigned()) return;
  if (Find(AHandler) < 0) entries_.emplace_back(AHandler, AHandlerData);
}

void THookedCommandHandlers::Unregister(const THookedCommandEvent& AHandler) {
  if (!AHandler.Assigned()) return;
  int i = Find(AHandler);
  if (i >= 0) entries_.erase(entries_.begin() + i);
}

int THookedCommandHandlers::Find(const THookedCommandEvent& AHandler) const {
  for (int i = Count() - 1; i >= 0; --i)
    if (entries_[static_cast<size_t>(i)].Equals(AHandler)) return i;
  return -1;
}

void THookedCommandHandlers::Notify(TObject* Sender, bool AfterProcessing, TSrcEditorCommand& Command, char& AChar,
                                    void* Data) {
  bool handled = false;
  // By index and with a copy of the entry, so a handler may register or unregister others.
  for (int i = 0; i < Count(); ++i) {
    THookedCommandHandlerEntry entry = entries_[static_cast<size_t>(i)];
    entry.Event()(Sender, AfterProcessing, handled, Command, AChar, Data, entry.Data());
  }
  if (handled) Command = ecNone;
}

// ---- Method chains ----

bool TSrcMethodChain::DoHandleException(Exception& E) {
  if (!ExceptionHandler.Assigned()) throw;
  bool doContinue = true;
  try {
    ExceptionHandler(this, E, doContinue);
  } catch (...) {
    throw ESrcMethodChain(Format("%s.DoHandleException : MUST NOT occur any kind of exception in ExceptionHandler",
                                 {ClassName()}));
  }
  return doContinue;
}

void TSrcNotifyEventChain::DoFire(const TNotifyEvent& AEvent) { AEvent(sender_); }

// ---- Transient painting ----

bool TSrcTransientPaintLock::Enter(TTransientType TransientType, bool Lock) {
  bool fire = count_ == 0;
  if (Lock) {
    if (TransientType == ttBefore) {
      ++count_;
    } else {
      if (count_ > 0) --count_;  // an unmatched after does not go below zero
      fire = count_ == 0;
    }
  }
  return fire;
}
