#include "assessment/search.h"

#include <algorithm>

#include "assessment/fit_checks.h"
#include "assessment/journal.h"
#include "assessment/variants.h"

#include "common/error.h"
#include "common/numbers.h"
#include "diagnostics/bounds.h"
#include "estimation/variants.h"

namespace tarvik::estimation {
namespace {

void TakeKTexts(SearchTexts& texts, const data::SuitabilityResult& check) {
  texts.InitialK = check.initialKText;
  texts.MinK = check.minKText;
  texts.MaxK = check.maxKText;
}

void Override(std::string& text, const std::string& typed) {
  if (!typed.empty()) text = typed;
}

}  // namespace

EstimateSummary EstimateParameters(AssessmentState& state, const SearchSettings& settings,
                                   int trimPosition, const SearchOptions& options) {
  // The search works on copies; the state takes them when every variant is done.
  model::RandomSource random = state.Random;
  SearchRun run =
      SearchVariants(state.AnalysisSeries, state.ModelFits, settings, trimPosition, options, random);
  state.ModelFits = std::move(run.Fits);
  state.ActiveVariants = std::move(run.Active);
  state.MedianKeepCount = run.KeepCount;
  state.LastSearch = settings;
  state.Random = random;
  assessment::Clear(state, assessment::Stage::ModelChoice);
  return std::move(run.Summary);
}

EstimationOutcome RunEstimation(AssessmentState& state, const data::DataTable& table,
                                const EstimationRequest& request, const SearchOptions& options) {
  assessment::StepScope scope(state);
  EstimationOutcome outcome;
  outcome.Settings = ReadSearchSettings(request.Texts, request.DecimalMark);
  CheckTrimPosition(request.TrimPosition);
  if (request.HoldOutYears != 0) {
    const int fitted = table.DataRowCount() - request.HoldOutYears;
    if (request.HoldOutYears < 2) {
      throw Error("Для выбора модели по отсечённым годам нужно отсечь не менее 2 лет");
    }
    if (static_cast<int>(state.AnalysisSeries.size()) != fitted) {
      throw Error("Ряд для оценки не совпадает с таблицей без " +
                  std::to_string(request.HoldOutYears) +
                  " последних лет: повторите проверку пригодности данных");
    }
  }
  // A variant with no more residuals than parameters would pass through every
  // residual whatever the data: refused before any search starts.
  for (const std::uint8_t index : EnabledIndices(state.ModelFits)) {
    if (auto refusal =
            diagnostics::TooFewYears(state.AnalysisSeries.size(), state.ModelFits[index].Kind,
                                     VariantLabel(state.ModelFits, index))) {
      throw Error(*refusal);
    }
  }
  AssessmentState next = state;
  outcome.Summary = EstimateParameters(next, outcome.Settings, request.TrimPosition, options);
  if (request.HoldOutYears != 0) {
    outcome.HoldOut = HoldOutCheck(next, table, request.HoldOutYears, request.DecimalMark);
  }
  outcome.Display = MakeEstimationDisplay(next, outcome.Settings, outcome.Summary.Final, table,
                                          request.DecimalMark);
  state = std::move(next);
  scope.Commit(assessment::steps::Search(request));
  return outcome;
}

FreshStart RunFreshStartEstimation(AssessmentState& state, const FreshStartRequest& request,
                                   const SearchOptions& options) {
  CheckTrimPosition(request.TrimPosition);
  if (request.HoldOutYears < 0) {
    throw Error("Число отсекаемых лет не может быть отрицательным");
  }

  FreshStart run;
  // «Открыть»: the cut-off list and the ticks are checked before the file is read.
  const std::size_t variants = 3 * VariantsPerModelFor(ParseCutOffList(request.CutOffList));
  if (request.TickedVariants) {
    for (std::size_t index : *request.TickedVariants) {
      if (index >= variants) {
        throw Error("Нет варианта модели с номером " + std::to_string(index) + " (вариантов " +
                    std::to_string(variants) + ")");
      }
    }
  }
  run.File = data::ReadDataFile(request.DataFile, request.DecimalMark);
  OpenDataSet(state, run.File, request.DataFile, request.CutOffList);
  const data::DataTable& table = run.File.table;

  // Showing the estimation page runs the suitability check on every year.
  data::EstimationPageInputs page;
  page.initialRText = DefaultSearchTexts(request.DecimalMark).InitialR;
  page.trimPosition = request.TrimPosition;
  run.PageShow = data::ShowEstimationPage(table, page, request.DecimalMark, state);
  if (!run.PageShow.error.empty()) throw Error(run.PageShow.error);
  if (!run.PageShow.check) throw Error("В таблице нет данных");
  run.Check = *run.PageShow.check;

  if (request.HoldOutYears > 0) {
    if (!run.PageShow.enableHoldOut) {
      throw Error(
          "Выбор модели по отсечённым годам возможен только для рядов не короче 15 лет "
          "(в таблице " +
          std::to_string(table.DataRowCount()) + ")");
    }
    if (request.HoldOutYears < 2 || request.HoldOutYears > run.PageShow.holdOutMaximum) {
      throw Error("Количество отсекаемых лет должно быть от 2 до " +
                  std::to_string(run.PageShow.holdOutMaximum) + " (задано " +
                  std::to_string(request.HoldOutYears) + ")");
    }
    if (auto check = MatchAnalysisSeries(state, table, request.HoldOutYears, request.DecimalMark)) {
      run.Check = std::move(*check);
    }
  }

  if (request.TickedVariants) {
    const std::vector<std::size_t>& ticked = *request.TickedVariants;
    for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
      SetVariantEnabled(state, i, std::find(ticked.begin(), ticked.end(), i) != ticked.end());
    }
  }

  EstimationRequest& click = run.Request;
  click.DecimalMark = request.DecimalMark;
  click.TrimPosition = request.TrimPosition;
  click.HoldOutYears = request.HoldOutYears;
  click.Texts = DefaultSearchTexts(request.DecimalMark);
  TakeKTexts(click.Texts, run.Check);
  Override(click.Texts.InitialR, request.StartTexts[0]);
  Override(click.Texts.InitialK, request.StartTexts[1]);
  Override(click.Texts.InitialQ, request.StartTexts[2]);
  Override(click.Texts.MinR, request.BoundTexts[0]);
  Override(click.Texts.MaxR, request.BoundTexts[1]);
  Override(click.Texts.MinK, request.BoundTexts[2]);
  Override(click.Texts.MaxK, request.BoundTexts[3]);
  Override(click.Texts.MinQ, request.BoundTexts[4]);
  Override(click.Texts.MaxQ, request.BoundTexts[5]);

  run.Estimation = RunEstimation(state, table, click, options);
  return run;
}

std::optional<data::SuitabilityResult> MatchAnalysisSeries(AssessmentState& state,
                                                           const data::DataTable& table,
                                                           int heldOutYears, char decimalMark) {
  const int wanted = table.DataRowCount() - heldOutYears;
  if (state.SuitabilityChecked && static_cast<int>(state.AnalysisSeries.size()) == wanted) {
    return std::nullopt;
  }
  return data::SuitabilityCheck(table, heldOutYears, decimalMark, state);
}

ModelChoiceOutcome ChooseModelAndRefit(AssessmentState& state, const data::DataTable& table,
                                       std::string_view label, const EstimationRequest& request,
                                       const SearchOptions& options) {
  assessment::StepScope scope(state);
  AssessmentState next = state;
  ModelChoiceOutcome outcome;
  outcome.Index = ChooseModel(next, label);
  if (request.HoldOutYears > 0) {
    outcome.HoldOutRun = RunEstimation(next, table, request, options);
    // The box is unticked: the check rebuilds the series from every year and
    // resets the K texts; the chosen variant is fitted to the whole series.
    outcome.Recheck = data::SuitabilityCheck(table, 0, request.DecimalMark, next);
    EstimationRequest final = request;
    final.HoldOutYears = 0;
    TakeKTexts(final.Texts, *outcome.Recheck);
    outcome.FinalRun = RunEstimation(next, table, final, options);
    // The refits ended the choice; the refitted variant stands chosen.
    ChooseModel(next, label);
  }
  state = std::move(next);
  scope.Commit(
      assessment::steps::ChooseModel(label, request.HoldOutYears > 0 ? &request : nullptr));
  return outcome;
}

}  // namespace tarvik::estimation
