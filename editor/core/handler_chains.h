#pragma once
// Multicast lists of method pointers: the editor's six keyboard and mouse handler chains (run
// last added first), hooked command handlers (run in registration order) and the general
// method chains with an exception handler (run in order of addition).
#include <vector>

#include "editor/core/buffer_coord.h"
#include "editor/core/commands.h"
#include "platform/classes.h"
#include "platform/events.h"
#include "platform/keys.h"

using TMouseCursorEvent = TMethod<void(TObject* Sender, const TBufferCoord& aLineCharPos, TCursor& aCursor)>;
using THookedCommandEvent = TMethod<void(TObject* Sender, bool AfterProcessing, bool& Handled,
                                         TSrcEditorCommand& Command, char& AChar, void* Data, void* HandlerData)>;

// A list of method pointers of one shape. Remove takes out only the most recently added equal
// entry.
template <class E>
class TMethodList {
public:
  int Count() const { return static_cast<int>(items_.size()); }
  const E& Items(int Index) const { return items_.at(static_cast<size_t>(Index)); }
  void Add(const E& AHandler) { items_.push_back(AHandler); }
  void Remove(const E& AHandler) {
    for (size_t i = items_.size(); i-- > 0;)
      if (items_[i] == AHandler) {
        items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
        return;
      }
  }

  // Calls fn(handler) from the last added to the first while fn returns true. Handlers may add
  // or remove entries meanwhile; the walk stays within the list.
  template <class F>
  void ForEachFromLast(F&& fn) const {
    for (int i = Count() - 1; i >= 0; --i) {
      if (i >= Count()) continue;  // entries were removed by a handler
      E handler = items_[static_cast<size_t>(i)];
      if (!fn(handler)) return;
    }
  }

private:
  std::vector<E> items_;
};

// The editor's keyboard and mouse handler chains. Each Execute... does nothing while its own
// chain is already running, calls the handlers last added first and clears its running flag on
// every way out. Key chains stop after a handler that set Key to 0 (#0 for key press).
class TSrcEditKbdHandler {
public:
  void ExecuteKeyDown(TObject* Sender, Word& Key, TShiftState Shift);
  void ExecuteKeyUp(TObject* Sender, Word& Key, TShiftState Shift);
  void ExecuteKeyPress(TObject* Sender, char& Key);
  void ExecuteMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ExecuteMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ExecuteMouseCursor(TObject* Sender, const TBufferCoord& aLineCharPos, TCursor& aCursor);

  void AddKeyDownHandler(const TKeyEvent& h) { keyDownChain_.Add(h); }
  void RemoveKeyDownHandler(const TKeyEvent& h) { keyDownChain_.Remove(h); }
  void AddKeyUpHandler(const TKeyEvent& h) { keyUpChain_.Add(h); }
  void RemoveKeyUpHandler(const TKeyEvent& h) { keyUpChain_.Remove(h); }
  void AddKeyPressHandler(const TKeyPressEvent& h) { keyPressChain_.Add(h); }
  void RemoveKeyPressHandler(const TKeyPressEvent& h) { keyPressChain_.Remove(h); }
  void AddMouseDownHandler(const TMouseEvent& h) { mouseDownChain_.Add(h); }
  void RemoveMouseDownHandler(const TMouseEvent& h) { mouseDownChain_.Remove(h); }
  void AddMouseUpHandler(const TMouseEvent& h) { mouseUpChain_.Add(h); }
  void RemoveMouseUpHandler(const TMouseEvent& h) { mouseUpChain_.Remove(h); }
  void AddMouseCursorHandler(const TMouseCursorEvent& h) { mouseCursorChain_.Add(h); }
  void RemoveMouseCursorHandler(const TMouseCursorEvent& h) { mouseCursorChain_.Remove(h); }

  const TMethodList<TKeyPressEvent>& KeyPressChain() const { return keyPressChain_; }
  const TMethodList<TKeyEvent>& KeyDownChain() const { return keyDownChain_; }
  const TMethodList<TKeyEvent>& KeyUpChain() const { return keyUpChain_; }
  const TMethodList<TMouseEvent>& MouseDownChain() const { return mouseDownChain_; }
  const TMethodList<TMouseEvent>& MouseUpChain() const { return mouseUpChain_; }
  const TMethodList<TMouseCursorEvent>& MouseCursorChain() const { return mouseCursorChain_; }

private:
  TMethodList<TKeyPressEvent> keyPressChain_;
  TMethodList<TKeyEvent> keyDownChain_;
  TMethodList<TKeyEvent> keyUpChain_;
  TMethodList<TMouseEvent> mouseDownChain_;
  TMethodList<TMouseEvent> mouseUpChain_;
  TMethodList<TMouseCursorEvent> mouseCursorChain_;
  bool inKeyPress_ = false;
  bool inKeyDown_ = false;
  bool inKeyUp_ = false;
  bool inMouseDown_ = false;
  bool inMouseUp_ = false;
  bool inMouseCursor_ = false;
};

// One registered hooked command handler with the data given at registration.
class THookedCommandHandlerEntry {
public:
  THookedCommandHandlerEntry(const THookedCommandEvent& AEvent, void* AData) : fEvent(AEvent), fData(AData) {}
  bool Equals(const THookedCommandEvent& AEvent) const { return fEvent == AEvent; }
  const THookedCommandEvent& Event() const { return fEvent; }
  void* Data() const { return fData; }

private:
  THookedCommandEvent fEvent;
  void* fData;
};

// The editor's hooked command handlers. A handler is registered at most once and keeps its
// first data; unassigned handlers are ignored.
class THookedCommandHandlers {
public:
  void Register(const THookedCommandEvent& AHandler, void* AHandlerData);
  void Unregister(const THookedCommandEvent& AHandler);
  // Index of the entry with an equal handler, searched from the last; -1 when absent.
  int Find(const THookedCommandEvent& AHandler) const;
  int Count() const { return static_cast<int>(entries_.size()); }
  const THookedCommandHandlerEntry& Entries(int Index) const { return entries_.at(static_cast<size_t>(Index)); }
  // Calls every entry in registration order with one shared Handled flag (false at the start);
  // when it is true at the end, Command becomes 0.
  void Notify(TObject* Sender, bool AfterProcessing, TSrcEditorCommand& Command, char& AChar, void* Data);

private:
  std::vector<THookedCommandHandlerEntry> entries_;
};

VT_DECLARE_EXCEPTION(ESrcMethodChain, Exception);

class TSrcMethodChain;
using TSrcExceptionEvent = TMethod<void(TObject* Sender, Exception& E, bool& DoContinue)>;

// Base of the method chains: the exception handling shared by every kind of chain.
class TSrcMethodChain : public TObject {
public:
  TSrcExceptionEvent ExceptionHandler;
  AnsiString ClassName() const override { return "TSrcMethodChain"; }

protected:
  // Called for an exception of a chained method: true goes on with the next method. Without an
  // ExceptionHandler the exception is raised again; a handler that raises gives ESrcMethodChain.
  virtual bool DoHandleException(Exception& E);
};

// A method chain of one method shape; Fire calls the methods in order of addition.
template <class E>
class TSrcMethodChainOf : public TSrcMethodChain {
public:
  void Add(const E& AEvent) { items_.push_back(AEvent); }
  // Removes every equal entry.
  void Remove(const E& AEvent) {
    for (size_t i = items_.size(); i-- > 0;)
      if (items_[i] == AEvent) items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i));
  }
  int Count() const { return static_cast<int>(items_.size()); }

  void Fire() {
    size_t i = 0;
    while (i < items_.size()) {
      E method = items_[i++];
      try {
        DoFire(method);
      } catch (Exception& e) {
        if (!DoHandleException(e)) return;
      }
    }
  }

protected:
  virtual void DoFire(const E& AEvent) = 0;

private:
  std::vector<E> items_;
};

// A chain of notify events, each called with the Sender fixed at construction.
class TSrcNotifyEventChain : public TSrcMethodChainOf<TNotifyEvent> {
public:
  explicit TSrcNotifyEventChain(TObject* ASender) : sender_(ASender) {}
  static TSrcNotifyEventChain* CreateEx(TObject* ASender) { return new TSrcNotifyEventChain(ASender); }
  TObject* Sender() const { return sender_; }
  AnsiString ClassName() const override { return "TSrcNotifyEventChain"; }

protected:
  void DoFire(const TNotifyEvent& AEvent) override;

private:
  TObject* sender_;
};

// Nesting of transient painting: with Lock, only the outermost before/after pair fires.
enum TTransientType { ttBefore, ttAfter };

class TSrcTransientPaintLock {
public:
  // Whether the transient-paint event should run for this call.
  bool Enter(TTransientType TransientType, bool Lock);
  int Count() const { return count_; }

private:
  int count_ = 0;
};
