// The virtual clock and the scripted loops.
#include "tests/support/virtual_backend.h"

#include <algorithm>

namespace fixtures {

void VirtualBackend::Advance(int ms) {
  const long end = now_ + ms;
  for (;;) {
    const ui::Timer* next = nullptr;
    Slot best{};
    for (const auto& [timer, armed] : timers_) {
      if (armed.due <= end && (next == nullptr || armed.due < best.due ||
                               (armed.due == best.due && armed.order < best.order))) {
        next = timer;
        best = armed;
      }
    }
    if (next == nullptr) {
      break;
    }
    now_ = best.due;
    auto& slot = timers_[next];
    slot.due += slot.interval;
    slot.order = ++armCount_;
    const_cast<ui::Timer*>(next)->Fire();
  }
  now_ = end;
}

std::vector<std::string> VirtualBackend::BoxTexts() const {
  std::vector<std::string> texts;
  for (const auto& box : boxes) {
    texts.push_back(box.text);
  }
  return texts;
}

void VirtualBackend::ArmTimer(ui::Timer& timer, int intervalMs) {
  timers_[&timer] = {now_ + intervalMs, intervalMs, ++armCount_};
}

void VirtualBackend::DisarmTimer(ui::Timer& timer) {
  timers_.erase(&timer);
}

void VirtualBackend::RunMainLoop(ui::Form& mainForm) {
  if (onMainLoop && !quitCalled) {
    onMainLoop(mainForm);
  }
}

void VirtualBackend::RunModalLoop(ui::Form& form) {
  modalStack_.push_back(&form);
  modalEnded_[&form] = false;
  if (onModal && !quitCalled) {
    onModal(form);
  }
  modalStack_.pop_back();
  modalEnded_.erase(&form);
}

void VirtualBackend::EndModalLoop(ui::Form& form) {
  modalEnded_[&form] = true;
}

void VirtualBackend::ShowMessage(const ui::MessageBox& box) {
  boxes.push_back(box);
  if (onMessage && !quitCalled) {
    onMessage(box);
  }
}

void VirtualBackend::Quit() {
  quitCalled = true;
}

}  // namespace fixtures
