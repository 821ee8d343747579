#include "common/elementary.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

namespace tarvik::elementary {
namespace {

// Results compared as bits: one differing bit is a different number.
std::uint64_t Bits(double x) {
  return std::bit_cast<std::uint64_t>(x);
}

struct Unary {
  double x, expected;
};
struct Binary {
  double x, y, expected;
};

// glibc 2.36's results on an x86-64 processor with FMA (what the Linux build
// gave before), among them the arguments where a fused operation decides
// the last bit and results in the subnormal range.
const Unary kExp[] = {
    {0x1p+0, 0x1.5bf0a8b145769p+1},
    {-0x1.2aa80d7590ff6p+9, 0x1.32799cc43327ap-862},
    {0x1.62e42fefa39efp-1, 0x1p+1},
    {-0x1.4p+1, 0x1.50385c094f425p-4},
    {0x1.999999999999ap-4, 0x1.1aec7b35a00d4p+0},
    {-0x1.4fd35aee0a77ap+9, 0x1.02292f4b50034p-969},
    {0x1.5ep+9, 0x1.d945df4f8ec8ep+1009},
    {-0x1.4b33333333333p+4, 0x1.195920309b9dap-30},
    {0x1.f75104d551d69p-16, 0x1.0001f752f39e5p+0},
};
const Unary kLog[] = {
    {0x1p+1, 0x1.62e42fefa39efp-1},
    {0x1.4p+3, 0x1.26bb1bbb55516p+1},
    {0x1.999999999999ap-4, -0x1.26bb1bbb55515p+1},
    {0x1.0cccccccccccdp+0, 0x1.8fb063ef2c7fp-5},       // near 1: the polynomial
    {0x1.f0a3d70a3d70ap-1, -0x1.f30b2d0091d8ap-6},
    {0x1.56e1fc2f8f359p-997, -0x1.5963447f87fb5p+9},
    {0x1.e240c9fbe76c9p+16, 0x1.77281cad8a844p+3},
    {0x1.0000000000001p+0, 0x1.fffffffffffffp-53},
    {0x0.0000000000001p-1022, -0x1.74385446d71c3p+9},  // the least subnormal
};
// Among them the arguments where the fused operations, or the order of the
// polynomial's terms, decide the last bit; the small-f, f = 0 and large
// branches; arguments of the state-space model's smooth floor, e^-30 and e^30.
const Unary kLog1p[] = {
    {0x1.9d087397c6634p+0, 0x1.ebdb192aa2ffbp-1},
    {0x1.d80cd6644dd74p-4, 0x1.bec6044e54f69p-4},
    {-0x1.205935cfdfa6bp-2, -0x1.52a70652b13cap-2},
    {0x1.1ad389e244365p+2, 0x1.b09ffa3234e0ap+0},
    {0x1.95aad1f7801f8p-2, 0x1.55bc0fb605476p-2},
    {0x1.1p-25, 0x1.0fffffb7c0002p-25},
    {-0x1.8p-22, -0x1.800004800012p-22},
    {0x1.0000001p+0, 0x1.62e42fffa39efp-1},
    {0x1.8000003p+1, 0x1.62e43007a39efp+0},
    {0x1.8p+1, 0x1.62e42fefa39efp+0},
    {-0x1.fffffp-1, -0x1.d1cb7eea86c0ap+3},
    {0x1.2p+60, 0x1.4da7252c1abcap+5},
    {0x1.a56e0c2ac7f75p-44, 0x1.a56e0c2ac7e1ap-44},
    {0x1.370470aec28edp+43, 0x1.e00000000001ap+4},
};
const Binary kPow[] = {
    {0x1p+1, 0x1p-1, 0x1.6a09e667f3bcdp+0},
    {0x1.4p+3, -0x1.8p+1, 0x1.0624dd2f1a9fcp-10},
    {0x1.00068db8bac71p+0, 0x1.388p+13, 0x1.5bec34aabbfd3p+1},
    {0x1.6666666666666p-2, 0x1.6p+1, 0x1.c8a4ada19cfcbp-5},
    {-0x1p+1, 0x1.8p+1, -0x1p+3},
    {0x1.ep+2, 0x1.5555555555555p-2, 0x1.f51a62037e955p+0},
    {0x1.0624dd2f1a9fcp-10, 0x1.999999999999ap+0, 0x1.09e6a4f05e626p-16},
    {0x1.fffffffffffffp-1, -0x1.2a05f2p+33, 0x1.000012a05fcd8p+0},
    {0x1.d99999999999ap+1, -0x1.569999999999ap+7, 0x1.967243fd76ac3p-324},
};

TEST(Elementary, GivesGlibcsBitsWithAndWithoutAnFmaInstruction) {
  for (const Unary& c : kExp) {
    EXPECT_EQ(Bits(Exp(c.x)), Bits(c.expected)) << "exp(" << c.x << ")";
    EXPECT_EQ(Bits(testing::SoftwareExp(c.x)), Bits(c.expected)) << "exp(" << c.x << ")";
  }
  for (const Unary& c : kLog) {
    EXPECT_EQ(Bits(Log(c.x)), Bits(c.expected)) << "log(" << c.x << ")";
    EXPECT_EQ(Bits(testing::SoftwareLog(c.x)), Bits(c.expected)) << "log(" << c.x << ")";
  }
  for (const Unary& c : kLog1p) {
    EXPECT_EQ(Bits(Log1p(c.x)), Bits(c.expected)) << "log1p(" << c.x << ")";
    EXPECT_EQ(Bits(testing::SoftwareLog1p(c.x)), Bits(c.expected)) << "log1p(" << c.x << ")";
  }
  for (const Binary& c : kPow) {
    EXPECT_EQ(Bits(Pow(c.x, c.y)), Bits(c.expected)) << "pow(" << c.x << ", " << c.y << ")";
    EXPECT_EQ(Bits(testing::SoftwarePow(c.x, c.y)), Bits(c.expected))
        << "pow(" << c.x << ", " << c.y << ")";
  }
}

TEST(Elementary, SpecialValuesAreThoseOfTheCFunctions) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(Exp(0.0), 1.0);
  EXPECT_EQ(Exp(-inf), 0.0);
  EXPECT_EQ(Exp(inf), inf);
  EXPECT_EQ(Exp(710.0), inf);
  EXPECT_EQ(Bits(Exp(-746.0)), Bits(0.0));
  EXPECT_TRUE(std::isnan(Exp(std::nan(""))));
  EXPECT_EQ(Log(1.0), 0.0);
  EXPECT_EQ(Log(0.0), -inf);
  EXPECT_EQ(Log(inf), inf);
  EXPECT_TRUE(std::isnan(Log(-1.0)));
  EXPECT_EQ(Bits(Log1p(-0.0)), Bits(-0.0));
  EXPECT_EQ(Log1p(-1.0), -inf);
  EXPECT_EQ(Log1p(inf), inf);
  EXPECT_TRUE(std::isnan(Log1p(-1.5)));
  EXPECT_TRUE(std::isnan(Log1p(-inf)));
  EXPECT_EQ(Pow(0.0, 0.0), 1.0);
  EXPECT_EQ(Pow(std::nan(""), 0.0), 1.0);
  EXPECT_EQ(Pow(0.0, -1.0), inf);
  EXPECT_EQ(Pow(-0.0, -3.0), -inf);
  EXPECT_TRUE(std::isnan(Pow(-8.0, 1.0 / 3.0)));  // a negative base, no integer power
  EXPECT_EQ(Pow(-2.0, 2.0), 4.0);
  EXPECT_EQ(Pow(0.5, inf), 0.0);
  EXPECT_EQ(Pow(2.0, -inf), 0.0);
  EXPECT_EQ(Pow(1e300, 2.0), inf);
}

TEST(Elementary, TheSoftwareFusedMultiplyAddRoundsOnce) {
  // (1 + 2^-30)^2 - 1 = 2^-29 + 2^-60: a product rounded first loses 2^-60.
  const double a = 1.0 + 0x1p-30;
  EXPECT_EQ(testing::SoftwareFmaOf(a, a, -1.0), 0x1p-29 + 0x1p-60);
  EXPECT_EQ(a * a - 1.0, 0x1p-29);
  // Ties and near-ties of the sum decided by the product's lowest bits.
  EXPECT_EQ(testing::SoftwareFmaOf(0x1.0000001p0, 0x1.0000001p0, -1.0), 0x1.00000008p-27);
  EXPECT_EQ(testing::SoftwareFmaOf(0x1p0 + 0x1p-52, 0x1p0 - 0x1p-53, 0x1p-105),
            0x1.0000000000001p0 - 0x1p-52);
#ifndef _WIN32
  // glibc's fma is correctly rounded on every processor; the Windows
  // runtime's need not be, so it is no reference there.
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  for (int i = 0; i < 20000; ++i) {
    const double x = std::ldexp(unit(random), static_cast<int>(random() % 60) - 30);
    const double y = std::ldexp(unit(random), static_cast<int>(random() % 60) - 30);
    const double z = -x * y * (1.0 + std::ldexp(unit(random), -40));
    ASSERT_EQ(Bits(testing::SoftwareFmaOf(x, y, z)), Bits(std::fma(x, y, z)))
        << x << " * " << y << " + " << z;
  }
#endif
}

}  // namespace
}  // namespace tarvik::elementary
