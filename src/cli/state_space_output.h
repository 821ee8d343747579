#pragma once

#include <array>
#include <string>

#include "cli/json_output.h"
#include "estimation/search_engine.h"
#include "estimation/state_space.h"

namespace tarvik::cli {

struct EstimateOptions;

// The options of the state-space estimator from --b1k (an unknown value
// raises tarvik::Error naming the option); the observation-error fit that
// starts it is bounded by r and K of `bounds`.
estimation::StateSpaceOptions MakeStateSpaceOptions(const EstimateOptions& options,
                                                    const estimation::ParameterBounds& bounds);

// One state-space fit as JSON: r, K, q, p (null but for Pella-Tomlinson),
// b1k, sigma_p, sigma_o, msy, bmsy, fmsy, b_next, b_next_bmsy, f_last_fmsy,
// each {estimate, se_log, interval: [low, high]} (se_log and interval null
// when not estimated or not available), then nll, n, level, converged,
// max_gradient, hessian_pd, osa_residuals and their tests (runs,
// shapiro_wilk, ljung_box: p-values, null when not assessable).
Json StateSpaceFitJson(const estimation::StateSpaceFit& fit);
// The fits of the three kinds as {schaefer, fox, pella_tomlinson}.
Json StateSpaceJson(const std::array<estimation::StateSpaceFit, 3>& fits);

// The readable table of the three fits, under its title, ended by a line
// break.
std::string StateSpaceText(const std::array<estimation::StateSpaceFit, 3>& fits);

}  // namespace tarvik::cli
