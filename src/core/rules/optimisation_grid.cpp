#include "rules/optimisation_grid.h"

#include "common/numbers.h"

namespace tarvik::rules {

namespace {

std::vector<double> RepeatedAddition(double start, double step, int count) {
  std::vector<double> values;
  values.reserve(static_cast<std::size_t>(count));
  double value = start;
  for (int i = 0; i < count; ++i) {
    values.push_back(value);
    value = value + step;
  }
  return values;
}

}  // namespace

void TrackBest(BestPoints& best, const CandidateIndicators& candidate, double alpha, double beta) {
  if (candidate.MeanCatch > best.BestCatch) {
    best.BestCatch = candidate.MeanCatch;
    best.BestCatchAlpha = alpha;
    best.BestCatchBeta = beta;
  }
  if (candidate.MeanBiomass > best.BestBiomass) {
    best.BestBiomass = candidate.MeanBiomass;
    best.BestBiomassAlpha = alpha;
    best.BestBiomassBeta = beta;
  }
  if (candidate.CatchVariability < best.LeastVariability) {
    best.LeastVariability = candidate.CatchVariability;
    best.LeastVariabilityAlpha = alpha;
    best.LeastVariabilityBeta = beta;
  }
  if (candidate.RiskBelowMean < best.LeastRisk) {
    best.LeastRisk = candidate.RiskBelowMean;
    best.LeastRiskAlpha = alpha;
    best.LeastRiskBeta = beta;
  }
}

std::vector<double> PiecewiseLinearAlphas() {
  return RepeatedAddition(-1.0, 0.04, 51);
}
std::vector<double> LogisticAlphas() {
  return RepeatedAddition(1.0, 0.2, 51);
}
std::vector<double> LogisticBetas() {
  return RepeatedAddition(0.0, 0.02, 51);
}

double IndicatorValue(const CandidateIndicators& candidate, Indicator indicator) {
  switch (indicator) {
    case Indicator::MeanCatch:
      return candidate.MeanCatch;
    case Indicator::MeanBiomass:
      return candidate.MeanBiomass;
    case Indicator::CatchVariability:
      return candidate.CatchVariability;
    case Indicator::RiskBelowMean:
      return candidate.RiskBelowMean;
  }
  return candidate.MeanCatch;
}

PickTexts PickValues(const BestPoints& best, Indicator indicator, char decimalMark) {
  double alpha = best.BestCatchAlpha, beta = best.BestCatchBeta;
  switch (indicator) {
    case Indicator::MeanCatch:
      break;
    case Indicator::MeanBiomass:
      alpha = best.BestBiomassAlpha, beta = best.BestBiomassBeta;
      break;
    case Indicator::CatchVariability:
      alpha = best.LeastVariabilityAlpha, beta = best.LeastVariabilityBeta;
      break;
    case Indicator::RiskBelowMean:
      alpha = best.LeastRiskAlpha, beta = best.LeastRiskBeta;
      break;
  }
  return {FormatFixed(alpha, 2, decimalMark), FormatFixed(beta, 2, decimalMark)};
}

}  // namespace tarvik::rules
