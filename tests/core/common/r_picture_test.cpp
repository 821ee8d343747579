#include "common/r_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tarvik {
namespace {

// The scale a picture shows a quantity in: labels keep at most four digits
// before the point, and the title names what the shown numbers count.
TEST(PictureScale, KeepsLabelsShortAndNamesTheShownUnit) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double largest;
    int tonnesExponent;
    int exponent;
    const char* unit;
  };
  const Case cases[] = {
      {9999.0, 0, 0, "т"},        {10000.0, 0, 3, "тыс. т"}, {2.3e6, 0, 6, "млн т"},
      {999999.0, 0, 3, "тыс. т"}, {4.0e9, 0, 9, "млрд т"},   {3646.0, 3, 0, "тыс. т"},
      {1.4e5, 3, 3, "млн т"},     {12345.0, -3, 3, "т"},     {500.0, -3, 0, "кг"},
      {50.0, -6, 0, "г"},         {500.0, 1, 0, "10 т"},     {500.0, 2, 0, "10² т"},
      {1.2e8, 2, 6, "10⁸ т"},     {2.0e13, 0, 12, "10¹² т"}, {0.5, -1, 0, "10⁻¹ т"},
      {0.0, 0, 0, "т"},           {nan, 3, 0, "тыс. т"},     {inf, 0, 0, "т"},
      {1e300, 0, 300, "10³⁰⁰ т"},
  };
  for (const Case& c : cases) {
    const PictureScale scale = MassScale(c.largest, c.tonnesExponent);
    EXPECT_EQ(scale.Exponent, c.exponent) << c.largest << " in 10^" << c.tonnesExponent << " t";
    EXPECT_EQ(scale.Unit, c.unit) << c.largest << " in 10^" << c.tonnesExponent << " t";
  }
  EXPECT_EQ(MassTitle("Биомасса", 3), "Биомасса, тыс. т");
  EXPECT_EQ(PlainScale(2400.0).Unit, "");
  EXPECT_EQ(PlainScale(-0.0).Exponent, 0);
  EXPECT_EQ(PlainScale(2.5e7).Unit, "×10⁶");
  EXPECT_EQ(RDivision(PlainScale(2.5e7)), " / 1e6");
  EXPECT_EQ(RDivision(PlainScale(2400.0)), "");
  EXPECT_EQ(LargestMagnitude(std::vector<double>{120.0, -3.0e4, 7.0}), 3.0e4);
}

}  // namespace
}  // namespace tarvik
