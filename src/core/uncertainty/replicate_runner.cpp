#include "uncertainty/replicate_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "common/threads.h"
#include "uncertainty/bootstrap.h"

namespace tarvik::uncertainty {
namespace {

// Reports at most once per per cent of the replicates, and at the end.
class ProgressReporter {
 public:
  ProgressReporter(int total, const std::function<void(int, int)>& callback)
      : total_(total), callback_(callback) {}
  void Report(int done) {
    if (!callback_) return;
    const int percent = done * 100 / total_;
    if (done == total_ || percent > last_) {
      last_ = percent;
      callback_(done, total_);
    }
  }

 private:
  int total_;
  const std::function<void(int, int)>& callback_;
  int last_ = 0;
};

}  // namespace

void ForEachReplicate(int count, int threads, const std::function<void(int, int)>& onProgress,
                      const std::stop_token& stop, const std::function<void(int)>& job) {
  ProgressReporter reporter(count, onProgress);
  const auto inline_ = [&]() {
    for (int k = 0; k < count; ++k) {
      if (stop.stop_requested()) throw Cancelled();
      job(k);
      reporter.Report(k + 1);
    }
    if (stop.stop_requested()) throw Cancelled();
  };
  if (threads <= 1) return inline_();

  std::atomic<bool> abort{false};
  std::mutex mutex;
  std::condition_variable wake;
  int done = 0;                // guarded by mutex
  std::exception_ptr failure;  // guarded by mutex; the first raised
  const auto fail = [&](std::exception_ptr raised) {
    const std::lock_guard lock(mutex);
    if (!failure) failure = std::move(raised);
    abort = true;
    wake.notify_all();
  };
  const std::function<void(std::size_t, std::size_t)> work = [&](std::size_t first,
                                                                 std::size_t last) {
    for (std::size_t k = first; k < last; ++k) {
      if (abort.load()) return;
      try {
        job(static_cast<int>(k));
      } catch (...) {
        fail(std::current_exception());
        return;
      }
      const std::lock_guard lock(mutex);
      ++done;
      wake.notify_all();
    }
  };
  // The calling thread watches while the helpers work; it joins the round
  // only to find it finished or abandoned.
  const auto watch = [&]() {
    try {
      int seen = 0;
      for (;;) {
        int now = 0;
        {
          std::unique_lock lock(mutex);
          wake.wait_for(lock, std::chrono::milliseconds(50),
                        [&]() { return done != seen || failure != nullptr; });
          if (failure) return;
          now = done;
        }
        if (now != seen) reporter.Report(now);
        seen = now;
        // After the report, whose callback may have asked to stop: the
        // helpers may finish every replicate before this thread sees any.
        if (stop.stop_requested()) throw Cancelled();
        if (now == count) return;
      }
    } catch (...) {
      fail(std::current_exception());
    }
  };
  WorkerPool pool(std::min(threads, kMaxThreads - 1) + 1);
  if (pool.Threads() <= 1) return inline_();  // the system gave no helper
  pool.Round(static_cast<std::size_t>(count), 1, work, watch);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tarvik::uncertainty
