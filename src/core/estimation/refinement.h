#pragma once

// Convergence check of the parameter search: for each fitted variant the
// lowest value of its objective within the bounds of the run, compared with
// where the random search stopped. The sum-of-squares and log objectives
// get it by local optimisation from many starting points; the median
// objective, at any trimming, from the vertices of its piecewise-linear form
// (estimation/median_minimum.h), polished by the same local optimisation. Pure functions of the
// series, the records, the bounds and the keep count: the random stream and the records are left
// alone, except by AdoptRefinement, which the user asks for.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/catch_effort_series.h"
#include "estimation/estimation_view.h"
#include "estimation/parameter_search.h"
#include "estimation/search_engine.h"
#include "model/model_fit.h"

namespace tarvik::estimation {

// A search value more than this fraction above the refined minimum is
// reported as not converged (0.1 %).
inline constexpr double kConvergenceTolerance = 0.001;

// The refinement of one variant.
struct VariantRefinement {
  std::size_t Index = 0;  // ModelFits index
  std::string Label;      // "Шефер Лог", as the model-choice list names it
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  // False when no point within the bounds has a finite objective (every
  // trial raised); Message then says why, and the figures below are those of
  // the search.
  bool Available = false;
  std::string Message;

  // Where the search stopped: the record's R, K, Q, Exponent and ObjectiveValue.
  ParameterPoint SearchPoint;
  double SearchObjective = 0.0;

  // The lowest objective found within the bounds and its point (r, K, q and,
  // for Pella-Tomlinson, p in MinP … MaxP; for the other models p is the
  // record's Exponent, which their objective ignores). Objective is
  // model::EvaluateObjective at Point, bit for bit.
  ParameterPoint Point;
  double Objective = 0.0;

  // SearchObjective − Objective (≥ 0 whenever the search's point lies within
  // the bounds) and, when Objective > 0, Gap / Objective.
  double Gap = 0.0;
  std::optional<double> RelativeGap;
  // The search stopped more than 0.1 % above the minimum (and above it by
  // more than rounding on a perfect fit).
  bool NotConverged = false;
  // The minimum is 0 to rounding (at most 10⁻¹² of the largest CPUE): the
  // model passes through every kept residual, as with no more residuals
  // than parameters, and the relative gap says nothing; a convergence mark
  // is then not assessable.
  bool Degenerate = false;

  std::uint64_t Evaluations = 0;  // objective evaluations spent
  // The median objective: the minimum comes from every vertex of its
  // piecewise-linear form within the bounds (estimation/median_minimum.h),
  // not from a sample of them.
  bool Enumerated = false;

  // Display texts (decimal mark of the request; DescribeRefinement):
  VariantRow Row;        // the refined values as the results panel writes them
  std::string GapText;   // "17.076 (7.32 %)" or "0.000 (0.00 %)"
  std::string Tooltip;   // for the variant's L field: minimum, its point, the gap
  std::string MemoLine;  // one line for the memo
};

struct RefinementReport {
  std::vector<VariantRefinement> Variants;  // in ActiveVariants order
  bool AnyNotConverged = false;
  // The memo's lines: a heading, then one line per variant.
  std::vector<std::string> MemoLines;
};

// Refines the record `index` of `fits` on the series: the lowest value of
// its objective (keep count `keepCount`, the one of the search) within
// `bounds` (the bounds of the search's trial points: r, K, q and, for
// Pella-Tomlinson, p; a bound pair whose minimum is not below its maximum
// fixes the value at the maximum, as the search's clamping does). Faults of
// single trial points only make those points unusable. Raises tarvik::Error
// for an index outside the array.
VariantRefinement RefineVariant(const data::CatchEffortSeries& series,
                                const std::vector<model::ModelFit>& fits, std::size_t index,
                                const ParameterBounds& bounds, std::uint8_t keepCount,
                                char decimalMark = '.');

// A local refit: the refinement's local optimiser (subplex, re-centred
// rounds) from `start` clamped to `bounds`, without the starting points of
// RefineVariant, for the model, objective and (for Schaefer and Fox)
// exponent of `fit`, on `series` with keep count `keepCount`. Deterministic,
// and the search's random stream is not used. Objective is the objective at
// Point, bit for bit (model::EvaluateObjective when no response is shifted).
// Faults of single points only make those points unusable; nothing raises:
// when no point could be evaluated, Available is false and Message says why.
struct LocalRefitOptions {
  // Empty, or n − 2 values added to the observed CPUE of each residual: the
  // series of a fixed-design bootstrap replicate (see ObjectiveEvaluator).
  std::span<const double> ResponseShift;
  // With StartRows ≥ 3 the exact solutions of the linear form (at the
  // start's exponent) through every three of the StartRows rows that the
  // start fits best compete with `start`, and the optimiser descends from
  // the best three: the log and median objectives have their deep minima
  // where the fit passes through three rows, which a descent from one point
  // does not reach.
  std::size_t StartRows = 0;
  // For intervals (the bootstrap's thousand refits) rather than for the
  // exact minimum: many times faster, and like the default a local minimum
  // (on bootstrap replicates mostly the same one, sometimes a lower one,
  // seldom a higher one):
  //  - the objective through the linear form (linear::FormObjective, the
  //    same up to rounding, so is Objective);
  //  - from each start, at its exponent, iteratively reweighted least
  //    squares of the linear form, taken when within the bounds and every
  //    residual is kept; otherwise the optimiser goes on from it, with
  //    positions to 10⁻⁷ of its first step and no fine round;
  //  - Pella-Tomlinson with p free and every residual kept: p by a
  //    one-dimensional search over its bounds for the lowest of the minima
  //    over r, K and q at fixed p, from each distinct minimum at the start's
  //    exponent (with residuals trimmed the optimiser moves p with them).
  bool ForIntervals = false;
};
struct LocalRefit {
  bool Available = false;  // some point had a finite objective
  std::string Message;     // why not, when not Available
  ParameterPoint Point;    // the lowest point found, within the bounds
  double Objective = 0.0;
  std::uint64_t Evaluations = 0;
};
LocalRefit RefitLocally(const data::CatchEffortSeries& series, const model::ModelFit& fit,
                        const ParameterPoint& start, const ParameterBounds& bounds,
                        std::uint8_t keepCount, const LocalRefitOptions& options = {});

}  // namespace tarvik::estimation
