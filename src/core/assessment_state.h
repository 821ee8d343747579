#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/catch_effort_series.h"
#include "data/data_table.h"
#include "model/model_fit.h"
#include "model/random.h"
#include "projection/tac_report.h"
#include "rules/harvest_rule.h"
#include "rules/optimisation_grid.h"

namespace tarvik {

// Everything one assessment shares across its stages. The program (the window
// or the command line) owns one instance and passes it explicitly; nothing of
// it lives in globals. Each stage adds what it owns.
struct AssessmentState {
  data::DataTable Table;                   // the data table as text cells (row 0 = header)
  data::CatchEffortSeries LoadedSeries;    // the table as loaded (paste or file)
  data::CatchEffortSeries AnalysisSeries;  // the series all model work runs on
  std::vector<model::ModelFit> ModelFits;  // kind-major: kind × VariantsPerModel + slot
  std::vector<std::uint8_t> ActiveVariants;  // indices of enabled fits, ascending
  std::vector<std::uint8_t> CutOffValues;    // cut-off list of the median slots (results panel)
  model::RandomSource Random;              // RandomSeed: 0 at start, never reseeded
  std::uint8_t MedianKeepCount = 0;        // residuals kept by the trimmed objectives
  double PTExponent = 0.0;                 // Pella-Tomlinson exponent chosen by the check
  std::string DataFileName;                // path of the data file last opened (UTF-8)
  std::string RDirectory;                  // R's folder with trailing separator, or "Not found"
  std::vector<rules::HarvestRule> RuleList;  // the rules to evaluate, in the order added
  std::vector<std::string> RuleNames;        // their names (the rule list box), parallel
  rules::HarvestRule WorkingRule;            // the rule the optimisation sweeps (target from the rule page)
  std::uint8_t OptimisationVariant = 0;      // ModelFits index of the last optimisation
  rules::BestPoints OptimisationBest;        // best points of the last optimisation, for the picks
  // The model-choice list of the estimation page: the text of the chosen item
  // ("Шефер СК"; empty until a model is chosen), and the texts of the result
  // fields r, K, q, L of every ModelFits index as the results panel shows
  // them. The optimisation, the forecast and the TAC report read them.
  std::string ModelChoiceText;
  std::vector<projection::ResultEditTexts> ResultTexts;
  // 1 for a ModelFits record whose values were adopted from the refinement
  // of the search (estimation::AdoptRefinement); the search of a record and
  // a rebuild of the variants clear it. Shorter than ModelFits = 0 beyond.
  std::vector<std::uint8_t> RefinedFits;
};

}  // namespace tarvik
