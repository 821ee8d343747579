#include "common/threads.h"

#include <algorithm>
#include <string>
#include <thread>

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

}  // namespace tarvik
