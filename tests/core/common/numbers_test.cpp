#include "common/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/cp1251.h"
#include "common/error.h"

namespace tarvik {
namespace {

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(2.5), 2.0);
  EXPECT_EQ(RoundHalfEven(3.5), 4.0);
  EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
  EXPECT_EQ(RoundTo(2.5, 0), 2.0);
  EXPECT_EQ(RoundTo(1234.5678, -2), 123457 * 1e-2);
  EXPECT_EQ(RoundDecimals(0.0001234, 6), 123 * 1e-6);
  EXPECT_EQ(RoundTo(1250.0, 2), 1200.0);  // hundreds, 12.5 → 12
}

TEST(Formatting, GeneralFormatUsesTheLocaleMarkAndFifteenDigits) {
  EXPECT_EQ(FormatGeneral(0.5), "0.5");
  EXPECT_EQ(FormatGeneral(0.5, ','), "0,5");
  EXPECT_EQ(FormatGeneral(0.0001, ','), "0,0001");
  EXPECT_EQ(FormatGeneral(-0.0), "0");
  EXPECT_EQ(FormatGeneral(1.0 / 3.0), "0.333333333333333");
  EXPECT_EQ(FormatGeneral(125000.0), "125000");
  EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
  EXPECT_THROW(FormatGeneral(std::numeric_limits<double>::infinity()), Error);
  EXPECT_THROW(FormatGeneral(std::nan("")), Error);
}

TEST(Formatting, MasksRoundHalvesToEvenAndDropTheSignOfZero) {
  EXPECT_EQ(FormatFixed(0.125, 2), "0.12");
  EXPECT_EQ(FormatFixed(0.375, 2), "0.38");
  EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");
  EXPECT_EQ(FormatFixed(2.0, 1, ','), "2,0");
  EXPECT_EQ(FormatFixed(0.0001234567, 6), "0.000123");
}

// A q below 0.001 keeps four significant digits; from 0.001 up the mask.
TEST(Formatting, CatchabilityKeepsFourSignificantDigitsBelowAThousandth) {
  EXPECT_EQ(FormatCatchability(0.0058564), "0.005856");
  EXPECT_EQ(FormatCatchability(0.0), "0.000000");
  EXPECT_EQ(FormatCatchability(5.85649e-6, ','), "0,000005856");
  EXPECT_EQ(FormatCatchability(0.0001), "0.0001000");
  EXPECT_EQ(FormatCatchability(4.0e-9), "0.000000004000");
  EXPECT_EQ(FormatCatchability(2.5e-17), "0.00000000000000002500");  // twenty decimals
  EXPECT_EQ(FormatCatchability(2.55e-24, ','), "2,550e-24");  // not a rounding failure
  EXPECT_EQ(FormatCatchability(0.00099996), "0.001000");  // rounds up into the mask's range
  EXPECT_THROW(FormatCatchability(std::numeric_limits<double>::infinity()), Error);
}

TEST(Formatting, AHugeValueRaisesInsteadOfBecomingInf) {
  // 1e307 / 0.01 overflows: the rounding as written has no finite value.
  EXPECT_THROW(FormatFixed(1e307, 2), Error);
  EXPECT_THROW(RoundDecimals(-1e307, 2), Error);
  EXPECT_THROW(RoundTo(std::numeric_limits<double>::max(), -1), Error);
  EXPECT_THROW(RoundDecimals(std::numeric_limits<double>::quiet_NaN(), 0), Error);
  // Still finite after scaling: written in full.
  const std::string text = FormatFixed(1e305, 2);
  EXPECT_GT(text.size(), 300u);
  EXPECT_EQ(text.find("inf"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 3), ".00");
  EXPECT_EQ(RoundDecimals(1e307, 0), 1e307);
}

TEST(Formatting, FieldsAreRightAlignedAndGrowWhenTooNarrow) {
  EXPECT_EQ(FormatField(8000.0, 10, 0), "      8000");
  EXPECT_EQ(FormatField(0.4, 10, 6), "  0.400000");
  EXPECT_EQ(FormatField(1234567890.0, 10, 0), "1234567890");
  EXPECT_EQ(FormatField(12345678901.0, 10, 0), "12345678901");
}

TEST(Formatting, MatrixFieldsNeverJoinTheFieldBefore) {
  EXPECT_EQ(FormatMatrixField(8000.0, 10, 0), "      8000");  // narrower: as FormatField
  EXPECT_EQ(FormatMatrixField(-12.5, 10, 4), "  -12.5000");
  // Filling the field or wider: one blank first.
  EXPECT_EQ(FormatMatrixField(1234567890.0, 10, 0), " 1234567890");
  EXPECT_EQ(FormatMatrixField(123456.789, 10, 3), " 123456.789");
  EXPECT_EQ(FormatMatrixField(12345678901.0, 10, 0), " 12345678901");
  EXPECT_THROW(FormatMatrixField(std::nan(""), 10, 0), Error);
}

TEST(Parsing, LocaleMarkBlanksAndRejections) {
  EXPECT_EQ(TryParseDouble(" 12,5 ", ','), 12.5);
  EXPECT_EQ(TryParseDouble("12.5", '.'), 12.5);
  EXPECT_FALSE(TryParseDouble("12.5", ','));
  EXPECT_FALSE(TryParseDouble("12,x", ','));
  EXPECT_FALSE(TryParseDouble("", '.'));
  EXPECT_FALSE(TryParseDouble("nan", '.'));
  EXPECT_EQ(TryParseDouble("-1e3", '.'), -1000.0);
  EXPECT_EQ(TryParseInteger(" -3 "), -3);
  EXPECT_FALSE(TryParseInteger("3.0"));
  EXPECT_FALSE(TryParseInteger(""));
}

TEST(Parsing, WhatTheGeneralFormatWritesIsReadBack) {
  // A very small number keeps fewer digits but is still a number (found by
  // fuzzing: "1,06099789548264e-314" was refused).
  const double tiny = 1.06099789548264e-314;
  EXPECT_EQ(TryParseDouble(FormatGeneral(tiny, ','), ','),
            *TryParseDouble("1,06099789548264e-314", ','));
  EXPECT_GT(*TryParseDouble("4.94065645841247e-324", '.'), 0.0);
  // Beyond the range either way: refused, never turned into 0 or infinity.
  EXPECT_FALSE(TryParseDouble("1e-400", '.'));
  EXPECT_FALSE(TryParseDouble("1e309", '.'));
  EXPECT_EQ(TryParseDouble("0e-500", '.'), 0.0);
}

TEST(Cp1251, RoundTripOfCyrillicAndRefusalOfForeignCharacters) {
  const std::string text = "СПРАВКА ГОД\tУЛОВ №104 ёЁ";
  const auto bytes = Utf8ToCp1251(text);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(static_cast<unsigned char>((*bytes)[0]), 0xD1);  // С
  EXPECT_EQ(Cp1251ToUtf8(*bytes), text);
  std::string bad;
  EXPECT_FALSE(Utf8ToCp1251("треска 鱈", &bad));
  EXPECT_EQ(bad, "鱈");
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_FALSE(IsValidUtf8(*bytes));
}

}  // namespace
}  // namespace tarvik
