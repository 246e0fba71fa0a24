// Tables every creating thread reads, built once per rule database (and released with
// the creation caches): the lock is taken only to build or release one; once built,
// readers see it through an acquire flag and take no lock.
#pragma once
#include <atomic>
#include <mutex>

class SharedBuild {
 public:
  // Builds the table unless `current` says it is the rule database's already.
  template <class Current, class Build>
  void Ensure(Current current, Build build) {
    if (ready_.load(std::memory_order_acquire) && current()) return;
    std::lock_guard<std::mutex> lock(lock_);
    if (!current()) {
      ready_.store(false, std::memory_order_relaxed);
      build();
    }
    ready_.store(true, std::memory_order_release);
  }
  template <class Free>
  void Release(Free free) {
    std::lock_guard<std::mutex> lock(lock_);
    ready_.store(false, std::memory_order_relaxed);
    free();
  }

 private:
  std::mutex lock_;
  std::atomic<bool> ready_{false};
};
