#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// Rounds to the nearest integer, ties to the even neighbour.
double RoundHalfEven(double x);

// Rounds x to `decimals` decimal places: x is divided by the double 10^-decimals,
// rounded half-to-even and multiplied back; decimals may be negative (tens,
// hundreds). The result stays a double. A non-finite x, or one so large that
// x / 10^-decimals overflows (1e307 to 2 decimals), raises tarvik::Error.
double RoundDecimals(double x, int decimals);

// The classic RoundTo(x, digit): digit -2 means two decimals, 0 an integer.
inline double RoundTo(double x, int digit) {
  return RoundDecimals(x, -digit);
}

// The shortest general format of up to 15 significant digits ("%.15g"), with
// `decimalMark` as the decimal mark; a negative zero is written "0".
// A non-finite value raises tarvik::Error.
std::string FormatGeneral(double x, char decimalMark = '.');

// A mask with a fixed number of decimals ("0.00" is decimals = 2): rounded as
// RoundDecimals, then written with exactly that many decimals. A value that
// rounds to zero is written without a sign. A value RoundDecimals cannot
// round raises tarvik::Error (never "inf" or "nan").
std::string FormatFixed(double x, int decimals, char decimalMark = '.');

// A displayed catchability q: the mask "0.000000" (FormatFixed, 6 decimals)
// from 0.001 up and for 0; below 0.001 four significant digits in fixed
// notation ("0.000005856"), so that a small q is never shown as 0.000006 or
// 0.000000; below 1e-17 (more than twenty decimals) four significant digits
// with an exponent ("2.550e-24"). Raises as FormatFixed.
std::string FormatCatchability(double q, char decimalMark = '.');

// A count with its Russian noun in the form the count needs: `one` for 1,
// 21, 31 … (not 11), `few` for 2–4, 22–24 … (not 12–14), `many` otherwise:
// "1 год", "3 года", "22 года", "11 лет".
std::string CountWithNoun(std::size_t n, std::string_view one, std::string_view few,
                          std::string_view many);

// Fixed-point with a point as decimal mark, right-aligned in a field of at
// least `width` characters (a wider number is written in full), as the files
// for R need them.
std::string FormatField(double x, int width, int decimals);

// A field of a number matrix for R's table reader that follows another field
// on its line: FormatField, with one blank put before a number that fills
// its field or is wider, so that it can never join the number before it
// (the reader splits at blanks). A narrower number is exactly FormatField.
std::string FormatMatrixField(double x, int width, int decimals);

// Reads a real number typed with `decimalMark`; surrounding blanks are
// allowed, nothing else. Returns nothing when the text is not a number or
// lies outside the range of doubles (above about 1.8e308, or so small that it
// would become 0); what FormatGeneral writes is read back.
std::optional<double> TryParseDouble(std::string_view text, char decimalMark = '.');

// Reads a decimal integer; surrounding blanks allowed.
std::optional<long long> TryParseInteger(std::string_view text);

}  // namespace tarvik
