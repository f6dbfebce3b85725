#pragma once
#include <atomic>
#include <mutex>
#include <thread>

// The lock around one history's state. The Windows build's C++ library (MinGW's win32 thread
// model) has no std::mutex; there a spin lock that yields does, as each call holds it for
// microseconds.
namespace history {

#if defined(__GLIBCXX__) && !defined(_GLIBCXX_HAS_GTHREADS)
class HistoryMutex {
 public:
  void lock() {
    while (flag_.test_and_set(std::memory_order_acquire)) {
      std::this_thread::yield();
    }
  }
  void unlock() { flag_.clear(std::memory_order_release); }

 private:
  std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};
#else
using HistoryMutex = std::mutex;
#endif

class HistoryLock {
 public:
  explicit HistoryLock(HistoryMutex& mutex) : mutex_(mutex) { mutex_.lock(); }
  ~HistoryLock() { mutex_.unlock(); }
  HistoryLock(const HistoryLock&) = delete;
  HistoryLock& operator=(const HistoryLock&) = delete;

 private:
  HistoryMutex& mutex_;
};

}  // namespace history
