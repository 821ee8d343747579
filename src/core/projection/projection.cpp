#include "projection/projection.h"

#include <cmath>
#include <string>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "model/objective.h"
#include "model/production.h"
#include "refpoints/reference_points.h"
#include "rules/rule_list.h"

namespace tarvik::projection {
namespace {

constexpr int kMaxAttempts = 1000;

std::string Quoted(const model::ModelFit& fit) {
  return "«" + refpoints::VariantName(fit) + "»";
}

[[noreturn]] void ThrowDomainFault(const model::ModelFit& fit, double meanBiomass,
                                   const double* startCpue) {
  std::string message = "Прогноз для варианта " + Quoted(fit) + " невозможен: средняя биомасса ";
  message += "двух лет стала ";
  if (fit.Kind == model::ProductionModelKind::Fox) {
    message += "неположительной (" + FormatGeneral(meanBiomass) +
               "), а логарифм в модели Фокса определён только для положительной биомассы.";
  } else {
    message += "отрицательной (" + FormatGeneral(meanBiomass) +
               "), а дробная степень p = " + FormatGeneral(fit.Exponent) +
               " в модели Пелла-Томлинсона определена только для неотрицательной биомассы.";
  }
  if (startCpue != nullptr && *startCpue < 0.0) {
    message += " Модельный улов на усилие последнего года данных U0 = " +
               FormatGeneral(*startCpue) +
               " отрицателен; вероятно, параметры модели достигли границ поиска.";
  }
  throw Error(message);
}

void RequireModel(const model::ModelFit& fit) {
  if (fit.Q == 0.0) {
    throw Error("Прогноз для варианта " + Quoted(fit) +
                " невозможен: коэффициент улавливаемости q равен 0");
  }
  if (fit.K == 0.0 || (fit.Kind == model::ProductionModelKind::Fox && !(fit.K > 0.0))) {
    throw Error("Прогноз для варианта " + Quoted(fit) +
                " невозможен: ёмкость среды K должна быть положительной");
  }
}

// The noise-free part of a step, U2 + (r·S)·Shape(B̄).
inline bool StepBase(const model::ModelFit& fit, double twoQ, double U2, double U1,
                     double& base, double& meanBiomass) {
  const double S = U2 + U1;
  meanBiomass = S / twoQ;
  double shape = 0.0;
  if (!model::TryProductionShape(fit.Kind, meanBiomass, fit.K, fit.Exponent, shape)) return false;
  base = U2 + fit.R * S * shape;
  return true;
}

// The attempts of one step: the first positive value, or 0.
inline double Attempts(double base, double removal, bool addNoise, bool parametric,
                       std::span<const double> residuals, double mean, double sd,
                       model::RandomSource& random) {
  if (!addNoise) {
    const double value = base - removal;
    return value > 0.0 ? value : 0.0;
  }
  const auto m = static_cast<std::uint32_t>(residuals.size());
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    const double epsilon =
        parametric ? random.RandomGauss(mean, sd) : residuals[random.RandomInt(m)];
    const double value = base + epsilon - removal;
    if (value > 0.0) return value;
  }
  return 0.0;
}

}  // namespace

double ProjectionStep(const model::ModelFit& fit, bool addNoise,
                      std::span<const double> residuals, double U2, double U1, double Cprev,
                      bool parametric, double mean, double sd, model::RandomSource& random) {
  RequireModel(fit);
  if (addNoise && !parametric && residuals.empty()) {
    throw Error("Нет остатков модели для повторной выборки");
  }
  const double twoQ = 2.0 * fit.Q;
  double base = 0.0, meanBiomass = 0.0;
  if (!StepBase(fit, twoQ, U2, U1, base, meanBiomass)) {
    ThrowDomainFault(fit, meanBiomass, nullptr);
  }
  const double value =
      Attempts(base, twoQ * Cprev, addNoise, parametric, residuals, mean, sd, random);
  if (!std::isfinite(value)) {
    throw Error("Прогноз для варианта " + Quoted(fit) + " дал бесконечное значение");
  }
  return value;
}

StockProjection::StockProjection(const data::CatchEffortSeries& series,
                                 const rules::RuleContext& context, std::uint8_t variant,
                                 const rules::HarvestRule& rule, std::uint8_t horizon,
                                 ProcessError error)
    : rule_(rule), horizon_(horizon), error_(error) {
  if (variant >= context.Fits.size()) {
    throw Error("Вариант модели " + std::to_string(variant) + " не существует");
  }
  fit_ = context.Fits[variant];
  const std::size_t n = series.size();
  if (n < 3 || series.C.size() != n) {
    throw Error("Для прогноза нужны данные не менее чем за 3 года");
  }
  RequireModel(fit_);
  bref_ = fit_.BTarget;
  ft_ = rules::TargetFishingMortality(fit_, rule_.TargetKind, context.LastEffort);
  twoQ_ = 2.0 * fit_.Q;
  const std::size_t L = n - 1;
  lastCpue_ = series.U[L - 1];
  lastCatch_ = series.C[L];
  double base = 0.0, meanBiomass = 0.0;
  if (!StepBase(fit_, twoQ_, series.U[L - 2], series.U[L - 1], base, meanBiomass)) {
    ThrowDomainFault(fit_, meanBiomass, nullptr);
  }
  u0_ = base - twoQ_ * series.C[L - 1];
  if (!std::isfinite(u0_)) {
    throw Error("Прогноз для варианта " + Quoted(fit_) +
                " невозможен: модельный улов на усилие последнего года не является конечным");
  }
  if (error_.AddNoise) {
    residuals_ = model::CpueResiduals(series.U, series.C, fit_.Kind, fit_.R, fit_.K, fit_.Q,
                                      fit_.Exponent);
    if (error_.Parametric) {
      double sum = 0.0;
      for (double r : residuals_) sum += r;
      mean_ = sum / static_cast<double>(residuals_.size());
      double squares = 0.0;
      for (double r : residuals_) squares += (r - mean_) * (r - mean_);
      sd_ = std::sqrt(squares / static_cast<double>(residuals_.size()));
      if (!std::isfinite(mean_) || !std::isfinite(sd_)) {
        throw Error("Остатки варианта " + Quoted(fit_) + " не являются конечными числами");
      }
    }
  }
}

void StockProjection::DomainFault(double meanBiomass) const {
  ThrowDomainFault(fit_, meanBiomass, &u0_);
}

double StockProjection::Step(model::RandomSource& random, double U2, double U1,
                             double Cprev) const {
  double base = 0.0, meanBiomass = 0.0;
  if (!StepBase(fit_, twoQ_, U2, U1, base, meanBiomass)) DomainFault(meanBiomass);
  return Attempts(base, twoQ_ * Cprev, error_.AddNoise, error_.Parametric, residuals_, mean_,
                  sd_, random);
}

void StockProjection::Run(model::RandomSource& random, std::span<double> biomass,
                          std::span<double> catches, std::span<double> mortality) const {
  const bool keepMortality = !mortality.empty();
  double older = lastCpue_;  // A[i−2] (U[L−1] for the first year)
  double previous = u0_;     // A[i−1] (U0 for the first year)
  double previousCatch = lastCatch_;
  for (std::size_t i = 0; i < horizon_; ++i) {
    const double a = Step(random, older, previous, previousCatch);
    const double b = (a + previous) / twoQ_;
    const double f = rules::RuleFishingMortalityFor(rule_.Kind, bref_, ft_, b, rule_.Alpha,
                                                    rule_.Beta);
    const double c = b * f;
    if (!std::isfinite(b) || !std::isfinite(c)) {
      throw Error("Прогноз для варианта " + Quoted(fit_) + " дал бесконечное значение (год " +
                  std::to_string(i + 1) + " прогноза)");
    }
    biomass[i] = b;
    catches[i] = c;
    if (keepMortality) mortality[i] = f;
    older = previous;
    previous = a;
    previousCatch = c;
  }
}

ProjectionResult StockProjection::Run(model::RandomSource& random) const {
  ProjectionResult result;
  result.Biomass.resize(horizon_);
  result.Catch.resize(horizon_);
  result.FishingMortality.resize(horizon_);
  Run(random, result.Biomass, result.Catch, result.FishingMortality);
  return result;
}

ProjectionResult ProjectStock(const data::CatchEffortSeries& series, std::uint8_t horizon,
                              const rules::RuleContext& context, std::uint8_t modelIndex,
                              const rules::HarvestRule& rule, bool addNoise, bool parametric,
                              model::RandomSource& random) {
  const StockProjection projection(series, context, modelIndex, rule, horizon,
                                   ProcessError{addNoise, parametric});
  return projection.Run(random);
}

}  // namespace tarvik::projection
