#pragma once

// The uncertainty of a state-space fit from the model itself: draws of
// (θ, u_n, u_{n+1}) from the normal approximation of the Laplace fit
// (estimation::StateSpaceFit::JointMean and JointCovariance), each turned
// into a replicate as a bootstrap replicate is: r, K, q (and p, φ) from θ,
// the reference points by the program's formulas, B_last = K·e^{u_n} (the
// biomass at the start of the last data year, as the observation-error
// estimator reports it) and F_last = C_last/B_last.
//
// Draws are standard normals z (the polar method on the replicate's own
// stream, ReplicateRandom(seed, k, kStateSpaceDrawStream), never the
// procedure's model::RandomSource) mapped by the lower Cholesky factor of
// the covariance: x = mean + L·z. The result is the same bits on every run.

#include <cstdint>

#include "data/catch_effort_series.h"
#include "estimation/state_space.h"
#include "uncertainty/bootstrap.h"

namespace tarvik::uncertainty {

// The purpose of the draws' streams (see ReplicateRandom).
inline constexpr std::uint64_t kStateSpaceDrawStream = 0x7373647261777321ull;  // "ssdraws!"

// A standard normal from `random` (the polar method; two uniforms per
// attempt, the second value of a pair is not kept).
double StandardNormal(ReplicateRandom& random);

// options.Replicates draws of `fit` (made on `series`) at options.Level,
// summarised as a bootstrap is (Method StateSpace). Raises tarvik::Error for
// options BootstrapProcedure refuses, a fit made on another series, a fit
// without its normal approximation (its Hessian is not positive definite),
// and a point estimate without positive reference points.
BootstrapResult DrawStateSpace(const data::CatchEffortSeries& series,
                               const estimation::StateSpaceFit& fit,
                               const BootstrapOptions& options);

}  // namespace tarvik::uncertainty
