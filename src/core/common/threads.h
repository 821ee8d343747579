#pragma once

#include <cstddef>
#include <functional>

namespace tarvik {

// The most threads a computation starts, whatever is asked: each costs a
// stack and a process slot, and the results are the same bits with any
// number of them.
inline constexpr int kMaxThreads = 64;

// The threads a computation runs on when `requested` are asked for: 0 means
// every hardware thread (at most kMaxThreads), 1 … kMaxThreads as asked.
// Anything else raises tarvik::Error before a thread is started.
int ThreadsFor(long long requested);

// Calls job(i) for i = 0 … count − 1, each once, spread over `threads`
// threads (0 or less = every hardware thread, at most kMaxThreads; this
// thread takes a share, and fewer helpers start if the system refuses one). The jobs must be
// independent, so that the results do not depend on the thread count. After all have run, the
// exception of the lowest failing index is rethrown.
void ForEachIndex(std::size_t count, int threads, const std::function<void(std::size_t)>& job);

}  // namespace tarvik
