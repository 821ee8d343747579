#pragma once

// The lowest value of the «Медианная» objective within the bounds of the
// search, found by enumeration rather than by descent.
//
// For a fixed p the residuals are linear in θ (estimation/linear_form.h). With
// N residuals, keep count m and c = (N − m) div 2, the objective is the sum of
// the sorted absolute residuals c … c+m−1 over D, which is
//   min over sets S of c+m rows of (the sum of the m largest |e_i|, i ∈ S)
//   = min over S, t of  m·t + Σ_{i∈S} (|e_i| − t)₊,
// convex and piecewise linear in (θ, t) for each S. Its minimum therefore lies
// on a vertex of the pieces:
//   - c = 0 (every residual, or only the largest dropped): a basic solution,
//     three residuals zero (the least-absolute-deviations argument);
//   - c > 0: also four residuals of equal size, e_a = t, e_b = ±t, e_c = ±t,
//     e_d = ±t (the edge of the window's lower end).
// Within the bounds the minimum is either such a vertex inside the box or on
// a face of it. The faces r = bound and q = bound are planes in θ (one
// component fixed) and get the same enumeration in two unknowns, their edges
// in one; r = 0 is the line θ = (0, 0, 2q). On the faces K = bound the
// residual is linear in r for each q (linear::ResidualsLinearInR): r is
// enumerated exactly and q searched on a grid refined by golden section, so
// there, and only there, the minimum is found by search rather than proof.
// Pella-Tomlinson adds a one-dimensional search over p: a grid over the
// bounds of p, refined by golden section around the best grid points.
//
// Values here are those of the linear form (equal to the objective up to
// rounding); the caller evaluates the returned points with the objective
// itself. When the vertices are too many for the work limit (long series,
// many exponents), a deterministic sample of them is taken and Complete is
// false.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/catch_effort_series.h"
#include "estimation/linear_form.h"
#include "estimation/search_engine.h"
#include "model/kinds.h"

namespace tarvik::estimation {

struct MedianMinimum {
  // The lowest distinct points found, best first, each within the bounds
  // with the objective of the linear form there; empty when no candidate
  // lies within the bounds.
  std::vector<linear::Candidate> Best;
  // Every vertex was visited (no sampling).
  bool Complete = true;
  std::uint64_t Vertices = 0;  // candidate points evaluated
};

// The minimum of the trimmed mean absolute residual of `kind` on the series
// with keep count `keepCount` (1 … N) within `bounds` (clamped as the search
// clamps: a bound pair whose minimum is not below its maximum fixes the value
// at the maximum). `exponent` is the p of Schaefer and Fox (unused by their
// objective); Pella-Tomlinson searches p within MinP … MaxP. Never raises: a
// series of fewer than 3 years or a keep count outside 1 … N gives an empty
// result.
MedianMinimum FindMedianMinimum(const data::CatchEffortSeries& series,
                                model::ProductionModelKind kind, const ParameterBounds& bounds,
                                std::uint8_t keepCount, double exponent);

}  // namespace tarvik::estimation
