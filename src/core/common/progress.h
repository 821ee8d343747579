#pragma once

#include <cstdint>
#include <functional>

namespace tarvik {

// How a long computation reports how far it got: `done` of `total` steps
// (each computation says what a step is). Called on the computing thread,
// from 0 on, never with a smaller `done` than before.
using ProgressCallback = std::function<void(int done, int total)>;

// Passes a computation's progress on sparingly: at most once per per cent of
// its steps, and always at the last one, so that a fast loop does not flood
// the window with updates. A total beyond the range of int is passed on in
// thousandths. The callback is held by reference and may be empty.
class ProgressThrottle {
 public:
  ProgressThrottle(std::int64_t total, const ProgressCallback& callback)
      : total_(total), callback_(callback) {}

  // `done` of the total steps are done (ascending).
  void Report(std::int64_t done);

 private:
  std::int64_t total_;
  const ProgressCallback& callback_;
  std::int64_t lastPercent_ = 0;
};

}  // namespace tarvik
