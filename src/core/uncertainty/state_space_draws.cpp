#include "uncertainty/state_space_draws.h"

#include <Eigen/Cholesky>
#include <Eigen/Core>
#include <cmath>
#include <string>
#include <vector>

#include "common/elementary.h"
#include "common/error.h"
#include "model/kinds.h"
#include "model/model_fit.h"
#include "model/production.h"

namespace tarvik::uncertainty {
namespace {

constexpr double kTwoTo53 = 9007199254740992.0;

// Uniform in (0, 1), never 0 or 1.
double OpenUniform(ReplicateRandom& random) {
  return (static_cast<double>(random.Index(static_cast<std::size_t>(kTwoTo53))) + 0.5) / kTwoTo53;
}

// The replicate of one point x = (θ, u_n, u_{n+1}).
Replicate DescribeDraw(const data::CatchEffortSeries& series, const estimation::StateSpaceFit& fit,
                       const Eigen::VectorXd& x) {
  Replicate out;
  out.R = elementary::Exp(x(0));
  out.K = elementary::Exp(x(1));
  out.Q = elementary::Exp(x(2));
  const bool pt = fit.Kind == model::ProductionModelKind::PellaTomlinson;
  out.P = pt ? elementary::Exp(x(fit.IndexP)) : 0.0;
  out.Phi = fit.IndexPhi >= 0 ? elementary::Exp(x(fit.IndexPhi)) : 1.0;
  model::ModelFit record;
  record.Kind = fit.Kind;
  record.R = out.R;
  record.K = out.K;
  record.Q = out.Q;
  record.Exponent = out.P;
  model::ReferenceMsy(record);
  out.MSY = record.MSY;
  out.BMSY = record.BMSY;
  out.FMSY = record.FMSY;
  out.EMSY = record.EMSY;
  out.BLast = out.K * elementary::Exp(x(fit.ParameterCount));
  out.FLast = series.C.back() / out.BLast;
  out.BNext = out.K * elementary::Exp(x(fit.ParameterCount + 1));
  return out;
}

}  // namespace

double StandardNormal(ReplicateRandom& random) {
  for (;;) {
    const double v1 = 2.0 * OpenUniform(random) - 1.0;
    const double v2 = 2.0 * OpenUniform(random) - 1.0;
    const double s = v1 * v1 + v2 * v2;
    if (s > 0.0 && s < 1.0) return v1 * std::sqrt(-2.0 * elementary::Log(s) / s);
  }
}

BootstrapResult DrawStateSpace(const data::CatchEffortSeries& series,
                               const estimation::StateSpaceFit& fit,
                               const BootstrapOptions& options) {
  BootstrapResult result = PrepareBootstrap(options, Estimator::StateSpace, fit.Kind);
  const std::string where =
      "Интервалы модели пространства состояний (модель " + model::ModelName(fit.Kind) + "): ";
  const std::size_t n = series.size();
  if (n == 0 || series.C.size() != n || fit.N != static_cast<int>(n) ||
      fit.Biomass.size() != n + 1) {
    throw Error(where + "оценка относится к другому ряду");
  }
  const int m = fit.ParameterCount + 2;
  if (fit.JointMean.size() != static_cast<std::size_t>(m) ||
      fit.JointCovariance.size() != static_cast<std::size_t>(m) * m) {
    throw Error(where +
                "нормальное приближение недоступно: матрица вторых производных не положительно "
                "определена");
  }
  const Eigen::VectorXd mean = Eigen::Map<const Eigen::VectorXd>(fit.JointMean.data(), m);
  const Eigen::MatrixXd cov =
      Eigen::Map<const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(
          fit.JointCovariance.data(), m, m);
  const Eigen::LLT<Eigen::MatrixXd> llt(cov);
  if (llt.info() != Eigen::Success) {
    throw Error(where + "ковариационная матрица оценок не положительно определена");
  }
  const Eigen::MatrixXd lower = llt.matrixL();

  result.Estimate = DescribeDraw(series, fit, mean);
  // The point estimate as the fit reports it (the values a variant adopts).
  result.Estimate.R = fit.R.Value;
  result.Estimate.K = fit.K.Value;
  result.Estimate.Q = fit.Q.Value;
  if (fit.IndexP >= 0) result.Estimate.P = fit.P.Value;
  if (fit.IndexPhi >= 0) result.Estimate.Phi = fit.Phi.Value;
  result.Estimate.MSY = fit.MSY.Value;
  result.Estimate.BMSY = fit.BMSY.Value;
  result.Estimate.FMSY = fit.FMSY.Value;
  result.Estimate.BLast = fit.Biomass[n - 1].Value;
  result.Estimate.FLast = series.C.back() / result.Estimate.BLast;
  result.Estimate.BNext = fit.BNext.Value;
  try {
    RequireReplicateStatus(result.Estimate, true);
  } catch (const Error& e) {
    throw Error(where + "для точечной оценки " + e.what());
  }

  Eigen::VectorXd z(m);
  for (int k = 0; k < options.Replicates; ++k) {
    ReplicateRandom random(options.Seed, static_cast<std::uint64_t>(k), kStateSpaceDrawStream);
    for (int i = 0; i < m; ++i) z(i) = StandardNormal(random);
    const Eigen::VectorXd x = mean + lower * z;
    Replicate r = DescribeDraw(series, fit, x);
    try {
      RequireReplicateStatus(r, false);
    } catch (const Error&) {
      r.Failed = true;
    }
    result.Replicates[static_cast<std::size_t>(k)] = r;
  }
  if (options.OnProgress) options.OnProgress(options.Replicates, options.Replicates);
  if (options.Stop.stop_requested()) throw Cancelled();

  result.SigmaPPrior = fit.SigmaPPrior;
  result.SigmaPLogMean = fit.SigmaPLogMean;
  result.SigmaPLogSd = fit.SigmaPLogSd;
  SummariseBootstrap(result, fit.Kind == model::ProductionModelKind::PellaTomlinson);
  return result;
}

}  // namespace tarvik::uncertainty
