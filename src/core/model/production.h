#pragma once

#include "common/elementary.h"
#include "model/kinds.h"
#include "model/model_fit.h"

namespace tarvik::model {

// base^exponent as used by every formula of the program: an exponent with an
// integral value is computed by repeated multiplication from the left
// (x·x·…·x; a negative one as 1 / that product), any other exponent with
// std::pow. 0 to a positive power is 0. A negative base with a fractional
// exponent, or 0 to a negative power, raises tarvik::Error.
double Power(double base, double exponent);

// As Power, but reports an invalid power by returning false instead of raising.
bool TryPower(double base, double exponent, double& result);

// Surplus production per year at biomass B:
//   Schaefer        (r / K) · B · (K − B)
//   Fox             r · B · (ln K − ln B)
//   Pella-Tomlinson r · B · (1 − (B/K)^p)
// p is read for Pella-Tomlinson only. Raises tarvik::Error on K = 0 and, for
// Fox, on a non-positive K or B.
double SurplusProduction(ProductionModelKind kind, double B, double r, double K, double p);

// Surplus production per unit biomass divided by r, with x = B / K:
// Schaefer 1 − x; Fox −ln x; Pella-Tomlinson 1 − x^p. Raises tarvik::Error
// on K = 0, outside the domain (below) and on an overflow of x^p.
double ProductionShape(ProductionModelKind kind, double B, double K, double p);

// ProductionShape for a caller that words the failure itself: false when B
// lies outside the model's domain (Fox needs B/K > 0, a fractional
// Pella-Tomlinson exponent B/K ≥ 0); `shape` is then not set. K must not be
// 0; an overflow gives an infinite shape. Inline: the projections call it
// in every step.
inline bool TryProductionShape(ProductionModelKind kind, double B, double K, double p,
                               double& shape) {
  const double x = B / K;
  switch (kind) {
    case ProductionModelKind::Schaefer:
      shape = 1.0 - x;
      return true;
    case ProductionModelKind::Fox:
      if (!(x > 0.0)) return false;
      shape = -elementary::Log(x);
      return true;
    case ProductionModelKind::PellaTomlinson: {
      double power = 0.0;
      if (!TryPower(x, p, power)) return false;
      shape = 1.0 - power;
      return true;
    }
  }
  shape = 0.0;
  return true;
}

// The biomass balance of one year: B + P(B) − C, the biomass of the next
// year from this year's biomass B and catch C (SurplusProduction, which
// raises as it says). The next biomass may be negative.
double NextBiomass(ProductionModelKind kind, double B, double r, double K, double p,
                   double catchTaken);

// U0, the model CPUE of the last data year L from the two years before it,
// where every projection of a variant starts (the forecast, the bootstrap's
// last-year biomass U0/q, the decision table):
//   U0 = U[L−2] + (r·S)·ProductionShape(S/(2q)) − (2q)·C[L−1],
//   S = U[L−2] + U[L−1],
// in that order of operations. Raises as ProductionShape.
double StartCpue(ProductionModelKind kind, double r, double K, double q, double p,
                 double cpueTwoBack, double cpueOneBack, double catchOneBack);

// The MSY point of a record from its Kind, R, K and Exponent:
//   BMSY  Schaefer K/2, Fox K/e, Pella-Tomlinson K/(p+1)^(1/p)
//   MSY   SurplusProduction(BMSY);  FMSY = MSY / BMSY.
struct MsyPoint {
  double BMSY = 0.0;
  double MSY = 0.0;
  double FMSY = 0.0;
};
MsyPoint MsyPointOf(const ModelFit& fit);

// Computes BMSY, MSY, FMSY (MsyPointOf) and EMSY = MSY / (q · BMSY) of a
// record and stores them in the record.
void ReferenceMsy(ModelFit& fit);

// The biomass B0.1 above BMSY at which the slope of the production curve is a
// tenth of its slope at B = K: Schaefer 0.55·K; Fox K / e^0.9;
// Pella-Tomlinson K · ((0.1·p + 1)/(p + 1))^(1/p).
double BiomassB01(const ModelFit& fit);

}  // namespace tarvik::model
