#pragma once

#include <string>
#include <vector>

#include "common/point.h"

namespace tarvik::rules {

// The four performance indicators of one candidate rule, from its stochastic
// projections (runs k, years y, N = runs · horizon).
struct CandidateIndicators {
  double MeanCatch = 0.0;         // Σk Σy Catch / N
  double MeanBiomass = 0.0;       // Σk Σy Biomass / N
  double CatchVariability = 0.0;  // (1/runs) · Σk sd of run k's catches (divisor horizon)
  double RiskBelowMean = 0.0;     // share of (k, y) with Biomass < mean observed biomass
  bool operator==(const CandidateIndicators&) const = default;
};

// The best candidate for each indicator, with the start values every sweep
// begins from. Candidates replace a value only when strictly better, so ties
// keep the earlier candidate; a piecewise-linear sweep leaves the betas at 0.
struct BestPoints {
  double BestCatch = 0.0, BestCatchAlpha = 0.0, BestCatchBeta = 0.0;
  double BestBiomass = 0.0, BestBiomassAlpha = 0.0, BestBiomassBeta = 0.0;
  double LeastVariability = 1000000.0, LeastVariabilityAlpha = 0.0, LeastVariabilityBeta = 0.0;
  double LeastRisk = 2.0, LeastRiskAlpha = 0.0, LeastRiskBeta = 0.0;
  bool operator==(const BestPoints&) const = default;
};

// Best tracking after one candidate (alpha, beta = its parameters).
void TrackBest(BestPoints& best, const CandidateIndicators& candidate, double alpha, double beta);

// The 51 alphas of the piecewise-linear sweep: −1.0, then 0.04 added
// repeatedly (nominally −1.00 … 1.00).
std::vector<double> PiecewiseLinearAlphas();
// The 51 alphas of the logistic sweep: 1.0, then 0.2 added repeatedly
// (nominally 1.0 … 11.0).
std::vector<double> LogisticAlphas();
// The 51 betas of the logistic sweep and of the matrix header: 0, then 0.02
// added repeatedly (nominally 0.00 … 1.00).
std::vector<double> LogisticBetas();

// Which indicator a chart or picture shows (and which best point a click on
// it picks after a sweep).
enum class Indicator { MeanCatch = 0, MeanBiomass = 1, CatchVariability = 2, RiskBelowMean = 3 };

double IndicatorValue(const CandidateIndicators& candidate, Indicator indicator);

// The editor texts of a pick: alpha and beta of the indicator's best point,
// formatted "0.00" with the decimal mark.
struct PickTexts {
  std::string Alpha;
  std::string Beta;
};
PickTexts PickValues(const BestPoints& best, Indicator indicator, char decimalMark = '.');

}  // namespace tarvik::rules
