// GoogleTest's thread-start signal, for the win32 thread model, which has no standard mutex or
// condition variable to build GoogleTest's own from. Only GoogleTest's own thread helpers wait
// on it; these tests never do. Included ahead of every GoogleTest source (tests.cmake).
#pragma once
#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing {
namespace internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    void Notify() { notified_.store(true); }
    void WaitForNotification()
    {
        while (!notified_.load()) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

}  // namespace internal
}  // namespace testing
