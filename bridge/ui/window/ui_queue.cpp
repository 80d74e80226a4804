#include "bridge/ui/window/ui_queue.h"

#include <algorithm>

namespace tw::window {

void UiQueue::Push(Update update) {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (update.kind == Update::Kind::kLog) logBytes_ += update.text.size() + 2;
    if (update.kind == Update::Kind::kStatus) {
      std::erase_if(updates_, [](const Update& u) { return u.kind == Update::Kind::kStatus; });
    }
    updates_.push_back(std::move(update));
    while (logBytes_ > kMaxLogBytes) {
      auto oldest = std::find_if(updates_.begin(), updates_.end(),
                                 [](const Update& u) { return u.kind == Update::Kind::kLog; });
      logBytes_ -= oldest->text.size() + 2;
      updates_.erase(oldest);
    }
    wake = !wakePending_;
    wakePending_ = true;
  }
  if (wake && wake_) wake_();
}

std::vector<Update> UiQueue::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  wakePending_ = false;
  logBytes_ = 0;
  std::vector<Update> taken(std::make_move_iterator(updates_.begin()), std::make_move_iterator(updates_.end()));
  updates_.clear();
  return taken;
}

}  // namespace tw::window
