#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "app/chart_panel.h"
#include "app/page.h"
#include "refpoints/reference_points.h"

namespace tarvik::app {

// Page 3 "Оценка ориентиров управления": the reference points of the chosen
// model variant, one tab per variant, and the sustainable-yield curves.
class ReferencePointsPage : public Page {
  Q_OBJECT

 public:
  explicit ReferencePointsPage(PageContext context, QWidget* parent = nullptr);

  // TabSheet3Show: builds the tabs and computes the reference points when
  // the active variants are not those the tabs show; otherwise nothing.
  void Shown() override;

  // The tabs as the core computed them, in PageControl2's order.
  const std::vector<refpoints::ReferenceTab>& Tabs() const { return tabs_; }
  // The names of the per-variant production curves on Chart3 ("Построить все графики").
  const std::vector<QString>& ProductionCurves() const { return productionCurves_; }

 private:
  // The controls of one variant's tab.
  struct TabControls {
    QWidget* sheet = nullptr;
    QGridLayout* grid = nullptr;
    std::array<QLineEdit*, 10> edits{};  // MSY, BMSY, FMSY, EMSY, Btr, Ftr, Etr, Blim, Flim, Elim
    QPushButton* curveButton = nullptr;  // "Построить график"
  };
  // What a variant's reference points were computed from.
  struct VariantInputs {
    std::uint8_t index = 0;
    model::ProductionModelKind kind = model::ProductionModelKind::Schaefer;
    model::ObjectiveKind objective = model::ObjectiveKind::SumOfSquares;
    double r = 0.0, K = 0.0, q = 0.0, exponent = 0.0;
    bool operator==(const VariantInputs&) const = default;
  };

  void Button9Click();   // "Создание закладок"
  void Button10Click();  // "Рассчет ориентиров"
  void Button11Click();  // "Построить все графики"
  void CurveButtonClick(std::size_t tab);
  void ComboBoxBtgChange();
  void ComboBoxEtgChange();
  void ComboBoxBlimChange();

  std::vector<VariantInputs> ActiveInputs() const;
  refpoints::ReferenceSelectors Selectors() const;
  // Runs a change of the fits and the tabs; when it fails, the fits and the
  // edits stay as they were.
  template <typename Change>
  void ChangeReferencePoints(Change change);
  void ShowEdits();
  void MoveLabelsTo(int tab);

  ChartPanel* chart3_ = nullptr;
  QTabWidget* pageControl2_ = nullptr;
  QComboBox* comboBtg_ = nullptr;
  QComboBox* comboEtg_ = nullptr;
  QComboBox* comboBlim_ = nullptr;

  std::vector<refpoints::ReferenceTab> tabs_;  // ReferenceTabs with the edit texts
  std::vector<TabControls> tabControls_;
  std::array<QLabel*, 10> labels_{};           // ReferenceLabels, on the tab in front
  std::vector<QString> productionCurves_;      // ProductionCurves: series on Chart3
  // The variants the tabs were computed from; empty until they were.
  std::vector<VariantInputs> computedFrom_;
};

}  // namespace tarvik::app
