#pragma once

#include <functional>
#include <optional>
#include <vector>

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>

#include "app/chart_panel.h"
#include "app/decision_tab.h"
#include "app/page.h"
#include "app/page_control.h"
#include "app/performance_page.h"
#include "assessment/fit_checks.h"
#include "assessment/forecast.h"
#include "assessment/uncertainty.h"
#include "common/point.h"
#include "data/data_file.h"
#include "estimation/retro_analysis.h"
#include "projection/forecast.h"
#include "projection/kobe.h"
#include "uncertainty/bootstrap.h"

namespace tarvik::app {

// Page 6 "Обоснование расчетного значения ОДУ": the forecast of biomass and
// catch under the chosen rule, the sensitivity analysis, the TAC report and
// the retrospective analysis with Mohn's rho, and the Kobe plot of the
// forecast drawn.
class TacPage : public Page {
  Q_OBJECT

 public:
  explicit TacPage(PageContext context, QWidget* parent = nullptr);

  // Where the report's species and stock come from (the data page's
  // description fields). Set once by the main window.
  void SetDescriptionSource(std::function<data::DataDescription()> source);
  // The data's catch unit, 10^N tonnes, as page 1 selects it (0 without a source).
  int CatchUnit() const;
  // Where the decision table's bootstrap takes the bounds of its refits
  // (the estimation page's). Set once by the main window.
  void SetBoundsSource(std::function<estimation::ParameterBounds()> source);

  // Showing the page: the forecast as the state has it (none: nothing shown).
  void Shown() override;

  // The results of another data set are gone: no forecast, no Kobe plot, no
  // retrospective curves, nothing to save.
  void ClearResults();

  // The forecast drawn (or why it must be drawn again), its Kobe plot and
  // report, the decision table, as the state holds them. Retrospective
  // curves of a fit that has changed since go.
  void Redraw() override;
  // The horizon and the noise box of the assessment's last forecast, the
  // decision table's settings.
  void Opened() override;

  // PageControl3 with TabSheet7 "Прогноз биомассы и уловов", TabSheet8
  // "Результаты", TabSheet9 "График" (its tab hidden until a retrospective
  // analysis) and TabSheetKobe "Диаграмма Кобе" (hidden until a forecast is
  // drawn).
  PageControl* Results() const { return pageControl3_; }
  ChartPanel* ForecastChart() const { return chart5_; }
  ChartPanel* KobeChart() const { return chartKobe_; }
  static constexpr int kKobeTab = 3;
  // The tab «Таблица решений».
  DecisionTab* Decision() const { return decisionTab_; }
  static constexpr int kDecisionTab = 4;

  // The retrospective analysis of the estimation page (of the variant
  // labelled `variant`): adds its curves to Chart6 (never removing earlier
  // ones), shows its Mohn's rho as the chart's title and, with the ranges
  // usually judged acceptable, under the chart, and shows the tab "График"
  // (the page is not brought to the front: the estimation page shows the
  // analysis).
  void AddRetrospectiveCurves(const estimation::RetrospectiveResult& result,
                              const QString& variant);

  // The series, areas and label groups of the Kobe plot.
  static const QString kKobeObserved;  // the observed years, joined in time order
  static const QString kKobeForecast;  // from the last observed year along the mean forecast
  static const QString kKobeBmsyLine;  // B = BMSY
  static const QString kKobeFmsyLine;  // F = FMSY
  static const QString kKobeYears;     // the labelled years
  // The bootstrap's last-year points and their point estimate (with
  // confidence intervals computed on page 3).
  static const QString kKobeCloud;
  static const QString kKobeCloudEstimate;
  // The area of each quadrant (KobeQuadrant order: green, yellow, orange, red).
  static QString KobeArea(projection::KobeQuadrant quadrant);

  // The chart series of the forecast, by their names in the window layout.
  static const QString kCapacity;         // "Ёмкость среды"
  static const QString kBmsy;             // "BMSY"
  static const QString kMsy;              // "MSY"
  static const QString kBiomass;          // "Биомасса"
  static const QString kCatch;            // "Улов / ОДУ"
  static const QString kCatchInterval;    // "Интервал"
  static const QString kBiomassInterval;  // the biomass interval points
  static const QString kBiomassLower;     // sensitivity: biomass, parameter lowered
  static const QString kBiomassUpper;     // … raised
  static const QString kCatchLower;       // sensitivity: catch, parameter lowered
  static const QString kCatchUpper;       // … raised

 private:
  QWidget* BuildControls();
  void BuildResults();

  void DrawForecast();
  void SaveReport();
  void RunSensitivity(int item);
  void StepChanged();
  void SaveChartBesideDataFile();
  // Nothing of a forecast shown.
  void ClearForecast();
  // Hides a tab of the results; when its page was in front, the forecast's
  // comes to the front (never a page under another tab's caption).
  void HideResultTab(int index);

  // The forecast's settings as the page and the earlier pages show them now.
  projection::ForecastOptions ReadForecastOptions() const;
  void ShowForecast(const projection::ForecastResult& forecast);
  // The on-screen report of the forecast drawn, with the decision table's
  // section when the state holds one.
  void ShowReportText();
  // The Kobe plot of the forecast drawn, or why there is none.
  void ShowKobe(const projection::ForecastResult& forecast);
  // The bootstrap's cloud on the plot, its zones in the title and the caption.
  void ShowKobeCloud(const uncertainty::BootstrapResult& result,
                     const uncertainty::KobeCloud& cloud);
  // Writes the Kobe plot as PNG beside the report just written.
  void SaveKobeImage(const std::string& reportPath) const;
  // The report as the page shows it now: the state's forecast with the
  // species and stock as typed, "Добавить шум" and the chart's points.
  projection::TacReportInput ReportAsShown() const;
  // Whether a forecast has been drawn; if not, the user is told that there
  // is nothing to save yet.
  bool HasForecastToSave() const;
  // Writes the chart as shown, at least 1000 × 600 pixels, in `format`
  // ("JPG" or "BMP"); the file is replaced whole or left as it was.
  void SaveChartImage(const QString& path, const char* format) const;

  QSpinBox* spinEdit2_ = nullptr;
  QGroupBox* radioGroup1_ = nullptr;
  QButtonGroup* radioButtons_ = nullptr;
  QLabel* lbl2_ = nullptr;
  QSpinBox* se2_ = nullptr;
  QCheckBox* checkBox3_ = nullptr;
  PageControl* pageControl3_ = nullptr;
  ChartPanel* chart5_ = nullptr;
  ChartPanel* chart6_ = nullptr;
  QLabel* mohnLabel_ = nullptr;
  ChartPanel* chartKobe_ = nullptr;
  QLabel* kobeSummary_ = nullptr;
  QPlainTextEdit* memo3_ = nullptr;
  QPlainTextEdit* memo4_ = nullptr;
  QMenu* popupMenu3_ = nullptr;

  DecisionTab* decisionTab_ = nullptr;
  std::function<data::DataDescription()> description_;
  std::function<estimation::ParameterBounds()> bounds_;
  // The Kobe plot of the forecast shown (state.Forecast), or the reason there is none.
  std::optional<projection::KobeChart> kobe_;
  std::string kobeError_;
  // The report lines of the forecast on the chart (empty: none drawn).
  std::vector<std::string> drawnForecast_;
  // The fit the retrospective curves were made from (record, r, K, q).
  struct RetrospectiveFit {
    std::size_t Variant = 0;
    double R = 0.0, K = 0.0, Q = 0.0;
  };
  std::optional<RetrospectiveFit> retrospectiveFit_;
};

}  // namespace tarvik::app
