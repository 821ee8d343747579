#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include "assessment/search.h"
#include "assessment/session.h"
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

// What --estimator state-space did to the chosen variant.
struct AdoptedStateSpace {
  std::string Label;  // the chosen variant's
  estimation::StateSpaceFit Fit;
  bool Adopted = false;
  std::string Message;  // why not, when not adopted
};

// With --estimator state-space: fits the state-space models on the analysis
// series (the first start within the bounds of the last search `last`) and
// adopts the fit of the chosen variant's kind when it can
// (estimation::AdoptStateSpace); nothing with another estimator.
std::optional<AdoptedStateSpace> AdoptStateSpaceOfChosen(Session& session,
                                                         const estimation::EstimationOutcome& last,
                                                         std::size_t variant,
                                                         const EstimateOptions& options);

// The adoption as JSON: StateSpaceFitJson with label, adopted (and message
// when not adopted).
Json AdoptedStateSpaceJson(const AdoptedStateSpace& adopted);
// Its line of the readable report (ended by a line break): the values taken,
// or why not.
std::string AdoptedStateSpaceText(const AdoptedStateSpace& adopted);

}  // namespace tarvik::cli
