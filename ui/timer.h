// A timer of a form: interval, enabled, handler.
#pragma once

#include <functional>

namespace ui {

class Application;

class Timer {
 public:
  Timer(Application& app, int intervalMs);
  ~Timer();
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  int Interval() const { return interval_; }
  // A new interval restarts a running timer; 0 stops it firing until a positive one is set.
  void SetInterval(int intervalMs);
  bool Enabled() const { return enabled_; }
  // Enabling a timer that is already enabled does not restart it.
  void SetEnabled(bool enabled);

  // Called by the backend when the interval has passed; runs the handler through the
  // application's dispatcher.
  void Fire();

  std::function<void()> OnTimer;

 private:
  void Arm();

  Application& app_;
  int interval_;
  bool enabled_ = false;
  bool armed_ = false;
};

}  // namespace ui
