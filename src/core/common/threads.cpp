#include "common/threads.h"

#include <algorithm>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/error.h"

namespace tarvik {

int HardwareThreads() {
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware == 0 ? 1 : static_cast<int>(std::min<unsigned>(hardware, kMaxThreads));
}

int ThreadsFor(long long requested) {
  if (requested < 0 || requested > kMaxThreads) {
    throw Error("Число потоков должно быть от 0 (все ядра) до " + std::to_string(kMaxThreads) +
                ", задано " + std::to_string(requested));
  }
  return requested > 0 ? static_cast<int>(requested) : HardwareThreads();
}

WorkerPool::WorkerPool(int threads) {
  try {
    for (int t = 1; t < std::min(threads, kMaxThreads); ++t) {
      helpers_.emplace_back([this] {
        std::unique_lock lock(mutex_);
        for (;;) {
          roundReady_.wait(lock, [this] { return stop_ || claim_ < end_; });
          if (stop_) return;
          WorkChunk(lock);
        }
      });
    }
  } catch (const std::system_error&) {
    // fewer helpers; the calling thread works what they leave
  }
}

WorkerPool::~WorkerPool() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  roundReady_.notify_all();
  for (std::thread& helper : helpers_) helper.join();
}

void WorkerPool::Round(std::size_t count, std::size_t chunk,
                       const std::function<void(std::size_t, std::size_t)>& work,
                       const std::function<void()>& beforeJoining) {
  {
    const std::lock_guard lock(mutex_);
    work_ = &work;
    chunk_ = std::max<std::size_t>(chunk, 1);
    claim_ = 0;
    end_ = count;
    done_ = 0;
  }
  roundReady_.notify_all();
  if (beforeJoining) beforeJoining();
  std::unique_lock lock(mutex_);
  while (claim_ < end_) WorkChunk(lock);
  // A helper the system has not scheduled yet finds the round finished.
  roundDone_.wait(lock, [this] { return done_ == end_; });
  work_ = nullptr;
}

void WorkerPool::WorkChunk(std::unique_lock<std::mutex>& lock) {
  const std::size_t first = claim_;
  const std::size_t last = std::min(first + chunk_, end_);
  claim_ = last;
  const auto& work = *work_;
  lock.unlock();
  work(first, last);
  lock.lock();
  done_ += last - first;
  if (done_ == end_) roundDone_.notify_one();
}

void ParallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& body) {
  std::vector<std::exception_ptr> failures(count);
  const auto guarded = [&](std::size_t first, std::size_t last) {
    for (std::size_t i = first; i < last; ++i) {
      try {
        body(i);
      } catch (...) {
        failures[i] = std::current_exception();
      }
    }
  };
  const int used = static_cast<int>(std::min<std::size_t>(std::max(threads, 1), count));
  if (used <= 1) {
    guarded(0, count);
  } else {
    WorkerPool pool(used);
    pool.Round(count, 1, guarded);
  }
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

void ForEachIndex(std::size_t count, int threads, const std::function<void(std::size_t)>& job) {
  ParallelFor(count, threads <= 0 ? ThreadsFor(0) : std::min(threads, kMaxThreads), job);
}

}  // namespace tarvik
