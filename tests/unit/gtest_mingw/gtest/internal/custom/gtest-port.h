// GoogleTest's hook for platform adjustments, found before its own empty one when the tests are
// cross-compiled. The C++ library of MinGW-w64's win32 thread model has no std::mutex and no
// std::condition_variable, which GoogleTest uses only for Notification, a helper of its own
// threading tests; this one waits on an atomic flag instead.
#pragma once

#include <atomic>

namespace testing::internal {

class Notification {
 public:
  Notification() = default;
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { notified_.store(true); }
  void WaitForNotification() {
    while (!notified_.load()) {
    }
  }

 private:
  std::atomic<bool> notified_{false};
};

}  // namespace testing::internal

#define GTEST_HAS_NOTIFICATION_ 1
