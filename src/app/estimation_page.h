#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
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
#include <QScrollArea>
#include <QSlider>
#include <QSpinBox>

#include "app/chart_panel.h"
#include "app/page.h"
#include "data/suitability.h"
#include "estimation/holdout.h"
#include "estimation/parameter_search.h"
#include "estimation/refinement.h"
#include "estimation/retro_analysis.h"

namespace tarvik::app {

// Page 2 "Оценка параметров модели": the suitability check, the start values
// and bounds of the search, the results panel with the model variants, the
// model choice, the objective surface and the retrospective analysis. The
// search, the model choice with hold-out re-fits, the surface and the
// retrospective analysis run in the background (BackgroundTask). Right
// after a search the refinement of every searched variant shows whether the
// search reached the minimum (a mark beside each L field); after a model
// choice the chosen variant's residuals by year are drawn and its refined
// values can be adopted («Принять уточнённые значения»).
class EstimationPage : public Page {
  Q_OBJECT

 public:
  explicit EstimationPage(PageContext context, QWidget* parent = nullptr);

  // Rebuilds the results panel and the model variants (the click of the
  // hidden Button6); "Открыть" calls it before its dialog.
  void RebuildResultsPanel();

  // TabSheet2Show.
  void Shown() override;

  // A new data set was opened: the suitability check runs again the next
  // time the page is shown (at once when the page is showing).
  void DataSetChanged();

  // PopupMenu2, the context menu of the per-variant result controls.
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
  // One row of the results panel.
  struct VariantRow {
    QCheckBox* check = nullptr;
    std::array<QLineEdit*, 4> fields{};  // r, K, q, L
    QLabel* mark = nullptr;              // the refinement's mark beside L
  };

  // The refinement of the variants a search ran for, or why it failed.
  struct Refined {
    std::optional<estimation::RefinementReport> report;
    std::string error;
  };
  // Runs on the worker right after a search: reads the state only.
  static Refined RefineSearched(const AssessmentState& state,
                                const estimation::ParameterBounds& bounds, char decimalMark);

  QGroupBox* BuildStartValues();
  QGroupBox* BuildResults();
  QGroupBox* BuildCorrelation();
  QWidget* BuildResultsHeader();
  // The check boxes and fields of the results panel for State().ModelFits.
  void RebuildResultsPanelWidgets();

  void Button4Click();
  void Button5Click();
  void Button18Click();
  void Button21Click();
  void btn1Click();
  void N4Click();
  void cbb1Change(int index);
  void TrackBarMedWinChange();
  void VariantClick(std::size_t index, bool checked);
  void ModelClick(int kind, bool checked);

  // The nine texts of «Начальные условия» and the request of a click.
  estimation::SearchTexts ReadTexts() const;
  estimation::EstimationRequest ReadRequest() const;
  int HeldOutYears() const;
  // Checks the texts (a bad one names its edit) and matches the analysis
  // series to the hold-out option before a search; the request to run.
  estimation::EstimationRequest PrepareSearch();
  estimation::SearchOptions SearchOptionsFor(BackgroundTask::Progress& progress) const;
  // Memo1's new contents from the worker.
  std::function<void(const std::vector<std::string>&)> MemoWriter(
      BackgroundTask::Progress& progress) const;

  void ShowSuitability(const data::SuitabilityResult& check, bool keepTypedK);
  void ShowEstimation(const estimation::EstimationOutcome& outcome);
  // The texts and colours of one row of the results panel.
  void ShowRow(std::size_t index, const estimation::VariantRow& shown);
  // The refinements of a search: their marks and memo lines.
  void ShowRefinement(const Refined& refined);
  void ShowMark(std::size_t index);
  // Forgets the refinements and takes their marks off (a new search).
  void ClearRefinements();
  // The ModelFits index of the chosen model (cbb1), if one is chosen.
  std::optional<std::size_t> ChosenVariant() const;
  // «Принять уточнённые значения»: shown after a model choice, enabled while
  // the chosen variant has a refinement below the search's value.
  void UpdateAdoptButton();
  void AdoptClick();
  // The residuals by year of the chosen variant (hidden without a choice).
  void ShowResiduals();
  void ShowHoldOut(const estimation::HoldOutResult& holdOut);
  void ClearHoldOutSeries();
  void ClearModelChoice();
  void ShowResultsMenu(std::size_t index, const QPoint& position);
  // The variant and model check boxes and the result fields as the records
  // say (Enabled), without running their handlers.
  void SyncChecks();
  void ResetValueColours();
  void StartGauge(int maximum);
  void Post(BackgroundTask::Progress& progress, int position, int maximum) const;
  void ShowImage(const std::string& path);

  ChartPanel* chart2_ = nullptr;
  ChartPanel* chart7_ = nullptr;
  ChartPanel* chartResiduals_ = nullptr;
  QPushButton* buttonAdopt_ = nullptr;
  QLineEdit* editInitialR_ = nullptr;
  QLineEdit* editInitialK_ = nullptr;
  QLineEdit* editInitialQ_ = nullptr;
  QLineEdit* editMinR_ = nullptr;
  QLineEdit* editMinK_ = nullptr;
  QLineEdit* editMinQ_ = nullptr;
  QLineEdit* editMaxR_ = nullptr;
  QLineEdit* editMaxK_ = nullptr;
  QLineEdit* editMaxQ_ = nullptr;
  QLineEdit* edit11_ = nullptr;
  QSlider* trackBarR_ = nullptr;
  QSlider* trackBarK_ = nullptr;
  QSlider* trackBarQ_ = nullptr;
  QSlider* trackBarMedWin_ = nullptr;
  QPushButton* button18_ = nullptr;
  QPushButton* button21_ = nullptr;
  QPushButton* btn1_ = nullptr;
  QLabel* img5_ = nullptr;
  QLabel* label12_ = nullptr;
  QLabel* labelCorrelSchaefer_ = nullptr;
  QLabel* labelCorrelFox_ = nullptr;
  QLabel* labelCorrelPT_ = nullptr;
  std::array<QLabel*, 3> tuningLabels_{};
  QCheckBox* checkBox4_ = nullptr;
  QSpinBox* spinEdit1_ = nullptr;
  QComboBox* cbb1_ = nullptr;
  QScrollArea* scrollBox1_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QProgressBar* g1_ = nullptr;
  QMenu* popupMenu2_ = nullptr;

  std::array<QCheckBox*, 3> modelChecks_{};  // CheckSchaefer, CheckFox, CheckPT
  std::vector<VariantRow> rows_;
  int checkColumnWidth_ = 0;
  int fieldWidth_ = 0;
  int markWidth_ = 0;
  // The refinement of each ModelFits record after the last search of it
  // (nothing for a record not searched since the panel was built).
  std::vector<std::optional<estimation::VariantRefinement>> refinements_;

  // The K texts the last suitability check proposed (initial, min, max): a
  // K edit still showing its proposal follows a new check; one the user
  // typed over keeps the typed text.
  std::array<std::string, 3> proposedK_;
  // The variant whose check box opened PopupMenu2.
  std::optional<std::size_t> menuVariant_;
  // The folder of the surface pictures and the picture switch of btn1.
  std::string surfaceDirectory_;
  bool showingMsyFmsy_ = false;
  std::function<int()> catchUnit_;
  std::optional<int> testMaxFailures_;
};

}  // namespace tarvik::app
