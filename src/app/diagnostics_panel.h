#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include <QComboBox>
#include <QLabel>
#include <QTableWidget>

#include "app/page.h"
#include "app/residuals_chart.h"
#include "diagnostics/checklist.h"
#include "estimation/search_engine.h"

namespace tarvik::app {

// The tab «Диагностика» of the estimation page: the acceptance checklist of
// one searched variant (chosen in its list; the model choice selects the
// chosen variant) with the verdict on top, and the residual tests beside the
// residuals by year. The diagnosis (refinement, hindcast, jitter) runs in
// the background when the tab is shown or another variant is picked, and is
// kept until the variant's fit changes.
class DiagnosticsPanel : public QWidget {
  Q_OBJECT

 public:
  explicit DiagnosticsPanel(PageContext context, QWidget* parent = nullptr);

  // A search ended with `bounds`: the list gets the ticked variants, every
  // diagnosis is dropped.
  void SearchFinished(const estimation::ParameterBounds& bounds);
  // Nothing searched (a new data set, new variants): list and tab emptied.
  void Clear();
  // Picks the variant of record `index` (the model choice).
  void Select(std::size_t index);
  // The fit of record `index` changed (refined values adopted).
  void FitChanged(std::size_t index);
  // After a change of the assessment: the list follows the searched
  // variants (searched within `bounds`), and a diagnosis made on what has
  // changed since (the fit, its intervals) goes and is made again.
  void Redraw(const estimation::ParameterBounds& bounds);
  // Mohn's rho of the variant labelled `label` (a retrospective analysis).
  void SetMohnRho(const std::string& label, std::optional<double> rho);
  // The tab became visible: diagnoses the picked variant unless done.
  void Activated();

  // The diagnosis of record `index`, if made.
  const diagnostics::VariantDiagnosis* DiagnosisOf(std::size_t index) const;

 signals:
  // Record `index` was diagnosed; `verdict` is the tooltip text of its mark.
  void Diagnosed(std::size_t index, const QString& verdict);

 private:
  std::optional<std::size_t> Picked() const;

  void Diagnose();
  // Diagnose() once the current event is handled, when the tab is visible.
  void DiagnoseLater();
  void Show(const diagnostics::VariantDiagnosis& d);
  void ShowEmpty(const QString& why);

  PageContext context_;
  QComboBox* variants_ = nullptr;
  QLabel* verdict_ = nullptr;
  QTableWidget* checks_ = nullptr;
  QTableWidget* tests_ = nullptr;
  ResidualsChart residuals_{"ChartDiagnosticResiduals"};
  std::optional<estimation::ParameterBounds> bounds_;
  std::map<std::size_t, diagnostics::VariantDiagnosis> diagnoses_;
  std::map<std::size_t, std::string> madeFrom_;  // what each diagnosis rests on
  std::map<std::string, double> mohnRho_;
};

}  // namespace tarvik::app
