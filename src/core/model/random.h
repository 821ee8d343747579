#pragma once

#include <cmath>
#include <cstdint>

#include "common/elementary.h"

namespace tarvik::model {

// The program's one pseudo-random source: a 32-bit linear congruential
// generator, state 0 at start and never reseeded, so that the same actions in
// the same order give the same numbers. One step is one multiplication and one
// addition modulo 2^32.
class RandomSource {
 public:
  explicit RandomSource(std::uint32_t seed = 0) : seed_(seed) {}

  // The whole state (RandomSeed).
  std::uint32_t Seed() const { return seed_; }

  // Puts the state back to a value read earlier with Seed(). Used only by code
  // that draws ahead and must leave the state where the sequential order of
  // draws would have left it.
  void Restore(std::uint32_t seed) { seed_ = seed; }

  // Integer in 0 … m−1 (m ≥ 1): one step, then the high 32 bits of seed · m.
  std::uint32_t RandomInt(std::uint32_t m) {
    Step();
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed_) * m) >> 32);
  }

  // Real in [0, 1): one step, then seed · 2^−32.
  double RandomReal() {
    Step();
    return static_cast<double>(seed_) * 0x1p-32;
  }

  // sd · u1 · sqrt(−2 ln s / s) of the polar method, the part of a normal
  // draw that does not depend on the mean. Two steps per attempt; attempts
  // with s ≥ 1 are repeated.
  double GaussDeviate(double sd) {
    for (;;) {
      const double u1 = 2.0 * RandomReal() - 1.0;
      const double u2 = 2.0 * RandomReal() - 1.0;
      const double s = u2 * u2 + u1 * u1;
      // s = 0 cannot occur (two consecutive states are never both 2^31).
      if (s < 1.0 && s != 0.0) return sd * u1 * std::sqrt(-2.0 * elementary::Log(s) / s);
    }
  }

  // Normal with the given mean and standard deviation: mean + sd · u1 · sqrt(−2 ln s / s).
  double RandomGauss(double mean, double sd) { return mean + GaussDeviate(sd); }

 private:
  void Step() { seed_ = seed_ * 134775813u + 1u; }

  std::uint32_t seed_;
};

}  // namespace tarvik::model
