#pragma once

#include <string>

namespace tarvik::rbridge {

// The literal value of RDirectory when R was not found.
inline constexpr const char* kRNotFound = "Not found";

}  // namespace tarvik::rbridge
