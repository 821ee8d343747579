#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace tarvik {

// The most threads a computation starts, whatever is asked: each costs a
// stack and a process slot, and the results are the same bits with any
// number of them.
inline constexpr int kMaxThreads = 64;

// The hardware threads of the machine, at least 1 and at most kMaxThreads.
int HardwareThreads();

// The threads a computation runs on when `requested` are asked for: 0 means
// every hardware thread (HardwareThreads), 1 … kMaxThreads as asked.
// Anything else raises tarvik::Error before a thread is started.
int ThreadsFor(long long requested);

// The one way the core computes in parallel: a fork-join pool of helper
// threads kept for many rounds, the calling thread being the last worker.
// A round hands out the indices [0, count) in chunks to every thread and
// returns when each chunk was worked; `beforeJoining` runs on the calling
// thread after the helpers were released and before it joins in. If the
// system refuses a thread, the pool works with those it has (at least the
// calling thread). The work of a round must not raise.
class WorkerPool {
 public:
  // `threads` in all, the calling thread included (at least 1).
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Threads that take part in a round, the calling thread included.
  int Threads() const { return static_cast<int>(helpers_.size()) + 1; }

  void Round(std::size_t count, std::size_t chunk,
             const std::function<void(std::size_t first, std::size_t last)>& work,
             const std::function<void()>& beforeJoining = {});

 private:
  // Takes the next chunk of the round, works it without the lock and counts
  // it done. Called with the lock held.
  void WorkChunk(std::unique_lock<std::mutex>& lock);

  std::mutex mutex_;
  std::condition_variable roundReady_;
  std::condition_variable roundDone_;
  // The round in progress, guarded by mutex_: indices [claim_, end_) are not
  // taken yet; done_ of end_ are worked.
  const std::function<void(std::size_t, std::size_t)>* work_ = nullptr;
  std::size_t chunk_ = 1;
  std::size_t claim_ = 0;
  std::size_t end_ = 0;
  std::size_t done_ = 0;
  bool stop_ = false;
  std::vector<std::thread> helpers_;
};

// Runs body(i) once for every i in [0, count) on up to `threads` threads (the
// calling one included; never more than count), each thread taking the next
// index. When bodies raise, the exception of the lowest index is rethrown
// after every body has ended.
void ParallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& body);

// Calls job(i) for i = 0 … count − 1, each once, spread over `threads`
// threads (0 or less = every hardware thread, at most kMaxThreads), by ParallelFor. The jobs must be
// independent, so that the results do not depend on the thread count. After all have run, the
// exception of the lowest failing index is rethrown.
void ForEachIndex(std::size_t count, int threads, const std::function<void(std::size_t)>& job);

}  // namespace tarvik
