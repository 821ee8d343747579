#include "common/threads.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/error.h"

namespace tarvik {

int ThreadsFor(long long requested) {
  if (requested < 0 || requested > kMaxThreads) {
    throw Error("Число потоков должно быть от 0 (все ядра) до " + std::to_string(kMaxThreads) +
                ", задано " + std::to_string(requested));
  }
  if (requested > 0) return static_cast<int>(requested);
  const unsigned hardware = std::thread::hardware_concurrency();
  return hardware == 0 ? 1 : static_cast<int>(std::min<unsigned>(hardware, kMaxThreads));
}

void ForEachIndex(std::size_t count, int threads, const std::function<void(std::size_t)>& job) {
  std::vector<std::exception_ptr> failures(count);
  std::atomic<std::size_t> next{0};
  const auto work = [&]() {
    for (std::size_t k = next++; k < count; k = next++) {
      try {
        job(k);
      } catch (...) {
        failures[k] = std::current_exception();
      }
    }
  };
  const auto wanted =
      static_cast<std::size_t>(threads <= 0 ? ThreadsFor(0) : std::min(threads, kMaxThreads));
  std::vector<std::thread> helpers;
  try {
    for (std::size_t t = 1; t < std::min(wanted, count); ++t) helpers.emplace_back(work);
  } catch (const std::system_error&) {
    // fewer helpers; this thread does what they leave
  }
  work();
  for (std::thread& helper : helpers) helper.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}

}  // namespace tarvik
