#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>

#include "app/chart_panel.h"
#include "app/diagnostics_panel.h"
#include "app/holdout_chart.h"
#include "app/observation_error_panel.h"
#include "app/state_space_panel.h"
#include "app/page.h"
#include "app/progress_log.h"
#include "app/residuals_chart.h"
#include "app/results_panel.h"
#include "app/retro_panel.h"
#include "app/surface_pictures.h"
#include "assessment/fit_checks.h"
#include "assessment/refinement.h"
#include "assessment/search.h"
#include "assessment/suitability.h"
#include "data/suitability.h"
#include "estimation/refinement.h"
#include "estimation/retro_analysis.h"

namespace tarvik::app {

// Page 2 "Оценка параметров модели": the suitability check, the start values
// and bounds of the search, the results panel with the model variants, the
// model choice, the objective surface, the retrospective analysis and, in a
// tab beside the charts, the checklist of a variant's fit. It coordinates the
// pieces that show them (ResultsPanel, HoldOutChart, ResidualsChart,
// SurfacePictures, RetrospectiveAnalysis, DiagnosticsPanel): it reads the
// controls, calls the core's transitions and redraws. The search, the model
// choice with hold-out re-fits, the surface and the retrospective analysis
// run in the background. Right after a search the refinement of every
// searched variant shows whether the search reached the minimum (a mark
// beside each L field); after a model choice the chosen variant's residuals
// by year are drawn and its refined values can be adopted («Принять
// уточнённые значения»). The tab «Модель ошибки наблюдения» beside the
// results panel fits the observation-error models and can carry their
// estimates into the chosen variant.
class EstimationPage : public Page {
  Q_OBJECT

 public:
  explicit EstimationPage(PageContext context, QWidget* parent = nullptr);

  // The cut-off list as typed (the hidden Edit11).
  std::string CutOffList() const;

  // The bounds of «Начальные условия» as typed now (those a refit of the
  // chosen variant keeps to); a text that is not a number raises
  // tarvik::Error naming its field.
  estimation::ParameterBounds SearchBounds() const;

  // Rebuilds the variants for the cut-off list and the results panel (the
  // hidden Button6, or Enter in the cut-off list).
  void RebuildResultsPanel();

  // Showing the page: the hold-out option, the hints and, the first time
  // for a data set, the suitability check.
  void Shown() override;
  // The results panel, the model choice, the suitability check and the
  // diagnostics as the state holds them.
  void Redraw() override;
  // The start values, bounds, trimming and hold-out of the last search.
  void Opened() override;

  // Another data set replaced the state's (the variants rebuilt, every
  // result cleared): nothing of the previous one stays on the page; the
  // suitability check runs again the next time the page is shown (at once
  // when the page is showing).
  void DataSetReplaced();

  // «Ретроспективный анализ» (also the workflow item of the retrospective):
  // the analysis of the chosen variant, its curves in the tab beside the
  // residuals. Without a chosen model it says so.
  void StartRetrospective();

  // The context menu of the per-variant result controls (PopupMenu2).
  QMenu* ResultsMenu() const { return popupMenu2_; }

  // The catch unit of the data, 10^N tonnes (N of the data page), for the
  // titles of the R pictures; set once by the main window (tonnes until then).
  void SetCatchUnitSource(std::function<int()> source) { catchUnit_ = std::move(source); }
  // Tests only: ends every search (also those of the model choice and of the
  // retrospective analysis) after this many consecutive failures instead of
  // the program's million. The program never calls it.
  void SetMaxFailuresForTesting(int maxFailures) { testMaxFailures_ = maxFailures; }

 signals:
  // The retrospective analysis of the variant labelled `variant` ended with
  // its ten runs and Mohn's rho (for Chart6 of the TAC page).
  void RetrospectiveFinished(const tarvik::estimation::RetrospectiveResult& result,
                             const QString& variant);

 private:
  // The refinement of the variants a search ran for, or why it failed.
  struct Refined {
    std::optional<estimation::RefinementReport> report;
    std::string error;
  };
  // Runs on the worker right after a search: reads the state only.
  static Refined RefineSearched(const Session& session, const estimation::ParameterBounds& bounds,
                                char decimalMark);

  QGroupBox* BuildStartValues();
  QGroupBox* BuildCorrelation();
  QWidget* BuildChoiceRow();

  // The slots, named by what they do.
  void CheckSuitability();
  void EstimateParameters();
  void ChooseModel(int index);
  void AdoptRefinedValues();
  // The chosen variant took the observation-error (or state-space)
  // estimates: its row, mark, residuals and the memo (`line`, the report's
  // last line of that origin) follow.
  void ObservationErrorAdopted(std::size_t index, std::string_view line);
  void ToggleTuningPanel();
  // «Границы по данным»: the nine edits of «Начальные условия» from the
  // analysis series (diagnostics::ProposeBounds); the user searches again.
  void FillBoundsFromData();
  // The tab «Диагностика» emptied and disabled (no search of these variants).
  void HideDiagnostics();
  void AnalyseObjectiveSurface();
  void RunRetrospective();
  void TrimPositionChanged();
  void VariantClicked(std::size_t index, bool checked);
  void ModelClicked(int kind, bool checked);

  // The nine texts of «Начальные условия» and the request of a click.
  estimation::SearchTexts ReadTexts() const;
  estimation::EstimationRequest ReadRequest() const;
  int HeldOutYears() const;
  // Checks the texts (a bad one names its field) and matches the analysis
  // series to the hold-out option before a search; the request to run.
  estimation::EstimationRequest PrepareSearch();
  estimation::SearchOptions SearchOptionsFor(BackgroundTask::Progress& progress) const;

  void ShowSuitability(const data::SuitabilityResult& check, bool keepTypedK);
  void ShowNoSuitability();
  void ShowEstimation(const estimation::EstimationOutcome& outcome);
  // The refinements of a search: their marks and log lines.
  void ShowRefinement(const Refined& refined);
  void ShowMark(std::size_t index);
  // Forgets the refinements and takes their marks off (a new search).
  void ClearRefinements();
  // «Принять уточнённые значения»: shown after a model choice, enabled while
  // the chosen variant's refinement can be adopted.
  void UpdateAdoptButton();
  // The residuals by year of the chosen variant (hidden without a choice).
  void ShowResiduals();
  // The chart in the residuals' place: none without a choice, Chart7 while
  // the tuning panel is open, the observation-error chart while its tab is
  // current, else the residuals.
  void PlaceCharts();
  // The model-choice list emptied: no model is chosen.
  void ShowNoModelChoice();
  // The model choice as the state holds it.
  void ShowModelChoice();
  // After a search or a refit that failed: the model chosen before, if any,
  // stands again, with its pages.
  void ShowChoiceKept();

  HoldOutChart* chart2_ = nullptr;
  ChartPanel* chart7_ = nullptr;
  ResidualsChart residuals_;
  ResultsPanel* results_ = nullptr;
  QTabWidget* resultTabs_ = nullptr;  // the results panel and the observation-error tab
  ObservationErrorPanel* observationError_ = nullptr;
  StateSpacePanel* stateSpace_ = nullptr;
  SurfacePictures* surface_ = nullptr;
  RetrospectiveAnalysis* retrospective_ = nullptr;
  QTabWidget* rightTabs_ = nullptr;
  DiagnosticsPanel* diagnostics_ = nullptr;
  QPushButton* buttonAdopt_ = nullptr;
  QPushButton* buttonRetrospective_ = nullptr;
  // The residuals and the retrospective curves (ChartTabs).
  QTabWidget* chartTabs_ = nullptr;
  static constexpr int kRetrospectiveTab = 1;
  static constexpr int kObservationErrorTab = 2;
  static constexpr int kStateSpaceTab = 3;
  std::array<QLineEdit*, 9> searchEdits_{};  // InitialR, InitialK, InitialQ, MinR, MaxR, MinK, …
  QLineEdit* edit11_ = nullptr;
  std::array<QSlider*, 3> tuningBars_{};  // TrackBarR, TrackBarK, TrackBarQ
  std::array<QLabel*, 3> tuningLabels_{};
  QSlider* trackBarMedWin_ = nullptr;
  QPushButton* button18_ = nullptr;
  QPushButton* button21_ = nullptr;
  QLabel* label12_ = nullptr;
  std::array<QLabel*, 3> correlationLabels_{};  // Schaefer, Fox, Pella-Tomlinson
  QCheckBox* checkBox4_ = nullptr;
  QSpinBox* spinEdit1_ = nullptr;
  QComboBox* cbb1_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QProgressBar* g1_ = nullptr;
  QMenu* popupMenu2_ = nullptr;

  // The refinement of each ModelFits record after the last search of it
  // (nothing for a record not searched since the panel was built).
  std::vector<std::optional<estimation::VariantRefinement>> refinements_;

  // The K texts the last suitability check proposed (initial, min, max): a
  // K edit still showing its proposal follows a new check; one the user
  // typed over keeps the typed text.
  std::array<std::string, 3> proposedK_;
  // The variant whose check box opened PopupMenu2.
  std::optional<std::size_t> menuVariant_;
  std::function<int()> catchUnit_;
  std::optional<int> testMaxFailures_;
};

}  // namespace tarvik::app
