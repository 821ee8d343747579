#pragma once

#include <cstddef>
#include <functional>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>

#include "app/chart_panel.h"
#include "app/page.h"
#include "app/progress_log.h"
#include "estimation/search_engine.h"

namespace tarvik::app {

// The tab «Модель ошибки наблюдения» of the estimation page: «Оценить» fits
// the observation-error models of the three kinds in the background (option
// «B₁/K оценивается»), a row per kind; for the variant chosen in the model
// list its procedure values beside those of its kind and a chart of the
// observed CPUE with both predictions (Chart(), placed by the page); «Принять оценки модели ошибки
// наблюдения» carries the estimates into the chosen variant.
class ObservationErrorPanel : public QWidget {
  Q_OBJECT

 public:
  // `bounds` reads the page's bounds of r and K (a bad text raises naming
  // its field); `log` shows the gauge and the memo lines.
  ObservationErrorPanel(PageContext context, ProgressLog log,
                        std::function<estimation::ParameterBounds()> bounds,
                        QWidget* parent = nullptr);

  // Redraws everything from the state (fits, the chosen variant, the button).
  void Refresh();

  // Where the data's catch unit (N of 10^N tonnes) comes from when the tables are drawn.
  void SetCatchUnitSource(std::function<int()> source) { catchUnit_ = std::move(source); }

  // The chart of the observed CPUE with both predictions of the chosen
  // variant's kind; the page places it and shows it while the tab is current.
  ChartPanel* Chart() const { return chart_; }

 signals:
  // The chosen variant (ModelFits index) took the estimates.
  void Adopted(std::size_t index);

 private:
  void Estimate();
  void Adopt();

  PageContext context_;
  ProgressLog log_;
  std::function<estimation::ParameterBounds()> bounds_;
  std::function<int()> catchUnit_;
  QCheckBox* estimateB1_ = nullptr;
  QPushButton* adopt_ = nullptr;
  QLabel* status_ = nullptr;
  QTableWidget* fits_ = nullptr;
  QTableWidget* comparison_ = nullptr;
  ChartPanel* chart_ = nullptr;
};

}  // namespace tarvik::app
