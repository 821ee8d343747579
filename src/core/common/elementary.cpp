#include "common/elementary.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "common/elementary_tables.h"

namespace tarvik::elementary {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr int kExpTableBits = 7;
constexpr std::uint64_t kExpN = 1 << kExpTableBits;
constexpr int kLogTableBits = 7;
constexpr std::uint64_t kLogN = 1 << kLogTableBits;
constexpr std::uint64_t kLogOff = 0x3fe6000000000000;
constexpr int kPowTableBits = 7;
constexpr std::uint64_t kPowN = 1 << kPowTableBits;
constexpr std::uint64_t kPowOff = 0x3fe6955500000000;
constexpr std::uint32_t kSignBias = 0x800 << kExpTableBits;

inline std::uint64_t AsUint64(double x) {
  std::uint64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits;
}

inline double AsDouble(std::uint64_t bits) {
  double x;
  std::memcpy(&x, &bits, sizeof x);
  return x;
}

// The sign and exponent bits.
inline std::uint32_t Top12(double x) {
  return static_cast<std::uint32_t>(AsUint64(x) >> 52);
}

// Where glibc keeps a value from being folded or reordered; with IEEE
// arithmetic in double (no excess precision, no contraction) nothing to do.
inline double Barrier(double x) {
  return x;
}

// The special results, signed when `sign` is not 0.
inline double Overflow(std::uint32_t sign) {
  return sign != 0 ? -kInfinity : kInfinity;
}
inline double Underflow(std::uint32_t sign) {
  return sign != 0 ? -0.0 : 0.0;
}
inline double DivideByZero(std::uint32_t sign) {
  return sign != 0 ? -kInfinity : kInfinity;
}
inline double Invalid(double x) {
  return std::isnan(x) ? x : std::numeric_limits<double>::quiet_NaN();
}

// 0 when not an integer, 1 when odd, 2 when even (iy: a finite non-zero
// value's bits).
inline int CheckInt(std::uint64_t iy) {
  const int e = static_cast<int>(iy >> 52 & 0x7ff);
  if (e < 0x3ff) return 0;
  if (e > 0x3ff + 52) return 2;
  if ((iy & ((1ULL << (0x3ff + 52 - e)) - 1)) != 0) return 0;
  if ((iy & (1ULL << (0x3ff + 52 - e))) != 0) return 1;
  return 2;
}

inline bool ZeroInfNan(std::uint64_t i) {
  return 2 * i - 1 >= 2 * AsUint64(kInfinity) - 1;
}

// a * b + c rounded once, without an FMA instruction: the exact product by
// Veltkamp's splitting and Dekker's product, the exact sum with c, the two
// error terms added with rounding to odd, then one rounding to nearest
// (Boldo and Melquiond, IEEE Trans. Computers 57(4), 2008). Exact unless a
// product's error term falls below 2^-1022 or a factor exceeds 2^995.
double SoftwareFma(double a, double b, double c) {
  const double p = a * b;
  if (!std::isfinite(p) || !std::isfinite(c) || p == 0 || c == 0) return p + c;
  constexpr double kSplit = 134217729.0;  // 2^27 + 1
  const double ta = kSplit * a;
  const double ah = ta - (ta - a);
  const double al = a - ah;
  const double tb = kSplit * b;
  const double bh = tb - (tb - b);
  const double bl = b - bh;
  const double e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;  // a * b = p + e
  const double th = c + p;
  const double cb = th - c;
  const double tl = (c - (th - cb)) + (p - cb);  // c + p = th + tl
  double v = tl + e;
  const double vb = v - tl;
  const double ve = (tl - (v - vb)) + (e - vb);
  if (ve != 0 && (AsUint64(v) & 1) == 0) {
    // Rounded to odd: one step away from the even neighbour, towards ve.
    const std::uint64_t bits = AsUint64(v);
    v = AsDouble((ve > 0) == (v > 0) ? bits + 1 : bits - 1);
  }
  return th + v;
}

namespace software {
inline double Fma(double a, double b, double c) {
  return SoftwareFma(a, b, c);
}
#include "common/elementary_algorithms.inc"
}  // namespace software

#if defined(__x86_64__) || defined(__i386__)
#define TARVIK_ELEMENTARY_DISPATCH 1
#pragma GCC push_options
#pragma GCC target("fma")
namespace hardware {
inline double Fma(double a, double b, double c) {
  return __builtin_fma(a, b, c);
}
#include "common/elementary_algorithms.inc"
}  // namespace hardware
#pragma GCC pop_options

bool ProcessorHasFma() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("fma");
}

const bool kHardwareFma = ProcessorHasFma();
#endif

}  // namespace

#ifdef TARVIK_ELEMENTARY_DISPATCH
double Exp(double x) {
  return kHardwareFma ? hardware::Exp(x) : software::Exp(x);
}
double Log(double x) {
  return kHardwareFma ? hardware::Log(x) : software::Log(x);
}
double Log1p(double x) {
  return kHardwareFma ? hardware::Log1p(x) : software::Log1p(x);
}
double Pow(double x, double y) {
  return kHardwareFma ? hardware::Pow(x, y) : software::Pow(x, y);
}
#else
// Elsewhere (AArch64) std::fma is the processor's instruction.
namespace {
namespace native {
inline double Fma(double a, double b, double c) {
  return std::fma(a, b, c);
}
#include "common/elementary_algorithms.inc"
}  // namespace native
}  // namespace
double Exp(double x) {
  return native::Exp(x);
}
double Log(double x) {
  return native::Log(x);
}
double Log1p(double x) {
  return native::Log1p(x);
}
double Pow(double x, double y) {
  return native::Pow(x, y);
}
#endif

namespace testing {
double SoftwareExp(double x) {
  return software::Exp(x);
}
double SoftwareLog(double x) {
  return software::Log(x);
}
double SoftwareLog1p(double x) {
  return software::Log1p(x);
}
double SoftwarePow(double x, double y) {
  return software::Pow(x, y);
}
double SoftwareFmaOf(double a, double b, double c) {
  return SoftwareFma(a, b, c);
}
}  // namespace testing

}  // namespace tarvik::elementary
