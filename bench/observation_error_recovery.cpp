// Recovery study of the observation-error estimator, run on demand (not a
// test): 100 series of 30 years from the Schaefer model's own yearly balance
// (r = 0.4, K = 1000, q = 0.002, B₁ = K) with exact catch and lognormal CPUE
// error (σ = 0.15). The harvest rate rises from 0.05 to 0.45 over 18 years,
// above FMSY = 0.2, so the stock is fished down, and is then cut to 0.12,
// so it recovers a little; each year's rate carries its own lognormal
// deviate (0.1) so that every series has a catch history of its own. Each
// kind is fitted within the bounds the estimation page starts with (r 0 … 1,
// K from the largest catch to 100 times it), B₁ = K; Schaefer also with B₁/K
// estimated. Prints, per fit, the median of the relative errors (bias) and
// of their absolute values for r, K and MSY.
//
// Run: build/bench/observation_error_recovery [seed]

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <random>
#include <string>
#include <vector>

#include "common/error.h"
#include "estimation/observation_error.h"
#include "simulated_fishery.h"

namespace {

using namespace tarvik;
using model::ProductionModelKind;

constexpr int kSeries = 100;
constexpr int kYears = 30;
constexpr double kR = 0.4, kK = 1000.0, kQ = 0.002, kSigma = 0.15;
constexpr double kMsy = kR * kK / 4.0;

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t m = v.size() / 2;
  return v.size() % 2 == 1 ? v[m] : 0.5 * (v[m - 1] + v[m]);
}

struct Study {
  const char* Name = "";
  ProductionModelKind Kind = ProductionModelKind::Schaefer;
  bool EstimateB1 = false;
  std::vector<double> R, K, Msy;
  int Converged = 0, OnBounds = 0, Failed = 0;
};

void PrintRow(const char* what, const std::vector<double>& relative) {
  std::vector<double> absolute(relative.size());
  std::transform(relative.begin(), relative.end(), absolute.begin(),
                 [](double e) { return std::fabs(e); });
  std::printf("    %-4s median relative error %+7.2f %%, median |relative error| %6.2f %%\n", what,
              100.0 * Median(relative), 100.0 * Median(absolute));
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t seed = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 20210521u;
  std::mt19937_64 generator(seed);
  std::vector<Study> studies(4);
  studies[0] = {"Schaefer, B1 = K", ProductionModelKind::Schaefer, false, {}, {}, {}};
  studies[1] = {"Schaefer, B1/K estimated", ProductionModelKind::Schaefer, true, {}, {}, {}};
  studies[2] = {"Fox, B1 = K", ProductionModelKind::Fox, false, {}, {}, {}};
  studies[3] = {"Pella-Tomlinson, B1 = K", ProductionModelKind::PellaTomlinson, false, {}, {}, {}};
  for (int i = 0; i < kSeries; ++i) {
    const data::CatchEffortSeries s =
        bench::SimulateObservationError(kR, kK, kQ, kSigma, generator);
    const double maxCatch = *std::max_element(s.C.begin(), s.C.end());
    for (Study& study : studies) {
      estimation::ObservationErrorOptions options;
      options.EstimateB1 = study.EstimateB1;
      options.Bounds.MinR = 0.0;
      options.Bounds.MaxR = 1.0;
      options.Bounds.MinK = maxCatch;
      options.Bounds.MaxK = 100.0 * maxCatch;
      try {
        const estimation::ObservationErrorFit fit =
            estimation::FitObservationError(s, study.Kind, options);
        study.R.push_back(fit.R / kR - 1.0);
        study.K.push_back(fit.K / kK - 1.0);
        study.Msy.push_back(fit.MSY / kMsy - 1.0);
        study.Converged += fit.Converged ? 1 : 0;
        study.OnBounds += fit.AtBounds.empty() ? 0 : 1;
      } catch (const Error& e) {
        ++study.Failed;
        std::printf("series %d, %s: %s\n", i, study.Name, e.what());
      }
    }
  }
  std::printf(
      "%d series of %d years, Schaefer r = %g, K = %g, q = %g, MSY = %g, CPUE sigma = %g, "
      "seed %llu\n",
      kSeries, kYears, kR, kK, kQ, kMsy, kSigma, static_cast<unsigned long long>(seed));
  for (const Study& study : studies) {
    std::printf("  %s: %zu fitted, %d converged, %d with a parameter on a bound, %d failed\n",
                study.Name, study.Msy.size(), study.Converged, study.OnBounds, study.Failed);
    PrintRow("r", study.R);
    PrintRow("K", study.K);
    PrintRow("MSY", study.Msy);
  }
  return 0;
}
