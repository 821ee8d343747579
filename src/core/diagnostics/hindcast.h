#pragma once

// Hindcast skill of a fitted variant: the last 1 … 5 years are peeled off in
// turn, the variant refitted on what is left and the first peeled year's
// CPUE predicted one year ahead; the mean absolute scaled error (MASE)
// compares those predictions with the naive one, "CPUE as last year".

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "data/catch_effort_series.h"
#include "estimation/search_engine.h"
#include "model/model_fit.h"

namespace tarvik::diagnostics {

// One peel h: the fit on years 0 … T − 1 (T = n − h) and the prediction of
// year T. The two-year difference model predicts from the observed CPUE of
// the two years before and the catch of the year before:
//   Û[T] = U[T−2] + (r·g)·S − (2q)·C[T−1],  S = U[T−1] + U[T−2],
//   g = ProductionShape(S/(2q), K, p),
// the step of the model's residuals (model::CpueResiduals), with the refit's
// r, K, q, p. The naive prediction is U[T−1].
struct HindcastPeel {
  int Peel = 0;                      // h = 1 … 5
  int Year = 0;                      // the predicted year (FirstYear + T)
  estimation::ParameterPoint Point;  // the refit
  double Observed = 0.0;
  double Predicted = 0.0;
  double Naive = 0.0;
};

// MASE = mean |U[T] − Û[T]| / mean |U[T] − U[T−1]| over the peels; below 1
// the model predicts better than the naive guess.
struct Hindcast {
  bool Assessable = false;
  std::string Reason;  // why not, in Russian
  std::vector<HindcastPeel> Peels;
  double Mase = 0.0;
};

// The hindcast of `fit` on `series` (the series it was fitted to, with the
// search's bounds and keep count). Each peel is refitted from the fit's own
// point by the refinement's local optimiser (estimation::RefitLocally: the
// random stream is not used), with the keep count scaled to the shorter
// series, Round(keep · N′/N), at least 1. Peels stop at `maxPeels` or where
// the shortened series would have fewer years than the variant needs
// (FewestYears). Not assessable, with the reason, when no peel is possible,
// a refit fails, a prediction is not finite, or the CPUE did not change
// between any predicted year and the year before. Never raises.
Hindcast RunHindcast(const data::CatchEffortSeries& series, const model::ModelFit& fit,
                     const estimation::ParameterBounds& bounds, std::uint8_t keepCount,
                     int maxPeels = 5);

// What every estimator's hindcast shares: peels h = 1 … min(maxPeels,
// n − fewest) (not assessable when there is none), each on the series
// without its last h years; `refit(shorter, T, year, peel)` refits on
// `shorter` and sets peel.Point and peel.Predicted (Û of year T), or returns
// why it could not (then not assessable, with that reason); a prediction
// that is not finite, or CPUE that never changed, is not assessable either.
using PeelRefit = std::function<std::string(const data::CatchEffortSeries& shorter, std::size_t T,
                                            const std::string& year, HindcastPeel& peel)>;
Hindcast HindcastByPeels(const data::CatchEffortSeries& series, std::size_t fewest, int maxPeels,
                         const PeelRefit& refit);

}  // namespace tarvik::diagnostics
