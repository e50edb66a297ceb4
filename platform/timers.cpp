#include <QTimer>

#include "platform/controls.h"
#include "platform/graphics.h"
#include "platform/qt/control_host.h"

struct TTimer::Impl {
  QTimer timer;
};

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner), impl_(std::make_unique<Impl>()) {
  EnsureGuiApplication();
  QObject::connect(&impl_->timer, &QTimer::timeout, [this] {
    try {
      CallEvent(OnTimer, this);
    } catch (...) {
      HandleException(this);
    }
  });
  Restart();
}

TTimer::~TTimer() { impl_->timer.stop(); }

void TTimer::Restart() {
  impl_->timer.stop();
  if (enabled_ && interval_ > 0) impl_->timer.start(static_cast<int>(interval_));
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Restart();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Restart();
}
