#include "common/progress.h"

#include <limits>

namespace tarvik {

void ProgressThrottle::Report(std::int64_t done) {
  if (!callback_ || total_ <= 0) return;
  const std::int64_t percent = done * 100 / total_;
  if (done != total_ && percent <= lastPercent_) return;
  lastPercent_ = percent;
  if (total_ <= std::numeric_limits<int>::max()) {
    callback_(static_cast<int>(done), static_cast<int>(total_));
  } else {
    callback_(static_cast<int>(done * 1000 / total_), 1000);
  }
}

}  // namespace tarvik
