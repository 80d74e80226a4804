// Where the loop's thread leaves the latest snapshot for readers on other
// threads (the status page's server). Publishing swaps the pointer; a reader
// keeps the snapshot it took for as long as it needs it, unaffected by
// later ones.
#pragma once

#include <mutex>
#include <utility>

#include "bridge/status/status_snapshot.h"

namespace tw {

class StatusBoard {
 public:
  void Publish(SnapshotPtr snapshot) {
    std::lock_guard<std::mutex> lock(mutex_);
    latest_ = std::move(snapshot);
  }
  // An empty snapshot until the first is published: never null.
  SnapshotPtr Latest() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return latest_;
  }

 private:
  mutable std::mutex mutex_;
  SnapshotPtr latest_ = std::make_shared<const StatusSnapshot>();
};

}  // namespace tw
