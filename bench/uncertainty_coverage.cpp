// Coverage study of the bootstrap intervals, run on demand (not a test).
// Series of 30 years are simulated by each estimator's own model, a
// Schaefer stock with r = 0.4, q = 0.002 (FMSY 0.2, MSY = r·K/4, BMSY = K/2)
// fished down and then eased (bench/simulated_fishery.h):
//   - the procedure's objectives: the two-year difference equation with
//     additive error (sd 4 % of q·K), at K = 1000 and at K = 10⁷ (see
//     kProcedureK); the point estimate is the minimum of each objective
//     (estimation::RefineVariant, every residual kept) within the
//     estimation page's bounds (r 0 … 1, K from the largest catch to 100
//     times it, q 0.0001 … 1);
//   - the observation-error estimator: the discrete yearly balance with
//     lognormal CPUE error σ = 0.15 at K = 1000, fitted within the same r
//     and K bounds.
// For each series the 90 % bootstrap intervals of MSY, BMSY and FMSY are
// checked against the true values. Prints, per estimator, the share of
// series whose interval covers the truth, the shares missed below and
// above, the median relative width, and the failed and bounded replicates.
//
// Run: build/bench/uncertainty_coverage [replicates [series [seed [study]]]]
//      (defaults 500, 200, 20240522; `study`: run only the studies whose
//      name contains it, e.g. "median")

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "assessment/uncertainty.h"
#include "common/error.h"
#include "estimation/observation_error.h"
#include "page_fits.h"
#include "simulated_fishery.h"
#include "uncertainty/bootstrap.h"

namespace {

using namespace tarvik;
using model::ObjectiveKind;
using model::ProductionModelKind;
using uncertainty::Quantity;

constexpr double kR = 0.4, kQ = 0.002;
// K of the observation-error study and the two of the procedure's: CPUE
// near 2 at K, where ln(1 + e²) ≈ e² and the log objective is nearly the
// sum of squares, and near 20000 (the scale of the yellowfin example),
// where ln(1 + e²) ≈ 2·ln|e| and it is a robust objective of its own.
constexpr double kK = 1000.0;
constexpr std::array<double, 2> kProcedureK = {1000.0, 1.0e7};
constexpr double kProcessSigmaOfQK = 0.04;
constexpr double kObservationSigma = 0.15;
constexpr std::array<Quantity, 3> kQuantities = {Quantity::Msy, Quantity::Bmsy, Quantity::Fmsy};
constexpr std::array<const char*, 3> kNames = {"MSY", "BMSY", "FMSY"};

struct Tally {
  std::string Name;
  std::array<double, 3> Truth{};  // MSY, BMSY, FMSY of the Schaefer stock
  int Series = 0;
  int FailedFits = 0;
  std::array<int, 3> Covered{}, Below{}, Above{};
  std::array<std::vector<double>, 3> Widths;
  long long FailedReplicates = 0, BoundedReplicates = 0, Replicates = 0;
  double Seconds = 0.0;

  void Count(const uncertainty::BootstrapResult& result) {
    ++Series;
    for (std::size_t i = 0; i < kQuantities.size(); ++i) {
      const uncertainty::Interval& interval = result.Of(kQuantities[i]);
      if (Truth[i] < interval.Lower) {
        ++Below[i];
      } else if (Truth[i] > interval.Upper) {
        ++Above[i];
      } else {
        ++Covered[i];
      }
      Widths[i].push_back((interval.Upper - interval.Lower) / Truth[i]);
    }
    FailedReplicates += result.Failed;
    BoundedReplicates += result.AtBounds;
    Replicates += result.ReplicateCount;
  }

  void Print() const {
    std::printf(
        "  %s: %d series (%d fits failed), %.0f s; replicates failed %.2f %%, on a bound %.2f %%\n",
        Name.c_str(), Series, FailedFits, Seconds,
        100.0 * static_cast<double>(FailedReplicates) / std::max(1LL, Replicates),
        100.0 * static_cast<double>(BoundedReplicates) / std::max(1LL, Replicates));
    for (std::size_t i = 0; i < kQuantities.size(); ++i) {
      std::vector<double> w = Widths[i];
      std::sort(w.begin(), w.end());
      const double median = w.empty() ? 0.0 : w[w.size() / 2];
      const double n = std::max(1, Series);
      std::printf(
          "    %-5s coverage %5.1f %%  (truth below the interval %4.1f %%, above %4.1f %%), "
          "median width %5.1f %% of the truth\n",
          kNames[i], 100.0 * Covered[i] / n, 100.0 * Below[i] / n, 100.0 * Above[i] / n,
          100.0 * median);
    }
  }
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  uncertainty::BootstrapOptions options;
  options.Replicates = argc > 1 ? std::atoi(argv[1]) : 500;
  const int seriesCount = argc > 2 ? std::atoi(argv[2]) : 200;
  const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20240522u;
  const std::string only = argc > 4 ? argv[4] : "";
  const auto chosen = [&](const Tally& t) { return t.Name.find(only) != std::string::npos; };
  options.Level = 90;
  options.Threads = 0;

  const std::array<ObjectiveKind, 3> objectives = {
      ObjectiveKind::SumOfSquares, ObjectiveKind::LogSumOfSquares, ObjectiveKind::Median};
  const std::array<const char*, 3> objectiveNames = {"sum of squares", "log sum of squares",
                                                     "median"};
  const auto truth = [](double K) {
    return std::array<double, 3>{kR * K / 4.0, K / 2.0, kR / 2.0};
  };
  std::vector<Tally> procedure;
  Tally observation;
  observation.Name = "observation error";
  observation.Truth = truth(kK);

  std::mt19937_64 generator(seed);
  int rejected = 0;
  for (double K : kProcedureK) {
    const std::size_t first = procedure.size();
    for (std::size_t o = 0; o < 3; ++o) {
      Tally t;
      t.Name = std::string("procedure, K = ") + std::to_string(static_cast<long long>(K)) + ", " +
               objectiveNames[o];
      t.Truth = truth(K);
      procedure.push_back(t);
    }
    for (int i = 0; i < seriesCount; ++i) {
      std::optional<data::CatchEffortSeries> s;
      while (!(s = bench::SimulateDifferenceEquation(kR, K, kQ, kProcessSigmaOfQK * kQ * K,
                                                     generator))) {
        ++rejected;
      }
      const estimation::ParameterBounds bounds = bench::PageBounds(*s);
      const auto keep = static_cast<std::uint8_t>(s->size() - 2);
      for (std::size_t o = 0; o < 3; ++o) {
        Tally& tally = procedure[first + o];
        if (!chosen(tally)) continue;
        const auto start = std::chrono::steady_clock::now();
        try {
          const model::ModelFit fit =
              bench::VariantMinimum(*s, ProductionModelKind::Schaefer, objectives[o], bounds, keep);
          options.Seed = seed + static_cast<std::uint64_t>(i);
          tally.Count(uncertainty::BootstrapProcedure(*s, fit, bounds, keep, options));
        } catch (const Error& e) {
          ++tally.FailedFits;
          std::printf("series %d, %s: %s\n", i, tally.Name.c_str(), e.what());
        }
        tally.Seconds += SecondsSince(start);
      }
    }
  }
  for (int i = 0; i < seriesCount; ++i) {
    const data::CatchEffortSeries s =
        bench::SimulateObservationError(kR, kK, kQ, kObservationSigma, generator);
    estimation::ObservationErrorOptions fitOptions;
    fitOptions.Bounds = bench::PageBounds(s);
    if (!chosen(observation)) continue;
    const auto start = std::chrono::steady_clock::now();
    try {
      const estimation::ObservationErrorFit fit =
          estimation::FitObservationError(s, ProductionModelKind::Schaefer, fitOptions);
      options.Seed = seed + static_cast<std::uint64_t>(i);
      observation.Count(uncertainty::BootstrapObservationError(s, fit, fitOptions, options));
    } catch (const Error& e) {
      ++observation.FailedFits;
      std::printf("series %d, %s: %s\n", i, observation.Name.c_str(), e.what());
    }
    observation.Seconds += SecondsSince(start);
  }

  std::printf(
      "%d series of %d years per study, Schaefer r = %g, q = %g; %d replicates, nominal 90 %%, "
      "seed %llu\n",
      seriesCount, bench::kSimulatedYears, kR, kQ, options.Replicates,
      static_cast<unsigned long long>(seed));
  std::printf(
      "  difference equation: additive error sd %g of q*K (%d series redrawn for a CPUE <= 0)\n",
      kProcessSigmaOfQK, rejected);
  for (const Tally& t : procedure) {
    if (chosen(t)) t.Print();
  }
  std::printf("  discrete model, K = %g: lognormal CPUE error sigma %g\n", kK, kObservationSigma);
  if (chosen(observation)) observation.Print();
  return 0;
}
