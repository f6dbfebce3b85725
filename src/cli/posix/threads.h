#pragma once
#include <functional>
#include <mutex>
#include <thread>

// The threads of a line of stations, and the lock around what they share.
using Mutex = std::mutex;

// Runs `work` on a thread of its own; the destructor waits for it.
class WorkerThread {
 public:
  explicit WorkerThread(std::function<void()> work) : thread_(std::move(work)) {}
  ~WorkerThread() { Join(); }
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;

  void Join() {
    if (thread_.joinable())
      thread_.join();
  }

 private:
  std::thread thread_;
};
