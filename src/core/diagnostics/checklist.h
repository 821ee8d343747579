#pragma once

// The acceptance checklist of a fit and its verdict. One generic builder
// takes the precomputed pieces of any fit (the procedure's variants, and
// fits by other estimators); DiagnoseVariant computes them for a variant of
// the parameter search and builds its checklist.
//
// Items, in order, and what they judge (status ok, warning, fail or not
// assessable):
//   Минимум целевой функции   the fit stopped more than 0.1 % above the
//                             minimum within its bounds: fail; a minimum of 0
//                             (the model passes through every kept residual):
//                             not assessable
//   Параметры на границах     r, K or q on a bound (kBoundTolerance), and p
//                             for estimators beyond the procedure: fail (the
//                             verdict names them: «r, K, q на границах»);
//                             another estimate on a bound: warning
//   Длина ряда                no more residuals than parameters: fail; fewer
//                             than 10 years: warning
//   Серии знаков остатков     runs test p < 0.05: warning
//   Нормальность остатков     Shapiro-Wilk p < 0.05: warning
//   Автокорреляция остатков   Ljung-Box p < 0.05: warning
//   Прогноз на год вперёд     hindcast MASE ≥ 1 (no better than "as last
//                             year"): warning
//   Устойчивость к начальной точке
//                             fewer than 80 % of the jitter refits agree:
//                             warning; one ends below the fit: fail
//   Ретроспективный анализ    Mohn's ρ outside −0.15 … 0.20 (long-lived
//                             stocks, SPiCT's guideline): warning
//   Ширина интервала MSY      upper/lower end of the MSY interval above 10
//                             (more than an order of magnitude), or the
//                             intervals truncated by a bound: fail
// A piece not given (no retrospective run, no intervals, …) makes its item
// not assessable; such items never change the verdict.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/catch_effort_series.h"
#include "diagnostics/bounds.h"
#include "diagnostics/hindcast.h"
#include "diagnostics/jitter.h"
#include "diagnostics/residual_tests.h"
#include "estimation/observation_error.h"
#include "estimation/refinement.h"
#include "estimation/state_space.h"
#include "model/model_fit.h"

namespace tarvik::diagnostics {

inline constexpr double kResidualTestLevel = 0.05;
inline constexpr std::size_t kShortSeriesYears = 10;
inline constexpr double kJitterAgreement = 0.8;
inline constexpr double kMaxMsyIntervalRatio = 10.0;

enum class CheckStatus { Ok, Warning, Fail, NotAssessable };

// "ok", "warn", "fail", "not_assessable".
const char* StatusKey(CheckStatus status);

struct CheckItem {
  std::string Name;  // «Нормальность остатков»
  CheckStatus Status = CheckStatus::NotAssessable;
  std::string Value;        // «W = 0,845, p = 0,032»
  std::string Explanation;  // one line, Russian
};

enum class Verdict { Fit, Warnings, Unfit };

struct ResidualTests {
  RunsTest Runs;
  ShapiroWilk Normality;
  LjungBox Autocorrelation;
};
ResidualTests TestResiduals(const std::vector<double>& residuals);

struct Checklist {
  std::vector<CheckItem> Items;
  ResidualTests Tests;
  Verdict Result = Verdict::Fit;
  // «Модель пригодна», «Есть предупреждения: …» naming the items with
  // warnings, «Модель непригодна: …» naming the failing ones.
  std::string VerdictText;
};

// What is known of the fit's minimum.
struct MinimumFacts {
  double FitObjective = 0.0;  // where the fit stopped
  double Minimum = 0.0;       // the lowest value found within the bounds
  bool NotConverged = false;  // the fit stopped more than 0.1 % above it
  bool Degenerate = false;    // the minimum is 0 to rounding
  bool Exact = false;         // the minimum is proven (every vertex enumerated)
};

struct ChecklistInput {
  std::size_t Years = 0;  // years of the series fitted
  int Parameters = 3;     // parameters estimated
  std::vector<int> ResidualYears;
  std::vector<double> Residuals;  // in year order
  std::string ResidualsMessage;   // why there are none (a fault of the model)
  std::optional<MinimumFacts> Minimum;
  std::string MinimumMessage;  // why there are no facts (the refinement's message)
  // Why the estimator's own minimum is not one (not converged, a Hessian
  // that is not positive definite): the item fails with it.
  std::string MinimumFailure;
  std::vector<BoundHit> AtBounds;
  // p on a bound fails as r, K and q do (estimators beyond the procedure,
  // whose range of p is not the procedure's).
  bool ExponentBoundFails = false;
  std::optional<Hindcast> HindcastSkill;
  std::optional<Jitter> JitterRuns;
  std::optional<double> MohnRho;
  std::optional<double> MsyIntervalRatio;  // upper / lower end of the MSY interval
  // Why the intervals are truncated (more than 5 % of the replicates on one
  // bound); empty when they are not.
  std::string IntervalTruncation;
  char DecimalMark = '.';
};

// The items above and the verdict. Never raises; figures that are not
// finite are never written.
Checklist BuildChecklist(const ChecklistInput& input);

struct DiagnosisOptions {
  std::optional<double> MohnRho;
  std::optional<double> MsyIntervalRatio;
  std::string IntervalTruncation;  // as ChecklistInput
  JitterOptions JitterSettings;
  int HindcastPeels = 5;
  char DecimalMark = '.';
};

// Everything the checklist of one variant rests on.
struct VariantDiagnosis {
  std::size_t Index = 0;
  std::string Label;  // «ПТ М»
  estimation::VariantRefinement Refinement;
  std::vector<int> ResidualYears;
  std::vector<double> Residuals;
  std::string ResidualsName = "Остаток улова на усилие";  // what they are, for the chart
  std::string ResidualsMessage;  // why there are none (a fault of the model)
  std::vector<BoundHit> AtBounds;
  std::optional<ProposedBounds> Proposed;  // nothing when the series allows none
  Hindcast HindcastSkill;
  Jitter JitterRuns;
  std::optional<double> MsyIntervalRatio;  // the value the checklist judged
  Checklist Items;
};

// The diagnosis of record `index` of `fits` (a fitted variant) on the
// series it was fitted to, with the search's bounds and keep count: the
// refinement (exact minimum), residuals at the record's R, K, Q, Exponent by
// year (residual k at FirstYear + k + 2), the residual tests, the bounds
// hit, the proposed bounds, the hindcast and the jitter, then the
// checklist. The records and the procedure's random stream are not changed.
// Raises tarvik::Error for an index outside `fits`.
VariantDiagnosis DiagnoseVariant(const data::CatchEffortSeries& series,
                                 const std::vector<model::ModelFit>& fits, std::size_t index,
                                 const estimation::ParameterBounds& bounds, std::uint8_t keepCount,
                                 const DiagnosisOptions& options = {});

// The diagnosis of an observation-error fit of `series` (the series it was
// fitted to, with `fitOptions`): its log residuals by year (residual k at
// FirstYear + k), the residual tests, its parameters on a bound (p fails as
// r, K and q do), the length of the series, the hindcast and the jitter
// refitted by the estimator (RunObservationErrorHindcast,
// RunObservationErrorJitter), the minimum judged by the jitter (no exact
// minimum is enumerated for this estimator: the fit fails when a start ends
// more than 0.1 % below it), Mohn's rho and the MSY interval of `options`.
// Never raises for faults of the fit.
VariantDiagnosis DiagnoseObservationError(const data::CatchEffortSeries& series,
                                          const estimation::ObservationErrorFit& fit,
                                          const estimation::ObservationErrorOptions& fitOptions,
                                          std::string label, const DiagnosisOptions& options = {});

// The diagnosis of a state-space fit of `series` (fitted with `fitOptions`):
// its one-step-ahead residuals by year (residual k at FirstYear + k), their
// tests, p and B₁/K on their bounds (p fails as r, K and q do), the length
// of the series, convergence (the optimiser stopped with a small gradient
// and a positive definite Hessian, else the minimum item fails), the
// hindcast refitted by the estimator (RunStateSpaceHindcast), the agreement
// of its own starts (StateSpaceJitter), Mohn's rho and the MSY interval of
// `options`. Never raises for faults of the fit.
VariantDiagnosis DiagnoseStateSpace(const data::CatchEffortSeries& series,
                                    const estimation::StateSpaceFit& fit,
                                    const estimation::StateSpaceOptions& fitOptions,
                                    std::string label, const DiagnosisOptions& options = {});

}  // namespace tarvik::diagnostics
