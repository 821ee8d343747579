#pragma once

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

namespace tarvik::app {

// Page 2 "Оценка параметров модели": the suitability check, the start values
// and bounds of the search, the results panel with the model variants and
// the model choice.
class EstimationPage : public Page {
  Q_OBJECT

 public:
  explicit EstimationPage(PageContext context, QWidget* parent = nullptr);

  // Rebuilds the results panel and the model variants (the click of the
  // hidden Button6); "Открыть" calls it before its dialog.
  void RebuildResultsPanel();

  // TabSheet2Show.
  void Shown() override;

  // PopupMenu2, the context menu of the per-variant result controls.
  QMenu* ResultsMenu() const { return popupMenu2_; }

 signals:
  // The retrospective analysis ended with its ten curves (for Chart6 of the
  // TAC page).
  void RetrospectiveFinished(const std::vector<tarvik::PointList>& curves);

 private:
  QGroupBox* BuildStartValues();
  QGroupBox* BuildResults();
  QGroupBox* BuildCorrelation();

  void Button4Click() {}
  void Button5Click() {}
  void Button18Click() {}
  void Button21Click() {}
  void btn1Click() {}
  void N4Click() {}

  ChartPanel* chart2_ = nullptr;
  ChartPanel* chart7_ = nullptr;
  QLineEdit* editInitialR_ = nullptr;
  QLineEdit* editInitialK_ = nullptr;
  QLineEdit* editInitialQ_ = nullptr;
  QLineEdit* editMinR_ = nullptr;
  QLineEdit* editMinK_ = nullptr;
  QLineEdit* editMinQ_ = nullptr;
  QLineEdit* editMaxR_ = nullptr;
  QLineEdit* editMaxK_ = nullptr;
  QLineEdit* editMaxQ_ = nullptr;
  QScrollArea* scrollBox1_ = nullptr;
  QPlainTextEdit* memo1_ = nullptr;
  QMenu* popupMenu2_ = nullptr;
};

}  // namespace tarvik::app
