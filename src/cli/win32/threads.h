#pragma once
#include <functional>
#include <mutex>  // std::lock_guard, which works with any lock

#include "win32_api.h"

// The threads of a line of stations, and the lock around what they share, on the Windows API:
// the MinGW C++ library of this build (win32 thread model) has neither std::thread nor
// std::mutex.
class Mutex {
 public:
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

// Runs `work` on a thread of its own; the destructor waits for it.
class WorkerThread {
 public:
  explicit WorkerThread(std::function<void()> work) : work_(std::move(work)) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  }
  ~WorkerThread() { Join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  void Join() {
    if (thread_ == nullptr)
      return;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    thread_ = nullptr;
  }

 private:
  static DWORD WINAPI Run(LPVOID self) {
    static_cast<WorkerThread*>(self)->work_();
    return 0;
  }

  std::function<void()> work_;
  HANDLE thread_ = nullptr;
};
