#pragma once

// The runner of the bootstraps' replicates: every replicate on the shared
// WorkerPool, progress and a stop seen on the calling thread.

#include <functional>
#include <stop_token>

namespace tarvik::uncertainty {

// Runs job(k) for k = 0 … count − 1: on the calling thread when one thread
// is asked for, otherwise on `threads` pool helpers while the calling thread
// reports progress (onProgress(done, count), at most once per per cent and
// once at the end) and watches `stop`, also after the last replicate: a stop
// asked before the result is returned raises Cancelled. Each job writes its
// own slot, so the order in which the helpers take them does not matter. An
// exception of a job or of the progress callback stops the remaining
// replicates and is raised here once every running job has ended.
void ForEachReplicate(int count, int threads, const std::function<void(int, int)>& onProgress,
                      const std::stop_token& stop, const std::function<void(int)>& job);

}  // namespace tarvik::uncertainty
