#include "estimation/workflow.h"

#include "common/error.h"
#include "common/numbers.h"
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

FreshStart RunFreshStartEstimation(AssessmentState& state, const FreshStartRequest& request,
                                   const SearchOptions& options) {
  if (request.TrimPosition < 0 || request.TrimPosition > 9) {
    throw Error("Доля отсекаемых остатков задаётся положением от 0 до 9 (задано " +
                std::to_string(request.TrimPosition) + ")");
  }
  if (request.HoldOutYears < 0) {
    throw Error("Число отсекаемых лет не может быть отрицательным");
  }

  FreshStart run;
  // «Открыть»: the results panel first, then the file.
  BuildModelFits(state, request.CutOffList);
  if (request.TickedVariants) {
    for (std::size_t index : *request.TickedVariants) {
      if (index >= state.ModelFits.size()) {
        throw Error("Нет варианта модели с номером " + std::to_string(index) + " (вариантов " +
                    std::to_string(state.ModelFits.size()) + ")");
      }
    }
  }
  run.File = data::ReadDataFile(request.DataFile, request.DecimalMark);
  state.LoadedSeries = run.File.series;
  state.DataFileName = request.DataFile;
  const data::DataTable& table = run.File.table;

  // Showing the estimation page runs the suitability check on every year.
  data::TabSheet2Inputs page;
  page.initialRText = FormatGeneral(0.5, request.DecimalMark);
  page.medianWindowPosition = request.TrimPosition;
  run.PageShow = data::TabSheet2Show(table, page, request.DecimalMark, state);
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
    if (request.HoldOutYears < 2 || request.HoldOutYears > run.PageShow.spinMaximum) {
      throw Error("Количество отсекаемых лет должно быть от 2 до " +
                  std::to_string(run.PageShow.spinMaximum) + " (задано " +
                  std::to_string(request.HoldOutYears) + ")");
    }
    if (auto check = MatchAnalysisSeries(state, table, request.HoldOutYears, request.DecimalMark)) {
      run.Check = std::move(*check);
    }
  }

  if (request.TickedVariants) {
    for (std::size_t i = 0; i < state.ModelFits.size(); ++i) state.ModelFits[i].Enabled = 0;
    for (std::size_t index : *request.TickedVariants) state.ModelFits[index].Enabled = 1;
    state.ActiveVariants = EnabledIndices(state.ModelFits);
  }

  EstimationRequest& click = run.Request;
  click.DecimalMark = request.DecimalMark;
  click.TrimPosition = request.TrimPosition;
  click.HoldOutYears = request.HoldOutYears;
  click.Texts.InitialR = FormatGeneral(0.5, request.DecimalMark);
  click.Texts.InitialQ = FormatGeneral(0.0001, request.DecimalMark);
  click.Texts.MinR = FormatGeneral(0.0, request.DecimalMark);
  click.Texts.MaxR = FormatGeneral(1.0, request.DecimalMark);
  click.Texts.MinQ = click.Texts.InitialQ;
  click.Texts.MaxQ = FormatGeneral(1.0, request.DecimalMark);
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
  if (static_cast<int>(state.AnalysisSeries.size()) == wanted) return std::nullopt;
  return data::SuitabilityCheck(table, heldOutYears, decimalMark, state);
}

ModelChoiceOutcome ChooseModelAndRefit(AssessmentState& state, const data::DataTable& table,
                                       std::string_view label, const EstimationRequest& request,
                                       const SearchOptions& options) {
  ModelChoiceOutcome outcome;
  outcome.Index = ChooseModel(state, label);
  if (request.HoldOutYears > 0) {
    outcome.HoldOutRun = RunEstimation(state, table, request, options);
    // The box is unticked: the check rebuilds the series from every year and
    // resets the K texts; the chosen variant is fitted to the whole series.
    outcome.Recheck = data::SuitabilityCheck(table, 0, request.DecimalMark, state);
    EstimationRequest final = request;
    final.HoldOutYears = 0;
    TakeKTexts(final.Texts, *outcome.Recheck);
    outcome.FinalRun = RunEstimation(state, table, final, options);
  }
  return outcome;
}

}  // namespace tarvik::estimation
