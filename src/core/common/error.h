#pragma once

#include <stdexcept>
#include <string>

namespace tarvik {

// The one error type of the core. Its message is Russian UTF-8 text meant for
// the user: it says what went wrong and, where it can, where (row, column,
// year, field). Every floating-point fault the computations can meet
// (division by zero, logarithm of a non-positive number, invalid power,
// non-finite result) is raised as this error instead of travelling on as a
// NaN or an infinity.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tarvik
