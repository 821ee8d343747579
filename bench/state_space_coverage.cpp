// Coverage study of the state-space estimator, run on demand (not a test),
// and the files of its independent check.
//
// Series of 30 years are simulated from the estimator's own model: a
// Schaefer stock (r = 0.4, K = 1000, q = 0.01, B₁/K = 1 in the mean) with
// process error σ_p on ln B (u₁ ~ N(0, σ_p²), u_{t+1} ~ N(ln m̃_t, σ_p²)) and
// observation error σ_o = 0.15 on ln I, fished down and eased as
// bench/simulated_fishery.h does. For σ_p = 0.05, 0.1 and 0.2, 40 series each
// are fitted (Schaefer, B₁ = K), without and with the stated prior on σ_p
// (ln σ_p ~ N(ln 0.1, 1²), the estimator's default, one prior for every
// study, not the true σ_p of any), and the program counts the 90 % intervals
// of MSY and B_{n+1}/BMSY that hold the true values.
//
// Every series goes to DIR/coverage_<σ_p>_<i>.csv (columns C, I) and every
// fit to DIR/coverage_fits.csv, for bench/validation/state_space_check.R,
// which fits the same series with R's TMB. The check files: the two
// examples and one simulated series (σ_p = 0.1) as DIR/check_<name>.csv,
// the fits of the three kinds as DIR/check_fits.csv.
//
// Run: build/bench/state_space_coverage DIR [series [seed]]
//      (defaults 40, 20261209)

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "data/data_file.h"
#include "estimation/state_space.h"
#include "simulated_fishery.h"

namespace {

using namespace tarvik;
using model::ProductionModelKind;

constexpr double kR = 0.4, kK = 1000.0, kQ = 0.01, kSigmaO = 0.15;
constexpr std::array<double, 3> kSigmaP = {0.05, 0.1, 0.2};

struct Simulation {
  data::CatchEffortSeries Series;
  double BNext = 0.0;  // B_{n+1}
};

// The model's own process: ln B_{t+1}/K = ln m̃_t + σ_p ε (m̃ the smooth
// floor of B_t/K + g − C_t/K).
Simulation Simulate(double sigmaP, std::mt19937_64& generator) {
  std::normal_distribution<double> gauss(0.0, 1.0);
  Simulation sim;
  data::CatchEffortSeries& s = sim.Series;
  s.FirstYear = 1990;
  double P = std::exp(sigmaP * gauss(generator));
  for (int t = 0; t < bench::kSimulatedYears; ++t) {
    const double B = kK * P;
    const double C = bench::SimulatedHarvestRate(t, gauss(generator)) * B;
    const double U = kQ * B * std::exp(kSigmaO * gauss(generator));
    s.U.push_back(U);
    s.C.push_back(C);
    s.E.push_back(C / U);
    const double m = P + kR * P * (1.0 - P) - C / kK;
    const double x = m / estimation::kSmoothFloor;
    const double smooth = x > 30.0 ? m : estimation::kSmoothFloor * std::log1p(std::exp(x));
    P = smooth * std::exp(sigmaP * gauss(generator));
  }
  sim.BNext = kK * P;
  return sim;
}

// An element of the fit's joint covariance of (θ, u_n, u_{n+1}); 0 when
// there is none.
double JointCov(const estimation::StateSpaceFit& f, int i, int j) {
  const int m = f.ParameterCount + 2;
  if (f.JointCovariance.empty()) return 0.0;
  return f.JointCovariance[static_cast<std::size_t>(i) * m + j];
}

void WriteSeries(const std::string& path, const data::CatchEffortSeries& s) {
  std::ofstream out(path);
  out << "C,I\n";
  char line[96];
  for (std::size_t t = 0; t < s.size(); ++t) {
    std::snprintf(line, sizeof line, "%.17g,%.17g\n", s.C[t], s.U[t]);
    out << line;
  }
}

const char* KindName(ProductionModelKind kind) {
  switch (kind) {
    case ProductionModelKind::Schaefer:
      return "schaefer";
    case ProductionModelKind::Fox:
      return "fox";
    case ProductionModelKind::PellaTomlinson:
      return "pella_tomlinson";
  }
  return "";
}

// The check files: three series and the fits of every kind.
void WriteCheck(const std::string& dir, std::uint64_t seed) {
  struct Named {
    std::string Name;
    data::CatchEffortSeries Series;
  };
  std::vector<Named> series;
  for (const char* name : {"yellowfin_epo_1934_1955", "schaefer_simulated_1990_2019"}) {
    series.push_back({name, data::ReadDataFile(std::string(TARVIK_SOURCE_DIR) + "/examples/" +
                                                   name + ".txt",
                                               '.')
                                .series});
  }
  std::mt19937_64 generator(seed + 1);
  series.push_back({"simulated_sigma_p_0.1", Simulate(0.1, generator).Series});
  std::ofstream out(dir + "/check_fits.csv");
  out << "series,kind,objective,logr,logK,logq,logsdp,logsdo,logp,se_logr,se_logK,se_logq,"
         "se_logsdp,se_logsdo,se_logp,se_logMsy,se_logBnextBmsy,se_logFlastFmsy,max_gradient,"
         "milliseconds,cov_logr_unext,cov_logK_unext,cov_ulast_unext,var_unext\n";
  for (const Named& n : series) {
    WriteSeries(dir + "/check_" + n.Name + ".csv", n.Series);
    for (ProductionModelKind kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                                     ProductionModelKind::PellaTomlinson}) {
      const auto start = std::chrono::steady_clock::now();
      const estimation::StateSpaceFit f = estimation::FitStateSpace(n.Series, kind, {});
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count();
      char line[1024];
      const int m = f.ParameterCount + 2;
      const bool pt = kind == ProductionModelKind::PellaTomlinson;
      std::snprintf(line, sizeof line,
                    "%s,%s,%.12g,%.12g,%.12g,%.12g,%.12g,%.12g,%.12g,%.8g,%.8g,%.8g,%.8g,%.8g,"
                    "%.8g,%.8g,%.8g,%.8g,%.3g,%.3f,%.8g,%.8g,%.8g,%.8g\n",
                    n.Name.c_str(), KindName(kind), f.Objective, std::log(f.R.Value),
                    std::log(f.K.Value), std::log(f.Q.Value), std::log(f.SigmaP.Value),
                    std::log(f.SigmaO.Value), pt ? std::log(f.P.Value) : 0.0, f.R.SeLog,
                    f.K.SeLog, f.Q.SeLog, f.SigmaP.SeLog, f.SigmaO.SeLog, pt ? f.P.SeLog : 0.0,
                    f.MSY.SeLog, f.BNextOverBMSY.SeLog, f.FLastOverFMSY.SeLog, f.MaxGradient, ms,
                    JointCov(f, 0, m - 1), JointCov(f, 1, m - 1), JointCov(f, m - 2, m - 1),
                    JointCov(f, m - 1, m - 1));
      out << line;
    }
  }
  std::printf("Check files written to %s\n", dir.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: state_space_coverage DIR [series [seed]]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const int count = argc > 2 ? std::atoi(argv[2]) : 40;
  const std::uint64_t seed = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20261209u;
  WriteCheck(dir, seed);

  const double msyTruth = kR * kK / 4.0, bmsyTruth = kK / 2.0;
  std::ofstream fits(dir + "/coverage_fits.csv");
  fits << "sigma_p,series,prior,converged,msy,msy_low,msy_high,bb,bb_low,bb_high,bb_truth,"
          "sigma_p_hat\n";
  std::printf("Schaefer r = %g, K = %g, q = %g, σ_o = %g, %d years, %d series per σ_p, 90 %% "
              "intervals\n",
              kR, kK, kQ, kSigmaO, bench::kSimulatedYears, count);
  std::printf("%-6s %-7s %9s %12s %16s %14s %9s\n", "σ_p", "prior", "converged", "MSY held",
              "B_{n+1}/BMSY held", "median σ_p^", "ms/fit");
  for (double sigmaP : kSigmaP) {
    std::mt19937_64 generator(seed + static_cast<std::uint64_t>(std::lround(sigmaP * 1000.0)));
    std::vector<Simulation> sims;
    for (int i = 0; i < count; ++i) {
      sims.push_back(Simulate(sigmaP, generator));
      char name[64];
      std::snprintf(name, sizeof name, "/coverage_%.2f_%d.csv", sigmaP, i + 1);
      WriteSeries(dir + name, sims.back().Series);
    }
    for (bool prior : {false, true}) {
      estimation::StateSpaceOptions options;
      options.SigmaPPrior = prior;
      int converged = 0, msyHeld = 0, bbHeld = 0;
      std::vector<double> sigmas;
      const auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < count; ++i) {
        const Simulation& sim = sims[static_cast<std::size_t>(i)];
        const estimation::StateSpaceFit f =
            estimation::FitStateSpace(sim.Series, ProductionModelKind::Schaefer, options);
        const double bbTruth = sim.BNext / bmsyTruth;
        converged += f.Converged ? 1 : 0;
        msyHeld += f.MSY.HasSe && f.MSY.Lower <= msyTruth && msyTruth <= f.MSY.Upper ? 1 : 0;
        bbHeld += f.BNextOverBMSY.HasSe && f.BNextOverBMSY.Lower <= bbTruth &&
                          bbTruth <= f.BNextOverBMSY.Upper
                      ? 1
                      : 0;
        sigmas.push_back(f.SigmaP.Value);
        char line[512];
        std::snprintf(line, sizeof line, "%.2f,%d,%d,%d,%.10g,%.10g,%.10g,%.10g,%.10g,%.10g,%.10g,%.6g\n",
                      sigmaP, i + 1, prior ? 1 : 0, f.Converged ? 1 : 0, f.MSY.Value,
                      f.MSY.Lower, f.MSY.Upper, f.BNextOverBMSY.Value, f.BNextOverBMSY.Lower,
                      f.BNextOverBMSY.Upper, bbTruth, f.SigmaP.Value);
        fits << line;
      }
      const double ms =
          std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
              .count() /
          count;
      std::nth_element(sigmas.begin(), sigmas.begin() + count / 2, sigmas.end());
      std::printf("%-6.2f %-7s %6d/%d %9d/%d %13d/%d %14.4f %9.1f\n", sigmaP,
                  prior ? "ln0.1±1" : "none", converged, count, msyHeld, count, bbHeld, count,
                  sigmas[static_cast<std::size_t>(count / 2)], ms);
    }
  }
  return 0;
}
