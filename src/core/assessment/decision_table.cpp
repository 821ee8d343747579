#include "assessment/decision_table.h"
#include "assessment/journal.h"

#include <cmath>
#include <optional>

#include "assessment/observation_error.h"
#include "assessment/state_space.h"
#include "assessment/uncertainty.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "common/numbers.h"
#include "uncertainty/decision_view.h"

namespace tarvik::uncertainty {
namespace {

// The share of the progress scale the bootstrap takes when it is run here:
// it refits every replicate, the table only projects them.
constexpr int kProgressScale = 1000;
constexpr int kBootstrapShare = 900;

std::function<void(int, int)> ScaledProgress(const std::function<void(int, int)>& report, int from,
                                             int to) {
  if (!report) return {};
  return [report, from, to](int done, int total) {
    const double fraction = total > 0 ? static_cast<double>(done) / total : 1.0;
    report(from + static_cast<int>(std::lround(fraction * (to - from))), kProgressScale);
  };
}

// The calendar year after the last year of the analysis series: the year
// cell of its last row in the data table (the series keeps no years).
int FirstForecastYear(const AssessmentState& state) {
  const std::size_t n = state.AnalysisSeries.size();
  if (n > 0 && static_cast<std::size_t>(state.Table.DataRowCount()) >= n) {
    const auto year =
        TryParseInteger(state.Table.Cell(data::DataTable::kYear, static_cast<int>(n)));
    if (year) return static_cast<int>(*year) + 1;
  }
  return state.AnalysisSeries.FirstYear + static_cast<int>(n);
}

// The state-space σ_p of `kind`: the state's fit when there is one, else a
// fit made here with its default options (milliseconds).
ProcessSigmaReference StateSpaceSigmaOf(const AssessmentState& state,
                                        model::ProductionModelKind kind,
                                        const estimation::ParameterBounds& bounds) {
  ProcessSigmaReference reference;
  try {
    std::optional<estimation::StateSpaceFit> own;
    const estimation::StateSpaceFit* fit = estimation::StateSpaceFitOf(state, kind);
    if (fit == nullptr) {
      estimation::StateSpaceOptions options;
      options.StartBounds = bounds;
      own = estimation::FitStateSpace(state.AnalysisSeries, kind, options);
      fit = &*own;
    }
    const estimation::StateSpaceEstimate& sigma = fit->SigmaP;
    if (!(sigma.Value >= 0.0) || !std::isfinite(sigma.Value)) {
      reference.Reason = "оценка σ процесса не является числом";
      return reference;
    }
    reference.Available = true;
    reference.Value = sigma.Value;
    reference.HasInterval =
        sigma.HasSe && std::isfinite(sigma.Lower) && std::isfinite(sigma.Upper);
    reference.Lower = reference.HasInterval ? sigma.Lower : 0.0;
    reference.Upper = reference.HasInterval ? sigma.Upper : 0.0;
    reference.Level = fit->Level;
  } catch (const Error& e) {
    reference.Reason = e.what();
  }
  return reference;
}

}  // namespace

const DecisionTableResult& UpdateDecisionTable(AssessmentState& state,
                                               const DecisionRequest& request,
                                               const BootstrapResult* bootstrap) {
  assessment::StepScope scope(state);
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(state);
  if (!chosen) throw Error("Модель не выбрана: выберите её на странице оценки параметров");
  const model::ModelFit& fit = state.ModelFits[*chosen];
  const double blimFraction = state.ReferencePoints.LimitFraction;
  if (!(blimFraction > 0.0) || !(fit.BMSY > 0.0) || !(fit.BLimit > 0.0)) {
    throw Error("Ориентиры управления выбранной модели не рассчитаны: рассчитайте их (страница 3)");
  }
  const data::CatchEffortSeries& series = state.AnalysisSeries;
  if (series.C.empty()) throw Error("Нет данных для таблицы решений");

  DecisionTableResult result;
  result.Entries = request.Entries;
  result.Variant = static_cast<std::uint8_t>(*chosen);
  const bool reuse = bootstrap != nullptr && MadeForRecord(*bootstrap, fit);
  std::optional<BootstrapResult> own;
  if (!reuse) {
    BootstrapOptions options;
    options.Replicates = request.Replicates;
    options.Seed = request.Seed;
    options.Level = request.Level;
    options.Threads = request.Threads;
    options.BlimFraction = blimFraction;
    options.OnProgress = ScaledProgress(request.OnProgress, 0, kBootstrapShare);
    options.Stop = request.Stop;
    own = BootstrapRecord(state, *chosen, request.Bounds, options);
    result.BootstrapRunHere = true;
  }
  const BootstrapResult& used = reuse ? *bootstrap : *own;
  result.Replicates = used.ReplicateCount;
  result.FailedReplicates = used.Failed;
  result.Method = used.Method;

  std::optional<double> ruleTac;
  if (state.Forecast && state.Forecast->Variant == *chosen && !state.Forecast->CatchMean.empty()) {
    ruleTac = state.Forecast->CatchMean.front();
  }
  ProjectionBasis basis =
      used.Method == Estimator::ObservationError
          ? ObservationErrorBasis(series, used, *estimation::ObservationErrorFitOf(state, fit.Kind))
      : used.Method == Estimator::StateSpace
          ? StateSpaceBasis(series, used, *estimation::StateSpaceFitOf(state, fit.Kind))
          : ProcedureBasis(series, used);
  basis.FirstYear = FirstForecastYear(state);
  const std::vector<CatchOption> options = ResolveCatchOptions(
      request.Entries, basis.PointMsy, series.C.back(), ruleTac, request.DecimalMark);
  DecisionTableOptions settings;
  settings.Horizon = request.Horizon;
  settings.BlimFraction = blimFraction;
  settings.Risk = request.Risk;
  settings.Criterion = request.Criterion;
  settings.ProcessSigma = request.ProcessSigma;
  settings.ProcessSource = request.ProcessSource;
  settings.Threads = request.Threads;
  settings.OnProgress =
      ScaledProgress(request.OnProgress, reuse ? 0 : kBootstrapShare, kProgressScale);
  settings.Stop = request.Stop;
  result.Table = BuildDecisionTable(basis, options, settings);
  result.StateSpaceSigma = StateSpaceSigmaOf(state, fit.Kind, request.Bounds);

  assessment::ClearDependents(state, assessment::Stage::DecisionTable);
  state.Decision = std::move(result);
  scope.Commit(assessment::steps::DecisionTable(request, bootstrap != nullptr));
  return *state.Decision;
}

std::vector<std::string> DecisionSectionOf(const AssessmentState& state, int catchUnit,
                                           char decimalMark) {
  if (!state.Decision) return {};
  return DecisionReportLines(state.Decision->Table, catchUnit, decimalMark);
}

}  // namespace tarvik::uncertainty
