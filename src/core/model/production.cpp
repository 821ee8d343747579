#include "model/production.h"

#include <cmath>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "model/checked.h"

namespace tarvik::model {

bool TryPower(double base, double exponent, double& result) {
  if (std::trunc(exponent) == exponent && std::fabs(exponent) <= 1024.0) {
    const long n = static_cast<long>(std::fabs(exponent));
    if (n == 0) {
      result = 1.0;
      return true;
    }
    double product = base;
    for (long i = 1; i < n; ++i) product = product * base;
    if (exponent < 0.0) {
      if (product == 0.0) return false;
      product = 1.0 / product;
    }
    result = product;
    return true;
  }
  if (base < 0.0) return false;
  if (base == 0.0) {
    if (exponent < 0.0) return false;
    result = 0.0;
    return true;
  }
  result = elementary::Pow(base, exponent);
  return true;
}

namespace {

// A number of a message, in every locale the same ("не число" where it has
// no value).
std::string MessageNumber(double x) {
  if (std::isnan(x)) return "не число";
  if (std::isinf(x)) return x > 0 ? "+∞" : "−∞";
  return FormatGeneral(x);
}

}  // namespace

double Power(double base, double exponent) {
  double result = 0.0;
  if (!TryPower(base, exponent, result)) {
    throw Error("Недопустимое возведение в степень: основание " + MessageNumber(base) +
                ", показатель " + MessageNumber(exponent));
  }
  if (!std::isfinite(result) && std::isfinite(base)) {
    throw Error("Переполнение при возведении в степень");
  }
  return result;
}

double SurplusProduction(ProductionModelKind kind, double B, double r, double K, double p) {
  switch (kind) {
    case ProductionModelKind::Schaefer:
      return Divide(r, K, "расчёте продукции") * B * (K - B);
    case ProductionModelKind::Fox:
      return r * B * (Log(K, "ёмкости среды K") - Log(B, "биомассы"));
    case ProductionModelKind::PellaTomlinson:
      return r * B * (1.0 - Power(Divide(B, K, "расчёте продукции"), p));
  }
  return 0.0;
}

double ProductionShape(ProductionModelKind kind, double B, double K, double p) {
  const double x = Divide(B, K, "расчёте продукции");
  double shape = 0.0;
  const bool inDomain = TryProductionShape(kind, B, K, p, shape);
  if (!inDomain || !std::isfinite(shape)) {
    // The checked functions raise, naming what failed (an infinite shape
    // of Schaefer or Fox is returned as it is).
    if (kind == ProductionModelKind::Fox) static_cast<void>(Log(x, "относительной биомассы B/K"));
    if (kind == ProductionModelKind::PellaTomlinson) static_cast<void>(Power(x, p));
  }
  return shape;
}

double NextBiomass(ProductionModelKind kind, double B, double r, double K, double p,
                   double catchTaken) {
  return B + SurplusProduction(kind, B, r, K, p) - catchTaken;
}

double StartCpue(ProductionModelKind kind, double r, double K, double q, double p,
                 double cpueTwoBack, double cpueOneBack, double catchOneBack) {
  const double S = cpueTwoBack + cpueOneBack;
  const double twoQ = 2.0 * q;
  const double shape = ProductionShape(kind, S / twoQ, K, p);
  return cpueTwoBack + r * S * shape - twoQ * catchOneBack;
}

MsyPoint MsyPointOf(const ModelFit& fit) {
  double bmsy = 0.0;
  switch (fit.Kind) {
    case ProductionModelKind::Schaefer:
      bmsy = fit.K / 2.0;
      break;
    case ProductionModelKind::Fox:
      bmsy = fit.K / elementary::Exp(1.0);
      break;
    case ProductionModelKind::PellaTomlinson:
      bmsy = Divide(fit.K, Power(fit.Exponent + 1.0, Divide(1.0, fit.Exponent, "расчёте BMSY")),
                    "расчёте BMSY");
      break;
  }
  const double msy = SurplusProduction(fit.Kind, bmsy, fit.R, fit.K, fit.Exponent);
  return {bmsy, msy, Divide(msy, bmsy, "расчёте FMSY")};
}

void ReferenceMsy(ModelFit& fit) {
  const MsyPoint point = MsyPointOf(fit);
  fit.BMSY = point.BMSY;
  fit.MSY = point.MSY;
  fit.FMSY = point.FMSY;
  fit.EMSY = Divide(point.MSY, fit.Q * point.BMSY, "расчёте EMSY");
}

double BiomassB01(const ModelFit& fit) {
  switch (fit.Kind) {
    case ProductionModelKind::Schaefer:
      return 0.55 * fit.K;
    case ProductionModelKind::Fox:
      return fit.K / elementary::Exp(0.9);
    case ProductionModelKind::PellaTomlinson: {
      const double p = fit.Exponent;
      return fit.K *
             Power(Divide(0.1 * p + 1.0, p + 1.0, "расчёте B0.1"), Divide(1.0, p, "расчёте B0.1"));
    }
  }
  return 0.0;
}

std::string ModelName(ProductionModelKind kind) {
  switch (kind) {
    case ProductionModelKind::Schaefer:
      return "Шефера";
    case ProductionModelKind::Fox:
      return "Фокса";
    case ProductionModelKind::PellaTomlinson:
      return "Пелла-Томлинсона";
  }
  return "";
}

std::string ObjectiveName(ObjectiveKind objective) {
  switch (objective) {
    case ObjectiveKind::SumOfSquares:
      return " Сумма квадратов";
    case ObjectiveKind::LogSumOfSquares:
      return " Лог. сумма кв.";
    case ObjectiveKind::Median:
      return " Медианная";
  }
  return "";
}

}  // namespace tarvik::model
