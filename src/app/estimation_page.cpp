#include "app/estimation_page.h"
#include "common/joined_message.h"

#include <cmath>
#include <utility>

#include <QGridLayout>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/locale_mark.h"
#include "app/table_export.h"
#include "app/widgets.h"
#include "assessment/journal.h"
#include "assessment/estimation_view.h"
#include "assessment/fit_checks.h"
#include "assessment/observation_error_view.h"
#include "assessment/suitability_view.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "diagnostics/bounds.h"
#include "diagnostics/checklist_view.h"
#include "estimation/estimation_view.h"
#include "estimation/variants.h"
#include "model/kinds.h"
#include "rbridge/r_runner.h"

namespace tarvik::app {

namespace {

using estimation::EstimationOutcome;

void SetTuning(QSlider* bar, const estimation::TuningSetting& setting) {
  bar->setValue(setting.Position);
  bar->setToolTip(FromUtf8(setting.Hint));
}

}  // namespace

std::string EstimationPage::CutOffList() const {
  return ToUtf8(edit11_->text());
}

// ---------------------------------------------------------------------------
// The results panel and the variants

void EstimationPage::RebuildResultsPanel() {
  // A bad cut-off list raises here and leaves the panel and the variants as
  // they were.
  estimation::RebuildVariants(State(), CutOffList());
  results_->Rebuild(State().ModelFits);
  refinements_.assign(State().ModelFits.size(), std::nullopt);
  menuVariant_.reset();
  HideDiagnostics();
  // Every variant is active again: the model chosen before no longer holds.
  ShowNoModelChoice();
}

void EstimationPage::VariantClicked(std::size_t index, bool checked) {
  estimation::SetVariantEnabled(State(), index, checked);
}

void EstimationPage::ModelClicked(int kind, bool checked) {
  const auto model = static_cast<model::ProductionModelKind>(kind);
  estimation::SetModelEnabled(State(), model, checked);
  const std::vector<model::ModelFit>& fits = State().ModelFits;
  for (std::size_t i = 0; i < fits.size(); ++i) {
    if (fits[i].Kind == model) results_->ResetColours(i);
  }
  results_->SyncChecks(fits);
}

void EstimationPage::TrimPositionChanged() {
  trackBarMedWin_->setToolTip(FromUtf8(estimation::TrimPositionHint(trackBarMedWin_->value())));
  results_->ResetColours();
}

void EstimationPage::ToggleTuningPanel() {
  const bool show = chart7_->isHidden();
  chart7_->setVisible(show);
  // The residuals of the chosen variant give Chart7 their place meanwhile.
  PlaceCharts();
  for (QSlider* bar : tuningBars_) bar->setVisible(show);
  for (QLabel* label : tuningLabels_) label->setVisible(show);
}

// ---------------------------------------------------------------------------
// Showing the page and the suitability check

void EstimationPage::Shown() {
  const char mark = DecimalMark();
  data::EstimationPageInputs inputs;
  inputs.holdOutChecked = checkBox4_->isChecked();
  inputs.holdOutYears = spinEdit1_->value();
  inputs.initialRText = ToUtf8(searchEdits_[0]->text());
  inputs.trimPosition = trackBarMedWin_->value();
  const data::EstimationPageShow show =
      data::ShowEstimationPage(State().Table, inputs, mark, State());

  if (show.enableHoldOut) {
    // The spin starts at 3 when the option becomes available; a number the
    // user set stays (within the new maximum).
    const bool first = !spinEdit1_->isEnabled();
    checkBox4_->setEnabled(true);
    spinEdit1_->setEnabled(true);
    spinEdit1_->setMaximum(show.holdOutMaximum);
    if (first) spinEdit1_->setValue(show.holdOutDefault);
  } else {
    // A series of 14 years or fewer has no room for held-out years.
    checkBox4_->setChecked(false);
    checkBox4_->setEnabled(false);
    spinEdit1_->setEnabled(false);
  }
  tuningBars_[0]->setToolTip(FromUtf8(show.tuningRHint));
  trackBarMedWin_->setToolTip(FromUtf8(show.trimHint));
  chart7_->SetPoints("CpueFact", show.cpueFact);
  if (show.check) ShowSuitability(*show.check, false);
  chart2_->setToolTip(FromUtf8(show.correlationChartHint));
  if (!show.error.empty()) {
    Ui().ShowError(FromUtf8(show.error));
  } else if (show.showPositiveCorrelationMessage) {
    Ui().ShowError(FromUtf8(std::string(data::kPositiveCorrelationMessage)));
  }
}

void EstimationPage::DataSetReplaced() {
  results_->Rebuild(State().ModelFits);
  refinements_.assign(State().ModelFits.size(), std::nullopt);
  menuVariant_.reset();
  HideDiagnostics();
  ShowNoModelChoice();
  ShowNoSuitability();
  chart7_->Clear("CpueFact");
  chart7_->Clear("CpueTheor");
  memo1_->clear();
  surface_->Hide();
  chart2_->show();
  button18_->hide();
  if (!chart7_->isHidden()) ToggleTuningPanel();
  if (isVisible()) Shown();
}

void EstimationPage::Redraw() {
  const AssessmentState& state = State();
  const char mark = DecimalMark();
  if (results_->RowCount() != state.ModelFits.size()) {
    results_->Rebuild(state.ModelFits);
    refinements_.assign(state.ModelFits.size(), std::nullopt);
  }
  results_->SyncChecks(state.ModelFits);

  // The check of the series the fits rest on; cleared: the page says so.
  if (!state.SuitabilityChecked) {
    ShowNoSuitability();
  } else if (correlationLabels_[0]->text() == FromUtf8(std::string(data::kNoCorrelationYet))) {
    const int heldOut = state.Table.DataRowCount() -
                        static_cast<int>(state.AnalysisSeries.size());
    ShowSuitability(data::CheckSuitability(state.Table, std::max(heldOut, 0), mark), true);
  }

  QStringList labels;
  if (!state.LastSearch) {
    // No search stands (a new data set, new variants, another series).
    if (rightTabs_->isTabEnabled(1)) {
      for (std::size_t i = 0; i < state.ModelFits.size(); ++i) {
        results_->ShowRow(i, estimation::MakeVariantRow(state.ModelFits[i], {}, mark));
      }
      HideDiagnostics();
    }
  } else {
    // The rows and the choice list of the fits as they stand (adopted values
    // too); the hidden tuning track bars at the last record searched.
    estimation::ParameterPoint last{};
    for (const model::ModelFit& fit : state.ModelFits) {
      if (fit.Origin != model::FitOrigin::None) last = {fit.R, fit.K, fit.Q, fit.Exponent};
    }
    const estimation::EstimationDisplay display =
        estimation::MakeEstimationDisplay(state, *state.LastSearch, last, state.Table, mark);
    for (std::size_t i = 0; i < display.Rows.size(); ++i) results_->ShowRow(i, display.Rows[i]);
    for (std::size_t i = 0; i < state.ModelFits.size(); ++i) ShowMark(i);
    // An empty list (an opened assessment) gets the variants of the search
    // still ticked, as after the search (after a choice: the chosen one).
    for (const std::string& label : display.ChoiceLabels) labels << FromUtf8(label);
    if (cbb1_->count() == 0) {
      const QSignalBlocker quiet(cbb1_);
      cbb1_->clear();
      cbb1_->addItems(labels);
      cbb1_->setCurrentIndex(-1);
    }
    cbb1_->show();
    rightTabs_->setTabEnabled(1, true);
    diagnostics_->Redraw(state.LastSearch->Bounds);
  }
  if (estimation::ChosenVariant(state)) {
    ShowModelChoice();
  } else if (!button21_->isHidden()) {
    // The choice shown was cleared (a retrospective analysis made before any
    // choice stays).
    ShowNoModelChoice();
    const QSignalBlocker quiet(cbb1_);
    cbb1_->addItems(labels);
    cbb1_->setCurrentIndex(-1);
  }
}

void EstimationPage::Opened() {
  // The log of the searches is not kept in the file: it says where the
  // results come from.
  memo1_->clear();
  memo1_->appendPlainText(
      QStringLiteral("Оценка открыта из файла и повторена (шагов: %1); результаты на "
                     "страницах получены при этом повторе.")
          .arg(State().Journal.Steps.size()));
  const std::optional<estimation::EstimationRequest> request =
      assessment::LastSearchRequest(State(), DecimalMark());
  if (!request) return;
  const estimation::SearchTexts& t = request->Texts;
  const std::array<const std::string*, 9> texts = {&t.InitialR, &t.InitialK, &t.InitialQ,
                                                   &t.MinR,     &t.MaxR,     &t.MinK,
                                                   &t.MaxK,     &t.MinQ,     &t.MaxQ};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const QSignalBlocker quiet(searchEdits_[i]);
    searchEdits_[i]->setText(FromUtf8(*texts[i]));
  }
  {
    const QSignalBlocker quiet(trackBarMedWin_);
    trackBarMedWin_->setValue(request->TrimPosition);
  }
  if (request->HoldOutYears > 0) {
    const QSignalBlocker quietBox(checkBox4_);
    const QSignalBlocker quietSpin(spinEdit1_);
    checkBox4_->setChecked(true);
    spinEdit1_->setEnabled(true);
    spinEdit1_->setMaximum(std::max(spinEdit1_->maximum(), request->HoldOutYears));
    spinEdit1_->setValue(request->HoldOutYears);
  }
}

void EstimationPage::CheckSuitability() {
  ShowSuitability(data::SuitabilityCheck(State().Table, HeldOutYears(), DecimalMark(), State()),
                  false);
}

void EstimationPage::ShowSuitability(const data::SuitabilityResult& check, bool keepTypedK) {
  chart2_->ShowSuitability(check);
  correlationLabels_[0]->setText(FromUtf8(check.correlationSchaeferText));
  correlationLabels_[1]->setText(FromUtf8(check.correlationFoxText));
  correlationLabels_[2]->setText(FromUtf8(check.correlationPTText));
  label12_->setToolTip(FromUtf8(check.ptExponentHint));

  const std::array<QLineEdit*, 3> edits = {searchEdits_[1], searchEdits_[5], searchEdits_[6]};
  const std::array<std::string, 3> proposal = {check.initialKText, check.minKText, check.maxKText};
  for (std::size_t i = 0; i < edits.size(); ++i) {
    if (!keepTypedK || ToUtf8(edits[i]->text()) == proposedK_[i]) {
      edits[i]->setText(FromUtf8(proposal[i]));
    }
  }
  proposedK_ = proposal;
  observationError_->Refresh();  // a new series drops the observation-error fits
  stateSpace_->Refresh();        // and the state-space fits
}

void EstimationPage::FillBoundsFromData() {
  const data::CatchEffortSeries& series = State().AnalysisSeries;
  if (series.size() == 0) {
    throw Error(
        "Нет данных для границ: откройте файл данных и дождитесь проверки пригодности "
        "данных");
  }
  // Raises, changing no edit, when the series has no positive catch or CPUE.
  const estimation::SearchTexts texts =
      diagnostics::SearchTextsOf(diagnostics::ProposeBounds(series), DecimalMark());
  const std::array<const std::string*, 9> shown = {
      &texts.InitialR, &texts.InitialK, &texts.InitialQ, &texts.MinR, &texts.MaxR,
      &texts.MinK,     &texts.MaxK,     &texts.MinQ,     &texts.MaxQ};
  for (std::size_t i = 0; i < searchEdits_.size(); ++i)
    searchEdits_[i]->setText(FromUtf8(*shown[i]));
  memo1_->appendPlainText(QStringLiteral(
      "Начальные значения и границы взяты по данным: выполните «Оценка параметров» снова"));
}

void EstimationPage::ShowNoSuitability() {
  chart2_->ClearResults();
  const QString none = FromUtf8(std::string(data::kNoCorrelationYet));
  for (QLabel* label : correlationLabels_) label->setText(none);
  label12_->setToolTip(QString());
}

// ---------------------------------------------------------------------------
// The search

estimation::SearchTexts EstimationPage::ReadTexts() const {
  std::array<std::string, 9> t;
  for (std::size_t i = 0; i < t.size(); ++i) t[i] = ToUtf8(searchEdits_[i]->text());
  return {t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7], t[8]};
}

estimation::ParameterBounds EstimationPage::SearchBounds() const {
  // The bounds the fits were searched in; before a search, those typed.
  if (State().LastSearch) return State().LastSearch->Bounds;
  return estimation::ReadSearchSettings(ReadTexts(), DecimalMark()).Bounds;
}

int EstimationPage::HeldOutYears() const {
  return checkBox4_->isChecked() ? spinEdit1_->value() : 0;
}

estimation::EstimationRequest EstimationPage::ReadRequest() const {
  estimation::EstimationRequest request;
  request.Texts = ReadTexts();
  request.DecimalMark = DecimalMark();
  request.TrimPosition = trackBarMedWin_->value();
  request.HoldOutYears = HeldOutYears();
  return request;
}

estimation::SearchOptions EstimationPage::SearchOptionsFor(
    BackgroundTask::Progress& progress) const {
  const ProgressLog log(memo1_, g1_);
  estimation::SearchOptions options;
  if (testMaxFailures_) options.MaxFailures = *testMaxFailures_;
  options.OnProgress = log.Progress(progress);
  options.OnMemo = log.Replacer(progress);
  return options;
}

estimation::EstimationRequest EstimationPage::PrepareSearch() {
  const char mark = DecimalMark();
  // A text that is not a number names its field; nothing has changed yet.
  estimation::ReadSearchSettings(ReadTexts(), mark);
  // The series must lack exactly the held-out years (or none): when it does
  // not, the check runs again on the right years.
  if (auto check = estimation::MatchAnalysisSeries(State(), State().Table, HeldOutYears(), mark)) {
    ShowSuitability(*check, true);
  }
  return ReadRequest();
}

void EstimationPage::EstimateParameters() {
  // The table at start is its header and one empty row.
  if (State().Table == data::DataTable() || State().Table.DataRowCount() == 0) {
    throw Error("Нет данных: откройте файл или вставьте таблицу");
  }
  if (State().ModelFits.empty()) {
    // With a table in the window the variants are missing only because the
    // cut-off list was not taken: make them now, or say what is wrong with it.
    try {
      RebuildResultsPanel();
    } catch (const Error& e) {
      throw Error(JoinedMessage("Варианты моделей не созданы из-за списка отсекаемых лет",
                                e.what()));
    }
  }
  const std::size_t active = estimation::EnabledIndices(State().ModelFits).size();
  if (active == 0) throw Error("Отметьте хотя бы один вариант модели в группе «Результат»");
  const estimation::EstimationRequest request = PrepareSearch();
  Flow().EstimationStarted();
  ShowNoModelChoice();
  results_->ResetColours();
  ClearRefinements();
  const ProgressLog log(memo1_, g1_);
  log.StartGauge(100 * static_cast<int>(active));
  struct SearchRun {
    EstimationOutcome outcome;
    Refined refined;
  };
  Background().RunGuarded(
      [this, table = State().Table, request](BackgroundTask::Progress& progress) {
        SearchRun run;
        run.outcome =
            estimation::RunEstimation(State(), table, request, SearchOptionsFor(progress));
        run.refined =
            RefineSearched(Assessment(), run.outcome.Settings.Bounds, request.DecimalMark);
        return run;
      },
      [this, log] {
        log.HideGauge();
        ShowChoiceKept();  // a failed search leaves the choice as it was
      },
      [this](const SearchRun& run) {
        ShowEstimation(run.outcome);
        ShowRefinement(run.refined);
      });
}

EstimationPage::Refined EstimationPage::RefineSearched(const Session& session,
                                                       const estimation::ParameterBounds& bounds,
                                                       char decimalMark) {
  // The lowest objective of every searched variant within the same bounds;
  // it reads the state only and draws nothing from the random stream.
  Refined refined;
  try {
    refined.report = estimation::RefineActiveVariants(session.State(), bounds, decimalMark);
  } catch (const Error& error) {
    refined.error = error.what();
  }
  return refined;
}

void EstimationPage::ShowEstimation(const EstimationOutcome& outcome) {
  const estimation::EstimationDisplay& display = outcome.Display;
  ProgressLog(memo1_, g1_).Show(outcome.Summary.Memo);
  chart2_->show();
  surface_->Hide();
  g1_->hide();
  chart7_->SetPoints("CpueTheor", display.TheoreticalCpue);
  SetTuning(tuningBars_[0], display.TuningR);
  SetTuning(tuningBars_[1], display.TuningK);
  SetTuning(tuningBars_[2], display.TuningQ);
  for (std::size_t i = 0; i < display.Rows.size(); ++i) results_->ShowRow(i, display.Rows[i]);

  if (outcome.HoldOut) chart2_->ShowHoldOut(*outcome.HoldOut);

  cbb1_->clear();
  for (const std::string& label : display.ChoiceLabels) cbb1_->addItem(FromUtf8(label));
  cbb1_->setCurrentIndex(-1);
  cbb1_->show();
  // Button18 «Настройка начальных значений» stays hidden: its track bars
  // only show where the search's start values lie and set nothing.
  observationError_->Refresh();
  stateSpace_->Refresh();
  rightTabs_->setTabEnabled(1, true);
  diagnostics_->SearchFinished(outcome.Settings.Bounds);
}

void EstimationPage::HideDiagnostics() {
  diagnostics_->Clear();
  rightTabs_->setCurrentIndex(0);
  rightTabs_->setTabEnabled(1, false);
}

// ---------------------------------------------------------------------------
// The convergence check

void EstimationPage::ShowRefinement(const Refined& refined) {
  if (!refined.report) {
    memo1_->appendPlainText(QStringLiteral("Проверка сходимости поиска не выполнена: ") +
                            FromUtf8(refined.error));
    return;
  }
  if (refinements_.size() < State().ModelFits.size()) {
    refinements_.resize(State().ModelFits.size());
  }
  for (const estimation::VariantRefinement& v : refined.report->Variants) {
    if (v.Index >= refinements_.size()) continue;
    refinements_[v.Index] = v;
    ShowMark(v.Index);
  }
  for (const std::string& line : refined.report->MemoLines) memo1_->appendPlainText(FromUtf8(line));
}

void EstimationPage::ShowMark(std::size_t index) {
  const estimation::VariantRefinement* refinement =
      index < refinements_.size() && refinements_[index] ? &*refinements_[index] : nullptr;
  estimation::RefinementMarkView view = estimation::MarkOf(State(), index, refinement);
  // The verdict of the variant's checklist, once it was made.
  if (const diagnostics::VariantDiagnosis* d = diagnostics_->DiagnosisOf(index)) {
    const std::string verdict = diagnostics::ViewOfDiagnosis(*d, DecimalMark()).MarkTip;
    view.Tip = view.Tip.empty() ? verdict : verdict + "\n" + view.Tip;
  }
  results_->ShowMark(index, view);
}

void EstimationPage::ClearRefinements() {
  refinements_.assign(State().ModelFits.size(), std::nullopt);
  for (std::size_t i = 0; i < results_->RowCount(); ++i) ShowMark(i);
}

void EstimationPage::UpdateAdoptButton() {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(State());
  buttonAdopt_->setVisible(chosen.has_value());
  bool adoptable = false;
  QString tip;
  if (chosen && *chosen < refinements_.size() && refinements_[*chosen]) {
    const estimation::VariantRefinement& v = *refinements_[*chosen];
    adoptable = !estimation::AdoptionRefusal(State(), v);
    tip = FromUtf8(v.Tooltip);
  }
  buttonAdopt_->setEnabled(adoptable);
  buttonAdopt_->setToolTip(tip);
}

void EstimationPage::AdoptRefinedValues() {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(State());
  if (!chosen) throw Error("Модель не выбрана: выберите вариант модели в списке «Выбор модели»");
  if (*chosen >= refinements_.size() || !refinements_[*chosen]) {
    throw Error("Для выбранного варианта нет уточнённых значений: выполните «Оценка параметров»");
  }
  const estimation::VariantRefinement& v = *refinements_[*chosen];
  // Raises, changing nothing, when there is nothing to adopt.
  estimation::AdoptRefinement(State(), v);
  results_->ShowRow(*chosen, v.Row);
  diagnostics_->FitChanged(*chosen);
  ShowMark(*chosen);
  memo1_->appendPlainText(FromUtf8(std::string(projection::kRefinedParametersLine) + " (" +
                                   v.Label + "): L = " + v.Row.LText));
  UpdateAdoptButton();
  ShowResiduals();
  observationError_->Refresh();
  stateSpace_->Refresh();
}

void EstimationPage::ObservationErrorAdopted(std::size_t index, std::string_view line) {
  estimation::ParameterBounds bounds;
  try {
    bounds = SearchBounds();
  } catch (const Error&) {
    // Bounds typed over since: the row shows no bound marks.
    bounds = {0.0, HUGE_VAL, 0.0, HUGE_VAL, 0.0, HUGE_VAL, 0.0, HUGE_VAL};
  }
  const estimation::VariantRow row =
      estimation::MakeVariantRow(State().ModelFits[index], bounds, DecimalMark());
  results_->ShowRow(index, row);
  diagnostics_->FitChanged(index);
  ShowMark(index);
  memo1_->appendPlainText(FromUtf8(std::string(line) + " (" +
                                   estimation::VariantLabel(State().ModelFits, index) +
                                   "): L = " + row.LText));
  UpdateAdoptButton();
  ShowResiduals();
}

void EstimationPage::ShowResiduals() {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(State());
  if (!chosen) {
    residuals_.Clear();
    return;
  }
  residuals_.Show(estimation::ResidualsByYear(State().AnalysisSeries, State().Table,
                                              State().ModelFits, *chosen));
  residuals_.Panel()->show();
  PlaceCharts();
}

void EstimationPage::PlaceCharts() {
  const bool chosen = estimation::ChosenVariant(State()).has_value();
  const bool tuning = !chart7_->isHidden();
  const bool observation = resultTabs_->currentWidget() == observationError_;
  const bool stateSpace = resultTabs_->currentWidget() == stateSpace_;
  // The estimator's chart comes to the front with its tab on the left and
  // goes with it; the residuals and the retrospective analysis stay beside.
  const auto place = [&](int tab, bool shown) {
    if (chartTabs_->isTabVisible(tab) == shown) return;
    chartTabs_->setTabVisible(tab, shown);
    if (shown) chartTabs_->setCurrentIndex(tab);
  };
  place(kObservationErrorTab, chosen && observation);
  place(kStateSpaceTab, chosen && stateSpace);
  if (!chartTabs_->isTabVisible(chartTabs_->currentIndex())) chartTabs_->setCurrentIndex(0);
  // The retrospective analysis of a variant may run before any model choice.
  const bool retrospective = chartTabs_->isTabVisible(kRetrospectiveTab);
  chartTabs_->setVisible((chosen || retrospective) && !tuning);
}

// ---------------------------------------------------------------------------
// The model choice

void EstimationPage::ShowNoModelChoice() {
  cbb1_->clear();
  cbb1_->setCurrentIndex(-1);
  button21_->hide();
  buttonAdopt_->hide();
  buttonRetrospective_->hide();
  residuals_.Clear();
  observationError_->Refresh();
  stateSpace_->Refresh();
  // Called also while the state still holds the choice (a search starts).
  chartTabs_->setTabVisible(kObservationErrorTab, false);
  chartTabs_->setTabVisible(kStateSpaceTab, false);
  // The retrospective analysis was of a fit that no longer stands.
  retrospective_->Clear();
  chartTabs_->setTabVisible(kRetrospectiveTab, false);
  chartTabs_->setCurrentIndex(0);
  chartTabs_->hide();
}

void EstimationPage::ShowModelChoice() {
  if (!estimation::ChosenVariant(State())) {
    ShowNoModelChoice();
    return;
  }
  const QString label = FromUtf8(State().ModelChoiceText);
  if (cbb1_->findText(label) < 0) cbb1_->addItem(label);
  cbb1_->setCurrentIndex(cbb1_->findText(label));
  button21_->setEnabled(State().RDirectory != rbridge::kRNotFound);
  button21_->show();
  buttonRetrospective_->show();
  UpdateAdoptButton();
  ShowResiduals();
  observationError_->Refresh();
  stateSpace_->Refresh();
  diagnostics_->Select(*estimation::ChosenVariant(State()));
}

void EstimationPage::ShowChoiceKept() {
  if (!estimation::ChosenVariant(State())) return;
  ShowModelChoice();
  Flow().ModelChosen();
}

void EstimationPage::ChooseModel(int index) {
  if (index < 0) return;
  const std::string label = ToUtf8(cbb1_->itemText(index));
  // Every variant but the chosen one is unticked, the model boxes too.
  const auto showChoice = [this] {
    results_->UncheckModels();
    results_->SyncChecks(State().ModelFits);
  };
  const auto finish = [this] {
    ShowModelChoice();
    Flow().ModelChosen();
  };

  if (HeldOutYears() == 0) {
    estimation::ChooseModel(State(), label);
    showChoice();
    finish();
    return;
  }
  // With the hold-out option the chosen variant is fitted again: once on the
  // shortened series with the hold-out check, then on every year.
  const estimation::EstimationRequest request = PrepareSearch();
  Flow().EstimationStarted();
  results_->ResetColours();
  // The variants were searched on the shortened series: their marks go, the
  // chosen one's comes from its final fit on every year.
  ClearRefinements();
  const ProgressLog log(memo1_, g1_);
  log.StartGauge(100);
  struct ChoiceRun {
    estimation::ModelChoiceOutcome outcome;
    Refined refined;
  };
  Background().RunGuarded(
      [this, table = State().Table, request, label](BackgroundTask::Progress& progress) {
        ChoiceRun run;
        run.outcome = estimation::ChooseModelAndRefit(State(), table, label, request,
                                                      SearchOptionsFor(progress));
        run.refined = RefineSearched(Assessment(), run.outcome.FinalRun->Settings.Bounds,
                                     request.DecimalMark);
        return run;
      },
      [this, log, showChoice] {
        log.HideGauge();
        showChoice();
        ShowChoiceKept();  // a failed refit leaves the choice as it was
      },
      [this, finish](const ChoiceRun& run) {
        const estimation::ModelChoiceOutcome& outcome = run.outcome;
        ShowEstimation(*outcome.HoldOutRun);
        checkBox4_->setChecked(false);
        ShowSuitability(*outcome.Recheck, false);
        ShowEstimation(*outcome.FinalRun);
        ShowRefinement(run.refined);
        finish();
      });
}

// ---------------------------------------------------------------------------
// The objective surface and the retrospective analysis

void EstimationPage::AnalyseObjectiveSurface() {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(State());
  if (!chosen) throw Error("Модель не выбрана: выберите вариант модели в списке «Выбор модели»");
  surface_->Analyse(*chosen, trackBarMedWin_->value(), chart2_, catchUnit_ ? catchUnit_() : 0);
}

void EstimationPage::StartRetrospective() {
  const std::optional<std::size_t> chosen = estimation::ChosenVariant(State());
  if (!chosen) throw Error("Модель не выбрана: выберите вариант модели в списке «Выбор модели»");
  retrospective_->Run(*chosen, ReadTexts(), DecimalMark());
}

void EstimationPage::RunRetrospective() {
  if (!menuVariant_) {
    throw Error(
        "Выберите вариант модели: щёлкните правой кнопкой мыши по его флажку в группе "
        "«Результат»");
  }
  retrospective_->Run(*menuVariant_, ReadTexts(), DecimalMark());
}

}  // namespace tarvik::app
