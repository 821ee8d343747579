#pragma once

#include <cmath>
#include <string>

#include "common/elementary.h"
#include "common/error.h"

namespace tarvik::model {

// Arithmetic that raises tarvik::Error on the faults the formulas can meet,
// instead of producing an infinity or a NaN. `where` completes the message:
// "Деление на ноль при <where>".
inline double Divide(double numerator, double denominator, const char* where) {
  if (denominator == 0.0) {
    throw Error(std::string("Деление на ноль при ") + where);
  }
  return numerator / denominator;
}

// Natural logarithm of a positive number; `what` names the quantity.
inline double Log(double x, const char* what) {
  if (!(x > 0.0)) {
    throw Error(std::string("Логарифм неположительного числа (") + what + ")");
  }
  return elementary::Log(x);
}

}  // namespace tarvik::model
