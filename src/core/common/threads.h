#pragma once

namespace tarvik {

// The most threads a computation starts, whatever is asked: each costs a
// stack and a process slot, and the results are the same bits with any
// number of them.
inline constexpr int kMaxThreads = 64;

// The threads a computation runs on when `requested` are asked for: 0 means
// every hardware thread (at most kMaxThreads), 1 … kMaxThreads as asked.
// Anything else raises tarvik::Error before a thread is started.
int ThreadsFor(long long requested);

}  // namespace tarvik
