#include "common/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

#include "common/error.h"

namespace tarvik {
namespace {

// Powers of ten as the nearest doubles (the literals), from 1e-20 to 1e20.
constexpr std::array<double, 41> kPowersOfTen = {
    1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14, 1e-13, 1e-12, 1e-11, 1e-10, 1e-9, 1e-8, 1e-7,
    1e-6,  1e-5,  1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,   1e5,  1e6,  1e7,
    1e8,   1e9,   1e10,  1e11,  1e12,  1e13,  1e14,  1e15,  1e16,  1e17,  1e18,  1e19, 1e20};

double PowerOfTen(int exponent) {
  if (exponent < -20 || exponent > 20) {
    throw Error("Недопустимое число знаков округления: " + std::to_string(exponent));
  }
  return kPowersOfTen[static_cast<std::size_t>(exponent + 20)];
}

bool IsBlank(char ch) {
  return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Numbers are written and read without the C library's locale: the window
// sets LC_NUMERIC from the desktop (a comma in Russian), and a file, a
// report or a number typed with the program's own mark must not depend on
// it. std::to_chars writes exactly what printf writes in the "C" locale.
std::string CharsOf(double x, std::chars_format format, int precision) {
  char buffer[512];
  const std::to_chars_result written =
      std::to_chars(buffer, buffer + sizeof buffer, x, format, precision);
  if (written.ec != std::errc()) {
    throw Error("Число " + std::string(format == std::chars_format::fixed ? "в записи с " : "с ") +
                std::to_string(precision) + " знаками не помещается в строку");
  }
  return std::string(buffer, written.ptr);
}

void ReplaceDecimalPoint(std::string& text, char decimalMark) {
  if (decimalMark == '.') return;
  for (char& ch : text) {
    if (ch == '.') ch = decimalMark;
  }
}

void RequireFinite(double x) {
  if (!std::isfinite(x)) {
    throw Error("Результат расчёта не является конечным числом");
  }
}

}  // namespace

double RoundHalfEven(double x) {
  return std::nearbyint(x);
}

double RoundDecimals(double x, int decimals) {
  RequireFinite(x);
  const double scale = PowerOfTen(-decimals);
  const double rounded = std::nearbyint(x / scale) * scale;
  if (!std::isfinite(rounded)) {
    // x / 10^-d overflows for a huge x: the rounding as written has no value.
    throw Error("Число " + FormatGeneral(x) + " слишком велико для округления до " +
                std::to_string(decimals) + " знаков после запятой");
  }
  return rounded;
}

std::string FormatGeneral(double x, char decimalMark) {
  RequireFinite(x);
  if (x == 0.0) return "0";
  std::string text = CharsOf(x, std::chars_format::general, 15);
  ReplaceDecimalPoint(text, decimalMark);
  return text;
}

std::string FormatFixed(double x, int decimals, char decimalMark) {
  RequireFinite(x);
  double rounded = RoundDecimals(x, decimals);
  if (rounded == 0.0) rounded = 0.0;  // drops the sign of a negative zero
  std::string text = CharsOf(rounded, std::chars_format::fixed, decimals);
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) {
    text.erase(0, 1);
  }
  ReplaceDecimalPoint(text, decimalMark);
  return text;
}

std::string FormatCatchability(double q, char decimalMark) {
  RequireFinite(q);
  if (q == 0.0 || std::fabs(q) >= 0.001) return FormatFixed(q, 6, decimalMark);
  int decimals = 3 - static_cast<int>(std::floor(std::log10(std::fabs(q))));
  if (decimals > 20) {
    // Beyond twenty decimals a fixed notation is unreadable (and past the
    // roundings' range): four significant digits with an exponent.
    std::string text = CharsOf(q, std::chars_format::scientific, 3);
    ReplaceDecimalPoint(text, decimalMark);
    return text;
  }
  // Rounding may carry into the next power of ten (0.00099996 → 0.0010000).
  if (std::fabs(RoundDecimals(q, decimals)) >= PowerOfTen(4 - decimals)) --decimals;
  return FormatFixed(q, decimals, decimalMark);
}

std::string CountWithNoun(std::size_t n, std::string_view one, std::string_view few,
                          std::string_view many) {
  const std::size_t tens = n % 100, units = n % 10;
  std::string_view form = many;
  if (tens < 11 || tens > 14) {
    if (units == 1) form = one;
    if (units >= 2 && units <= 4) form = few;
  }
  return std::to_string(n) + " " + std::string(form);
}

std::string FormatField(double x, int width, int decimals) {
  RequireFinite(x);
  std::string text = CharsOf(x, std::chars_format::fixed, decimals);
  if (static_cast<int>(text.size()) < width) {
    text.insert(0, static_cast<std::size_t>(width) - text.size(), ' ');
  }
  return text;
}

std::string FormatMatrixField(double x, int width, int decimals) {
  std::string text = FormatField(x, width, decimals);
  if (text.empty() || text.front() != ' ') text.insert(text.begin(), ' ');
  return text;
}

std::optional<double> TryParseDouble(std::string_view text, char decimalMark) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  // One leading plus is allowed (std::from_chars takes none).
  if (text.front() == '+' && text.size() > 1 && text[1] != '+' && text[1] != '-') {
    text.remove_prefix(1);
  }
  std::string normal;
  normal.reserve(text.size());
  for (char ch : text) {
    if (ch == decimalMark) {
      normal.push_back('.');
    } else if (ch == '.' || ch == ',') {
      return std::nullopt;  // the other mark is not the locale's
    } else if ((ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == 'e' || ch == 'E') {
      normal.push_back(ch);
    } else {
      return std::nullopt;
    }
  }
  double value = 0.0;
  const char* const end = normal.data() + normal.size();
  const std::from_chars_result read =
      std::from_chars(normal.data(), end, value, std::chars_format::general);
  // Out of range: a number too large, or one so small that it would become
  // 0 (std::from_chars says so for both). A very small number that is still
  // held (with fewer digits, as the general format writes it) is read.
  if (read.ec != std::errc() || read.ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<long long> TryParseInteger(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const bool sign = (i == 0 && (ch == '+' || ch == '-'));
    if (!sign && (ch < '0' || ch > '9')) return std::nullopt;
  }
  if (text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  long long value = 0;
  const char* const end = text.data() + text.size();
  const std::from_chars_result read = std::from_chars(text.data(), end, value, 10);
  if (read.ec != std::errc() || read.ptr != end) return std::nullopt;
  return value;
}

}  // namespace tarvik
