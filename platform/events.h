#pragma once
// Event properties and handler chains hold (object, method) pairs. Two pairs are equal when
// both halves are, so a handler can be removed by value; an unassigned pair is never called.
#include <array>
#include <cstring>
#include <utility>

template <class Sig>
class TMethod;

template <class R, class... A>
class TMethod<R(A...)> {
public:
  TMethod() = default;
  TMethod(std::nullptr_t) {}

  // A method of an object.
  template <class C>
  TMethod(C* obj, R (C::*method)(A...)) : obj_(obj) {
    static_assert(sizeof(method) <= sizeof(code_), "method pointer too large");
    std::memcpy(code_.data(), &method, sizeof(method));
    invoke_ = &CallMethod<C>;
  }
  // A plain function; the object half is the data handed to it.
  TMethod(R (*fn)(void*, A...), void* data) : obj_(data) {
    std::memcpy(code_.data(), &fn, sizeof(fn));
    invoke_ = &CallFunction;
  }

  bool Assigned() const { return invoke_ != nullptr; }
  explicit operator bool() const { return Assigned(); }
  void* Object() const { return obj_; }

  R operator()(A... args) const { return invoke_(obj_, code_.data(), std::forward<A>(args)...); }

  bool operator==(const TMethod& o) const {
    return invoke_ == o.invoke_ && obj_ == o.obj_ && code_ == o.code_;
  }
  bool operator!=(const TMethod& o) const { return !(*this == o); }

private:
  using Invoker = R (*)(void*, const unsigned char*, A...);

  template <class C>
  static R CallMethod(void* obj, const unsigned char* code, A... args) {
    R (C::*m)(A...);
    std::memcpy(&m, code, sizeof(m));
    return (static_cast<C*>(obj)->*m)(std::forward<A>(args)...);
  }
  static R CallFunction(void* data, const unsigned char* code, A... args) {
    R (*fn)(void*, A...);
    std::memcpy(&fn, code, sizeof(fn));
    return fn(data, std::forward<A>(args)...);
  }

  void* obj_ = nullptr;
  Invoker invoke_ = nullptr;
  std::array<unsigned char, 2 * sizeof(void*)> code_{};
};

class TObject;
using TNotifyEvent = TMethod<void(TObject* Sender)>;

// Calls an event when it is assigned.
template <class E, class... Args>
inline void CallEvent(const E& e, Args&&... args) {
  if (e.Assigned()) e(std::forward<Args>(args)...);
}
