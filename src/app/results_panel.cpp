#include "app/results_panel.h"

#include <algorithm>

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QVBoxLayout>

#include "app/locale_mark.h"
#include "app/widgets.h"
#include "assessment/variants.h"
#include "estimation/variants.h"
#include "model/kinds.h"

namespace tarvik::app {

namespace {

// Margins and spacing of the results grid, which the column captions above
// the scroll box follow.
constexpr int kPanelMargin = 6;
constexpr int kPanelSpacing = 6;

// The symbols a mark can show, for the width of the mark column.
const char* const kMarkSymbols[] = {"≈", "!", "✓", "?"};

// A value on or outside its bound is shown red; otherwise the edit's own
// text colour.
void SetRed(QLineEdit* edit, bool red) {
  QPalette palette = edit->palette();
  const QColor colour = red ? QColor(Qt::red) : QColor(Qt::black);
  // A disabled field keeps the grey text of disabled fields.
  palette.setColor(QPalette::Active, QPalette::Text, colour);
  palette.setColor(QPalette::Inactive, QPalette::Text, colour);
  edit->setPalette(palette);
}

QColor MarkColour(estimation::RefinementMark mark) {
  switch (mark) {
    case estimation::RefinementMark::Unavailable:
    case estimation::RefinementMark::NotAssessable:
      return Qt::darkGray;
    case estimation::RefinementMark::NotConverged:
      return QColor(215, 100, 0);
    case estimation::RefinementMark::Adopted:
    case estimation::RefinementMark::Converged:
      return QColor(0, 130, 0);
    case estimation::RefinementMark::ObservationErrorAdopted:
      return QColor(0, 60, 200);
    case estimation::RefinementMark::StateSpaceAdopted:
      return QColor(120, 40, 170);
    case estimation::RefinementMark::None:
      break;
  }
  return Qt::black;
}

}  // namespace

ResultsPanel::ResultsPanel(QWidget* parent) : QGroupBox(QStringLiteral("Результат"), parent) {
  setObjectName("GroupBox6");
  const QFontMetrics metrics(font());
  // Wide enough for "Вид целевой функции" above the boxes and for the
  // longest objective name beside a check mark; the fields for ten digits
  // (a K of 10 digits, an L such as 123456.789).
  checkColumnWidth_ = metrics.horizontalAdvance(QStringLiteral("Вид целевой функции")) + 12;
  for (auto objective : {model::ObjectiveKind::SumOfSquares, model::ObjectiveKind::LogSumOfSquares,
                         model::ObjectiveKind::Median}) {
    checkColumnWidth_ =
        std::max(checkColumnWidth_,
                 metrics.horizontalAdvance(FromUtf8(model::ObjectiveName(objective))) + 32);
  }
  fieldWidth_ = metrics.horizontalAdvance(QStringLiteral("0000000000")) + 10;
  QFont bold = font();
  bold.setBold(true);
  const QFontMetrics boldMetrics(bold);
  for (const char* symbol : kMarkSymbols) {
    markWidth_ = std::max(markWidth_, boldMetrics.horizontalAdvance(QString::fromUtf8(symbol)) + 6);
  }

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(BuildHeader());
  scrollBox_ = Named<QScrollArea>("ScrollBox1");
  scrollBox_->setWidgetResizable(true);
  layout->addWidget(scrollBox_, 1);
  Rebuild({});
}

QWidget* ResultsPanel::BuildHeader() {
  auto* header = new QWidget();
  auto* row = new QHBoxLayout(header);
  // The captions stand over the columns of the scroll box's grid (the same
  // widths, margins and spacing; the scroll box's frame is one pixel).
  row->setContentsMargins(kPanelMargin + 1, 0, kPanelMargin + 1, 0);
  row->setSpacing(kPanelSpacing);
  auto* objective = new QLabel(QStringLiteral("Вид целевой функции"));
  objective->setFixedWidth(checkColumnWidth_);
  row->addWidget(objective);
  for (const char* caption : {"r", "K", "q", "L"}) {
    auto* label = new QLabel(QString::fromLatin1(caption));
    label->setAlignment(Qt::AlignCenter);
    label->setFixedWidth(fieldWidth_);
    row->addWidget(label);
  }
  row->addStretch(1);
  return header;
}

void ResultsPanel::Rebuild(const std::vector<model::ModelFit>& fits) {
  static const char* const kModelNames[] = {"CheckSchaefer", "CheckFox", "CheckPT"};
  static const char* const kModelCaptions[] = {"Модель Шефера", "Модель Фокса",
                                               "Модель Пелла-Томлинсона"};
  static const char* const kFieldNames[] = {"ResultEditsR", "ResultEditsK", "ResultEditsQ",
                                            "ResultEditsL"};
  auto* content = new QWidget();
  content->setObjectName("ScrollBox1Content");
  auto* grid = new QGridLayout(content);
  grid->setContentsMargins(kPanelMargin, kPanelMargin, kPanelMargin, kPanelMargin);
  grid->setHorizontalSpacing(kPanelSpacing);
  grid->setVerticalSpacing(3);

  const std::size_t perModel = fits.empty() ? 0 : estimation::VariantsPerModel(fits);
  rows_.clear();
  const std::vector<std::string> labels = estimation::VariantLabels(fits);
  int gridRow = 0;
  for (int kind = 0; kind < 3; ++kind) {
    QCheckBox* model =
        MakeCheckBox(kModelNames[kind], QString::fromUtf8(kModelCaptions[kind]), true);
    modelChecks_[kind] = model;
    grid->addWidget(model, gridRow++, 0, 1, 5, Qt::AlignHCenter);
    connect(model, &QCheckBox::clicked, this,
            [this, kind](bool checked) { emit ModelClicked(kind, checked); });
    for (std::size_t slot = 0; slot < perModel; ++slot) {
      const std::size_t index = static_cast<std::size_t>(kind) * perModel + slot;
      Row row;
      row.shown.Label = labels[index];
      row.shown.Kind = fits[index].Kind;
      // With more than one cut-off value the median variants differ only
      // in it, so their boxes name it.
      QString caption = FromUtf8(model::ObjectiveName(fits[index].Objective));
      if (fits[index].Objective == model::ObjectiveKind::Median && perModel > 3) {
        caption += QStringLiteral(" (%1)").arg(fits[index].CutOff);
      }
      row.check = new QCheckBox(caption);
      row.check->setObjectName(QStringLiteral("VariantChecks%1").arg(index));
      row.check->setProperty("variantIndex", static_cast<qulonglong>(index));
      row.check->setChecked(fits[index].Enabled == 1);
      row.check->setFixedWidth(checkColumnWidth_);
      row.check->setContextMenuPolicy(Qt::CustomContextMenu);
      grid->addWidget(row.check, gridRow, 0);
      for (int f = 0; f < 4; ++f) {
        auto* field = new QLineEdit();
        field->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(kFieldNames[f])).arg(index));
        field->setReadOnly(true);
        field->setFixedWidth(fieldWidth_);
        field->setEnabled(fits[index].Enabled == 1);
        grid->addWidget(field, gridRow, 1 + f);
        row.fields[f] = field;
      }
      row.mark = new QLabel();
      row.mark->setObjectName(QStringLiteral("RefinementMark%1").arg(index));
      row.mark->setFixedWidth(markWidth_);
      row.mark->setAlignment(Qt::AlignCenter);
      grid->addWidget(row.mark, gridRow, 5);
      QCheckBox* box = row.check;
      connect(box, &QCheckBox::clicked, this, [this, index](bool checked) {
        for (QLineEdit* field : rows_.at(index).fields) field->setEnabled(checked);
        ResetColours(index);
        emit VariantClicked(index, checked);
      });
      connect(box, &QWidget::customContextMenuRequested, this,
              [this, index, box](const QPoint& pos) {
                emit VariantMenuRequested(index, box->mapToGlobal(pos));
              });
      rows_.push_back(row);
      ++gridRow;
    }
  }
  grid->setRowStretch(gridRow, 1);
  grid->setColumnStretch(6, 1);
  // The previous rows go with the scroll box's previous widget.
  scrollBox_->setWidget(content);
  // The rows scroll up and down; their width always fits.
  scrollBox_->setMinimumWidth(content->minimumSizeHint().width() +
                              scrollBox_->verticalScrollBar()->sizeHint().width() +
                              2 * scrollBox_->frameWidth());
  scrollBox_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // At least a model heading and four whole rows stay in view (the heading
  // and the spacing take about a row more than the four fields).
  scrollBox_->setMinimumHeight(6 * (QLineEdit().sizeHint().height() + 3) + 2 * kPanelMargin);
}

void ResultsPanel::ShowRow(std::size_t index, const estimation::VariantRow& shown) {
  if (index >= rows_.size()) return;
  Row& row = rows_[index];
  row.shown.Row = shown;
  row.fields[0]->setText(FromUtf8(shown.RText));
  row.fields[1]->setText(FromUtf8(shown.KText));
  row.fields[2]->setText(FromUtf8(shown.QShown));
  row.fields[3]->setText(FromUtf8(shown.LText));
  for (QLineEdit* field : row.fields) field->setCursorPosition(0);
  SetRed(row.fields[0], shown.ROutOfBounds);
  SetRed(row.fields[1], shown.KOutOfBounds);
  SetRed(row.fields[2], shown.QOutOfBounds);
  row.check->setToolTip(FromUtf8(shown.ExponentHint));
}

void ResultsPanel::ShowMark(std::size_t index, const estimation::RefinementMarkView& view) {
  if (index >= rows_.size()) return;
  Row& row = rows_[index];
  row.shown.Mark = view.Symbol;
  const QString symbol = FromUtf8(view.Symbol);
  row.mark->setText(symbol);
  row.mark->setStyleSheet(symbol.isEmpty()
                              ? QString()
                              : QStringLiteral("QLabel { color: %1; font-weight: bold; }")
                                    .arg(MarkColour(view.Mark).name()));
  const QString tip = FromUtf8(view.Tip);
  row.mark->setToolTip(tip);
  row.mark->setProperty("notConverged", view.Mark == estimation::RefinementMark::NotConverged);
  row.fields[3]->setToolTip(tip);
}

TextTable ResultsPanel::Table() const {
  std::vector<estimation::ShownVariantRow> shown;
  for (const Row& row : rows_) shown.push_back(row.shown);
  return estimation::ResultsTable(shown);
}

void ResultsPanel::SyncChecks(const std::vector<model::ModelFit>& fits) {
  for (std::size_t i = 0; i < rows_.size() && i < fits.size(); ++i) {
    const bool enabled = fits[i].Enabled == 1;
    rows_[i].check->setChecked(enabled);
    for (QLineEdit* field : rows_[i].fields) field->setEnabled(enabled);
  }
}

void ResultsPanel::UncheckModels() {
  for (QCheckBox* model : modelChecks_) model->setChecked(false);
}

void ResultsPanel::ResetColours() {
  for (std::size_t i = 0; i < rows_.size(); ++i) ResetColours(i);
}

void ResultsPanel::ResetColours(std::size_t index) {
  if (index >= rows_.size()) return;
  for (int f = 0; f < 3; ++f) SetRed(rows_[index].fields[f], false);
}

}  // namespace tarvik::app
