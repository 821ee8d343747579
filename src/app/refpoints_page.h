#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <vector>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include "app/chart_panel.h"
#include "app/page.h"
#include "assessment/reference_points.h"
#include "estimation/search_engine.h"
#include "refpoints/reference_points.h"

namespace tarvik::app {

// Page 3 "Оценка ориентиров управления": the reference points of the chosen
// model variant, one tab per variant, and the sustainable-yield curves; the
// bootstrap's confidence intervals of the chosen variant («Доверительные
// интервалы»): beside its reference points, as a table and as the
// replicates' r–K scatter.
class ReferencePointsPage : public Page {
  Q_OBJECT

 public:
  explicit ReferencePointsPage(PageContext context, QWidget* parent = nullptr);

  // Showing the page: without a chosen model nothing is shown; otherwise,
  // when the state's reference points are not those of the active variants
  // as they are fitted now (refpoints::ReferencePointsCurrent), the tabs are
  // built and the points computed; otherwise nothing changes.
  void Shown() override;
  // The selectors, the variants' tabs and the intervals as the state holds
  // them (the reference points are computed when the page is shown).
  void Redraw() override;
  // The selectors and the interval settings the assessment's steps ran with.
  void Opened() override;

  // The catch unit of the data, 10^N tonnes (N of the data page), for the
  // axis titles; set once by the main window (tonnes until then).
  void SetCatchUnitSource(std::function<int()> source) { catchUnit_ = std::move(source); }

  // The results of another data set are gone: no tabs, no curves.
  void ClearResults();

  // Where the bounds of the last search come from (the estimation page's
  // fields); the bootstrap refits within them.
  void SetSearchBoundsSource(std::function<estimation::ParameterBounds()> source) {
    searchBounds_ = std::move(source);
  }

  // «Рассчитать» of «Доверительные интервалы»: the bootstrap of the chosen
  // variant in the background (uncertainty::EstimateUncertainty); «Прервать»
  // stops it and leaves the state as it was.
  void EstimateIntervals();
  void StopIntervals();

  // The tabs as the core computed them, in PageControl2's order.
  const std::vector<refpoints::ReferenceTab>& Tabs() const { return State().ReferencePoints.Tabs; }
  // The names of the per-variant production curves on Chart3 ("Построить все графики").
  const std::vector<QString>& ProductionCurves() const { return productionCurves_; }

 private:
  // The controls of one variant's tab.
  struct TabControls {
    QWidget* sheet = nullptr;
    QGridLayout* grid = nullptr;
    std::array<QLineEdit*, 10> edits{};  // MSY, BMSY, FMSY, EMSY, Btr, Ftr, Etr, Blim, Flim, Elim
    std::array<QLabel*, 4> intervals{};  // beside MSY, BMSY, FMSY, EMSY
    QPushButton* curveButton = nullptr;  // "Построить график"
  };
  void BuildTabs();  // "Создание закладок": the tabs of the active variants
  void CalculateReferencePoints();  // "Расчёт ориентиров"
  void DrawAllCurves();             // "Построить все графики"
  void DrawCurve(std::size_t tab);  // a tab's "Построить график"
  void ChangeSelector(refpoints::Selector selector, int choice);

  refpoints::ReferenceSelectors Selectors() const;
  void ShowEdits();
  void MoveLabelsTo(int tab);
  // The intervals of state.Uncertainty beside the chosen variant's points,
  // in the table and on the scatter; all empty without them.
  void ShowIntervals();
  QWidget* BuildIntervalControls();

  ChartPanel* chart3_ = nullptr;
  std::function<int()> catchUnit_;
  QTabWidget* pageControl2_ = nullptr;
  QComboBox* comboBtg_ = nullptr;
  QComboBox* comboEtg_ = nullptr;
  QComboBox* comboBlim_ = nullptr;

  std::vector<TabControls> tabControls_;
  std::array<QLabel*, 10> labels_{};       // ReferenceLabels, on the tab in front
  std::vector<QString> productionCurves_;  // ProductionCurves: series on Chart3
  // The variants the tab widgets stand for.
  std::vector<std::uint8_t> tabVariants_;

  // «Доверительные интервалы».
  QSpinBox* replicates_ = nullptr;
  QSpinBox* seed_ = nullptr;
  QComboBox* level_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QTabWidget* lowerTabs_ = nullptr;  // the curves, the intervals, the r–K scatter
  QTableWidget* intervalTable_ = nullptr;
  QLabel* intervalSummary_ = nullptr;
  ChartPanel* chartRk_ = nullptr;
  std::function<estimation::ParameterBounds()> searchBounds_;
  std::stop_source stop_;
};

}  // namespace tarvik::app
