#pragma once

#include <cstdint>

#include "model/kinds.h"

namespace tarvik::model {

// Where the fitted values of a record (R, K, Q, ObjectiveValue, FittedR,
// FittedQ, FittedK and the Pella-Tomlinson exponent) came from.
enum class FitOrigin : std::uint8_t {
  None = 0,              // not fitted since the variants were built or the data set was replaced
  Search = 1,            // the parameter search
  Refinement = 2,        // the refined minimum of the search's objective, adopted by the user
  ObservationError = 3,  // the observation-error estimates of the record's model kind, adopted
  StateSpace = 4,        // the state-space estimates of the record's model kind, adopted
};

// One fitted model variant: a production model paired with an objective
// function, its estimated parameters and the reference points derived from them.
// Biomass, K, MSY and catch are in the unit of the catch column; F is a yearly
// rate; q converts biomass to CPUE (U = q·B).
struct ModelFit {
  std::uint8_t Enabled = 1;     // 1 = the variant takes part in the estimation and later stages
  double R = 0.0;               // intrinsic growth rate r, per year
  double K = 0.0;               // carrying capacity
  double Q = 0.0;               // catchability
  double ObjectiveValue = 0.0;  // objective at (R, K, Q, Exponent) when the search ended
  double FittedR = 0.0;         // r, q, K as the search ended; only the search writes them
  double FittedQ = 0.0;
  double FittedK = 0.0;
  ProductionModelKind Kind = ProductionModelKind::Schaefer;
  double Exponent = 0.0;  // Pella-Tomlinson exponent p (meaningful for that kind only)
  ObjectiveKind Objective = ObjectiveKind::SumOfSquares;
  std::uint8_t CutOff = 0;  // informational cut-off value of a median slot
  double MSY = 0.0;
  double BMSY = 0.0;
  double FMSY = 0.0;
  double EMSY = 0.0;
  double BTarget = 0.0;  // Btr
  double FTarget = 0.0;  // Ftr
  double ETarget = 0.0;  // Etr
  double BLimit = 0.0;   // Blim
  FitOrigin Origin = FitOrigin::None;
};

}  // namespace tarvik::model
