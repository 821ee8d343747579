#include "common/progress.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace tarvik {
namespace {

using Reports = std::vector<std::pair<int, int>>;

Reports Throttled(std::int64_t total, std::int64_t step) {
  Reports reports;
  const ProgressCallback callback = [&](int done, int of) { reports.emplace_back(done, of); };
  ProgressThrottle throttle(total, callback);
  for (std::int64_t done = step; done <= total; done += step) throttle.Report(done);
  return reports;
}

// At most once per per cent, each new per cent at its first step, and the
// last step always.
TEST(ProgressThrottle, ReportsEachNewPerCentAndTheEnd) {
  const Reports few = Throttled(3, 1);
  EXPECT_EQ(few, (Reports{{1, 3}, {2, 3}, {3, 3}}));

  const Reports many = Throttled(1000, 1);
  ASSERT_EQ(many.size(), 100u);
  EXPECT_EQ(many.front(), (std::pair{10, 1000}));  // 1 % first reached at 10
  EXPECT_EQ(many[49], (std::pair{500, 1000}));
  EXPECT_EQ(many.back(), (std::pair{1000, 1000}));
}

// A count beyond int goes on in thousandths; no callback: nothing to do.
TEST(ProgressThrottle, HugeTotalsInThousandthsAndAnEmptyCallback) {
  const Reports huge = Throttled(4'000'000'000LL, 400'000'000LL);
  EXPECT_EQ(huge.front(), (std::pair{100, 1000}));
  EXPECT_EQ(huge.back(), (std::pair{1000, 1000}));
  EXPECT_EQ(huge.size(), 10u);

  const ProgressCallback none;
  ProgressThrottle throttle(10, none);
  throttle.Report(10);  // must not call the empty function
}

}  // namespace
}  // namespace tarvik
