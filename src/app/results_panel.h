#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>

#include "assessment/estimation_view.h"
#include "common/table_text.h"
#include "estimation/estimation_view.h"
#include "model/model_fit.h"

namespace tarvik::app {

// The group «Результат» of the estimation page: a check box per model and per
// variant, the fields r, K, q, L of each variant's fit and the mark of its
// convergence check, in a scroll box. It shows what it is given and reports
// the clicks; the page changes the state.
class ResultsPanel : public QGroupBox {
  Q_OBJECT

 public:
  explicit ResultsPanel(QWidget* parent = nullptr);

  // New rows for the records, every box as the record's Enabled, fields empty.
  void Rebuild(const std::vector<model::ModelFit>& fits);

  // The texts, red marks and exponent hint of one row.
  void ShowRow(std::size_t index, const estimation::VariantRow& row);
  // The mark beside the L field and the tips of the mark and of the field.
  void ShowMark(std::size_t index, const estimation::RefinementMarkView& mark);

  // Check boxes and fields enabled as the records say (Enabled), without
  // their click signals.
  void SyncChecks(const std::vector<model::ModelFit>& fits);
  void UncheckModels();
  // Values shown in the fields' own colour again (no bounds to compare with).
  void ResetColours();
  void ResetColours(std::size_t index);

  std::size_t RowCount() const { return rows_.size(); }

  // The rows as shown (estimation::ResultsTable), for copying and saving.
  TextTable Table() const;

 signals:
  void VariantClicked(std::size_t index, bool checked);
  void ModelClicked(int kind, bool checked);
  // The context menu of a variant's check box.
  void VariantMenuRequested(std::size_t index, const QPoint& globalPosition);

 private:
  struct Row {
    QCheckBox* check = nullptr;
    std::array<QLineEdit*, 4> fields{};  // r, K, q, L
    QLabel* mark = nullptr;
    estimation::ShownVariantRow shown;  // the texts of the row and its mark
  };

  QWidget* BuildHeader();

  QScrollArea* scrollBox_ = nullptr;
  std::array<QCheckBox*, 3> modelChecks_{};
  std::vector<Row> rows_;
  int checkColumnWidth_ = 0;
  int fieldWidth_ = 0;
  int markWidth_ = 0;
};

}  // namespace tarvik::app
