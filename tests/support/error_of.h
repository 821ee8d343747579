#pragma once

#include <string>

#include "common/error.h"

namespace tarvik::testing_support {

// The message of the tarvik::Error that `statement` raises ("" when it
// raises none).
template <typename F>
std::string ErrorOf(F&& statement) {
  try {
    statement();
  } catch (const Error& e) {
    return e.what();
  }
  return "";
}

}  // namespace tarvik::testing_support
