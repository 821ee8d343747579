#pragma once

// The hindcast and the jitter of fits by the estimators beyond the procedure
// (observation error, state space), each refitted by the estimator that made
// the values, so that their checklists judge what the procedure's judges.

#include "data/catch_effort_series.h"
#include "diagnostics/hindcast.h"
#include "diagnostics/jitter.h"
#include "estimation/observation_error.h"
#include "estimation/state_space.h"

namespace tarvik::diagnostics {

// The last 1 … maxPeels years are peeled off in turn; the fit on years
// 0 … T − 1 is refitted from the fit's own point within `options`, and year
// T is predicted one year ahead by its balance, Û[T] = q̂′·B′_T with
// B′_T = B′_{T−1} + P(B′_{T−1}) − C_{T−1}; the naive prediction is U[T−1].
// Peels stop where the shorter series could not carry the fit's parameters.
// Not assessable, with the reason, as RunHindcast. Never raises.
Hindcast RunObservationErrorHindcast(const data::CatchEffortSeries& series,
                                     const estimation::ObservationErrorFit& fit,
                                     const estimation::ObservationErrorOptions& options,
                                     int maxPeels = 5);

// `jitter.Starts` starts drawn from the jitter's own generator over the
// estimator's bounds (r, K and p on the log scale, φ when estimated), in
// the order r, K, p, φ per start (Start.q is 0: q has a closed form), each
// refitted by RefitObservationError; the objective is the RSS. Never raises.
Jitter RunObservationErrorJitter(const data::CatchEffortSeries& series,
                                 const estimation::ObservationErrorFit& fit,
                                 const estimation::ObservationErrorOptions& options,
                                 const JitterOptions& jitter = {});

// The state-space hindcast: each peel refitted by FitStateSpace with
// `options` on years 0 … T − 1 and year T predicted as q̂′·B̂′_{T}, the
// refit's biomass at the start of the year after its data (BNext). Not
// assessable as RunHindcast. Never raises.
Hindcast RunStateSpaceHindcast(const data::CatchEffortSeries& series,
                               const estimation::StateSpaceFit& fit,
                               const estimation::StateSpaceOptions& options, int maxPeels = 5);

// The state-space jitter: the estimator's own starts (StartObjectives), which
// agree when they end within kJitterTolerance of the lowest; the fit is the
// best of them. Not assessable without starts.
Jitter StateSpaceJitter(const estimation::StateSpaceFit& fit);

}  // namespace tarvik::diagnostics
