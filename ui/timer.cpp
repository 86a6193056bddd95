// Timers arm the backend only while enabled with a positive interval.
#include "ui/timer.h"

#include "ui/application.h"

namespace ui {

Timer::Timer(Application& app, int intervalMs) : app_(app), interval_(intervalMs) {}

Timer::~Timer() {
  if (armed_) {
    app_.GetBackend().DisarmTimer(*this);
  }
}

void Timer::SetInterval(int intervalMs) {
  if (intervalMs == interval_) {
    return;
  }
  interval_ = intervalMs;
  Arm();
}

void Timer::SetEnabled(bool enabled) {
  if (enabled == enabled_) {
    return;
  }
  enabled_ = enabled;
  Arm();
}

void Timer::Arm() {
  if (armed_) {
    app_.GetBackend().DisarmTimer(*this);
    armed_ = false;
  }
  if (enabled_ && interval_ > 0) {
    app_.GetBackend().ArmTimer(*this, interval_);
    armed_ = true;
  }
}

void Timer::Fire() {
  if (!enabled_ || interval_ <= 0) {
    return;
  }
  app_.Dispatch([this] {
    if (OnTimer) {
      OnTimer();
    }
  });
}

}  // namespace ui
