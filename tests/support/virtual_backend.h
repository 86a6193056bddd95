// A backend with a virtual clock for tests: timers fire only when the test advances time, and
// message boxes and modal windows are answered by scripts the test sets.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/form.h"
#include "ui/timer.h"

namespace fixtures {

class VirtualBackend : public ui::Backend {
 public:
  // Every box shown, in order.
  std::vector<ui::MessageBox> boxes;
  // Runs while a box is open (the box closes when it returns); may advance the clock.
  std::function<void(const ui::MessageBox&)> onMessage;
  // Runs while a form is shown modally; the form stays open until it is closed (or quit).
  std::function<void(ui::Form&)> onModal;
  // Runs as the main loop: the test drives the program from here.
  std::function<void(ui::Form&)> onMainLoop;

  bool quitCalled = false;
  int refreshes = 0;

  // Moves the clock on by `ms`; due timers fire in time order, each re-armed for its next turn.
  void Advance(int ms);
  long Now() const { return now_; }
  // Whether `form` is being shown modally and has not been closed.
  bool ModalOpen(ui::Form& form) const {
    auto it = modalEnded_.find(&form);
    return it != modalEnded_.end() && !it->second;
  }
  bool IsArmed(const ui::Timer& timer) const { return timers_.count(&timer) != 0; }
  // Texts of the boxes shown, for short assertions.
  std::vector<std::string> BoxTexts() const;

  void ArmTimer(ui::Timer& timer, int intervalMs) override;
  void DisarmTimer(ui::Timer& timer) override;
  void RunMainLoop(ui::Form& mainForm) override;
  void RunModalLoop(ui::Form& form) override;
  void EndModalLoop(ui::Form& form) override;
  void ShowMessage(const ui::MessageBox& box) override;
  void Quit() override;
  void Refresh() override { ++refreshes; }

 private:
  struct Slot {
    long due;
    int interval;
    long order;  // arming order breaks ties between timers due at the same moment
  };
  std::map<const ui::Timer*, Slot> timers_;
  long now_ = 0;
  long armCount_ = 0;
  std::vector<ui::Form*> modalStack_;
  std::map<ui::Form*, bool> modalEnded_;
};

}  // namespace fixtures
