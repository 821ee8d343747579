#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "assessment/search.h"
#include "assessment/state.h"
#include "assessment/suitability.h"
#include "assessment/variants.h"
#include "data/data_table.h"
#include "data/suitability.h"
#include "estimation/variants.h"

namespace tarvik::app::testing {

// The yearly rows of a stock that follows the Schaefer model exactly:
// B0 = 0.9·K, effort rising from 50 to 400, C = q·E·B, U = q·B, then
// B ← B + r/K·B·(K − B) − C. CPUE falls with effort, as the suitability
// check wants it.
inline data::DataTable SchaeferTable(double r, double K, double q, int years = 20) {
  std::vector<std::array<std::string, 4>> rows;
  double B = 0.9 * K;
  const auto text = [](double x) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.10g", x);
    return std::string(buffer);
  };
  for (int t = 0; t < years; ++t) {
    const double E = 50.0 + 350.0 * t / (years - 1);
    const double C = q * E * B;
    rows.push_back({std::to_string(1990 + t), text(q * B), text(E), text(C)});
    B = B + r / K * B * (K - B) - C;
  }
  return data::DataTable::FromRows(rows);
}

// The state the estimation page leaves after the model choice of `label`
// ("Шефер СК", …), with the chosen variant's parameters set directly instead
// of estimated: the nine variants of the default cut-off list, the analysis
// series of `table` (the suitability check on every year), r, K, q (and the
// exponent, when given, for Pella-Tomlinson) of the chosen variant, only that
// variant active, the model-choice text and the result texts of the panel.
// Returns the variant's ModelFits index.
inline std::size_t ChooseFittedVariant(AssessmentState& state, const data::DataTable& table,
                                       const std::string& label, double r, double K, double q,
                                       double exponent = 0.0) {
  estimation::BuildModelFits(state, "4");
  state.Table = table;
  data::SuitabilityCheck(table, 0, '.', state);
  const std::size_t index = estimation::VariantIndexByLabel(state.ModelFits, label);
  model::ModelFit& fit = state.ModelFits[index];
  fit.R = r;
  fit.K = K;
  fit.Q = q;
  if (exponent != 0.0) fit.Exponent = exponent;
  estimation::ChooseModel(state, label);
  return index;
}

// Sets the parameters of a further variant and makes it active beside the
// ones already active (several tabs on the reference-point page).
inline void AddFittedVariant(AssessmentState& state, const std::string& label, double r, double K,
                             double q) {
  const std::size_t index = estimation::VariantIndexByLabel(state.ModelFits, label);
  model::ModelFit& fit = state.ModelFits[index];
  fit.R = r;
  fit.K = K;
  fit.Q = q;
  estimation::SetVariantEnabled(state, index, true);
}

// The example data file of the repository and its Schaefer sum-of-squares
// variant.
inline std::string ExampleFile() {
  return std::string(TARVIK_SOURCE_DIR) + "/examples/yellowfin_epo_1934_1955.txt";
}

// The state `tarvik-cli … --variants <variant> --variant <label>` works on:
// the fresh start on `file` with only that variant ticked, «Оценка
// параметров», then the model choice of `label`; with the model-choice text
// and the result texts the estimation page would leave.
inline void EstimateAndChooseLikeCli(AssessmentState& state, const std::string& file,
                                     std::size_t variant, const std::string& label) {
  estimation::FreshStartRequest fresh;
  fresh.DataFile = file;
  fresh.TickedVariants = std::vector<std::size_t>{variant};
  const estimation::FreshStart run = estimation::RunFreshStartEstimation(state, fresh, {});
  estimation::ChooseModelAndRefit(state, run.File.table, label, run.Request, {});
}

}  // namespace tarvik::app::testing
