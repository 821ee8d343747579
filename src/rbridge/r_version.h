#pragma once

#include <string>

namespace tarvik::rbridge {

// The first line R prints for "R --version" ("R version 4.2.2 (2022-10-31)
// -- \"Innocent and Trusting\""), run from `rDirectory` as LocateR gives it;
// empty when R is not found (kRNotFound), does not start, or says nothing
// within a few seconds.
std::string RVersion(const std::string& rDirectory);

}  // namespace tarvik::rbridge
