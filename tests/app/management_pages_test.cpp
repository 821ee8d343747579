// Pages 5 "Коэффициенты эффективности" and 6 "Обоснование расчетного
// значения ОДУ": the bootstrap table, the rule choice, the forecast, the
// sensitivity analysis and the saved report and pictures. The earlier stages
// are set up through the core, as the pages before would leave them.
#include <set>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>

#include "app/data_page.h"
#include "app/estimation_page.h"
#include "app/locale_mark.h"
#include "app/performance_page.h"
#include "app/string_grid.h"
#include "app/tac_page.h"
#include "app_fixture.h"
#include "assessment/decision_table.h"
#include "assessment/forecast.h"
#include "assessment/indicators.h"
#include "assessment/uncertainty.h"
#include "common/cp1251.h"
#include "fitted_schaefer.h"
#include "projection/forecast.h"
#include "projection/indicators.h"
#include "projection/kobe.h"
#include "projection/tac_report.h"
#include "uncertainty/bootstrap_view.h"
#include "uncertainty/decision_view.h"

namespace tarvik::app::testing {
namespace {

rules::RuleEditor Linear(const std::string& alpha, int target = 0) {
  return LinearRule(alpha, target);
}

rules::RuleEditor Logistic(const std::string& alpha, const std::string& beta) {
  return LogisticRule(alpha, beta);
}

QStringList Lines(const QPlainTextEdit* memo) {
  return memo->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

class ManagementPages : public AppTest {
 protected:
  // The window after the stages before page 5: the yellowfin example (a
  // copy in the test's folder) opened, the Schaefer sum-of-squares variant
  // fitted (with a short search) and chosen, its reference points computed,
  // and the rules added.
  void SetUpFitted(const std::vector<rules::RuleEditor>& ruleEditors) {
    Started();
    dataFile_ = TempPath("yellowfin.txt");
    ASSERT_TRUE(QFile::copy(
        QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"), dataFile_));
    SetUpFittedSchaefer(*window_, dataFile_, ruleEditors);
  }

  void Evaluate(const QString& runs = QStringLiteral("200")) {
    Find<QLineEdit>("EditKolvoProgon")->setText(runs);
    Find<QPushButton>("Button14")->click();
    ASSERT_TRUE(WaitIdle());
  }

  void ChooseRule(int index) {
    auto* cbb2 = Find<QComboBox>("cbb2");
    cbb2->setCurrentIndex(index);
    emit cbb2->activated(index);
  }

  // Page 5 evaluated with the first rule chosen.
  void SetUpChosen(const std::vector<rules::RuleEditor>& ruleEditors = {Linear("0.3")}) {
    SetUpFitted(ruleEditors);
    Evaluate();
    ChooseRule(0);
  }

  void Forecast(bool noise) {
    Find<QCheckBox>("CheckBox3")->setChecked(noise);
    Find<QPushButton>("Button16")->click();
  }

  // What the forecast of the page must be: the core's on a copy of the state
  // as it is before the click.
  projection::ForecastResult ExpectedForecast(bool noise, int horizon = 5) {
    AssessmentState copy = window_->State();
    projection::ForecastOptions options;
    options.Variant = 0;
    options.ModelChoiceText = "Шефер СК";
    options.Rule = static_cast<std::size_t>(Find<QComboBox>("cbb2")->currentIndex());
    options.Horizon = horizon;
    options.AddNoise = noise;
    for (int row = 1; row <= copy.Table.DataRowCount(); ++row) {
      options.YearTexts.push_back(copy.Table.Cell(data::DataTable::kYear, row));
    }
    options.Species = window_->Data()->Description().species;
    options.Stock = window_->Data()->Description().stock;
    options.Results = estimation::ResultTextsOf(copy, 0, DecimalMark());
    options.DecimalMark = DecimalMark();
    return projection::BuildForecast(copy, options);
  }

  StringGrid* Grid() const { return window_->Performance()->Table(); }
  ChartPanel* Chart() const { return window_->Tac()->ForecastChart(); }

  QString dataFile_;
};

// --- page 5 ----------------------------------------------------------------------------

TEST_F(ManagementPages, OneRuleFillsItsRowAsTheCoreComputesItAndOffersTheRule) {
  SetUpFitted({Linear("0.3")});
  StringGrid* grid = Grid();
  ASSERT_EQ(grid->rowCount(), 2);
  ASSERT_EQ(grid->columnCount(), 10);
  EXPECT_EQ(grid->Cell(0, 0), QStringLiteral("Модель и метод аппроксимации"));
  EXPECT_EQ(grid->Cell(9, 0), QStringLiteral("P(B < Blim ориентира)"));
  EXPECT_EQ(grid->Cell(0, 1), QStringLiteral("Шефера Сумма квадратов"));
  EXPECT_EQ(grid->Cell(1, 1), QStringLiteral("FMSY Линейно-Кусочное 0.3"));
  EXPECT_EQ(grid->Cell(2, 1), QString());
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(grid->selectionBehavior(), QAbstractItemView::SelectRows);
  // Columns fit their longest word (in the font it is drawn with), so
  // wrapped titles break between words, and the table fits the window at
  // its design size and at its smallest.
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Performance));
  for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
    window_->resize(size);
    QCoreApplication::processEvents();
    EXPECT_EQ(grid->horizontalScrollBar()->maximum(), 0) << size.width();
    for (int column = 0; column < 10; ++column) {
      const QFontMetrics metrics(grid->item(0, column)->font());
      for (const QString& word : grid->Cell(column, 0).split(' ')) {
        EXPECT_GT(grid->columnWidth(column), metrics.horizontalAdvance(word))
            << word.toStdString() << " at " << size.width();
      }
    }
  }
  EXPECT_GE(grid->rowHeight(1), 40);
  EXPECT_TRUE(Find<QComboBox>("cbb2")->isHidden());

  AssessmentState before = window_->State();
  projection::BootstrapOptions options;
  options.RunsText = "200";
  options.DecimalMark = DecimalMark();
  const projection::RuleEvaluation expected = projection::EvaluateRulesByBootstrap(before, options);
  ASSERT_TRUE(expected.Completed);

  Evaluate();
  EXPECT_EQ(ui_.boxes.size(), 0u);
  ASSERT_EQ(grid->rowCount(), 2);
  for (std::size_t c = 0; c < expected.Rows[0].Cells.size(); ++c) {
    EXPECT_EQ(grid->Cell(static_cast<int>(c + 2), 1), FromUtf8(expected.Rows[0].Cells[c]))
        << "column " << c + 2;
  }
  EXPECT_EQ(Lines(Find<QPlainTextEdit>("Memo2")),
            (QStringList{"Шефера Сумма квадратов", "FMSY Линейно-Кусочное 0.3", "Расчет окончен"}));
  EXPECT_EQ(window_->State().Random.Seed(), before.Random.Seed());

  auto* cbb2 = Find<QComboBox>("cbb2");
  EXPECT_FALSE(cbb2->isHidden());
  ASSERT_EQ(cbb2->count(), 1);
  // The stored name, then alpha in plain words (the "-" is no sign).
  EXPECT_EQ(cbb2->itemText(0), QStringLiteral("FMSY Линейно-кусочное ПРП -0.3 (α = 0.3)"));
  EXPECT_EQ(window_->State().RuleNames[0], "FMSY Линейно-кусочное ПРП -0.3");
  EXPECT_EQ(cbb2->currentIndex(), -1);
  EXPECT_FALSE(window_->Pages()->IsTabVisible(static_cast<int>(PageIndex::Tac)));

  ChooseRule(0);
  EXPECT_TRUE(window_->Pages()->IsTabVisible(static_cast<int>(PageIndex::Tac)));
  EXPECT_TRUE(Action("N13")->isChecked());
  EXPECT_TRUE(Action("N14")->isEnabled());
  EXPECT_TRUE(Action("N15")->isEnabled());
  EXPECT_FALSE(Action("N16")->isEnabled());

  // A second evaluation appends to the memo.
  Evaluate();
  EXPECT_EQ(Lines(Find<QPlainTextEdit>("Memo2")).size(), 6);
}

TEST_F(ManagementPages, RowsAppearAsTheyAreComputedWhileTheInputsAreDisabled) {
  SetUpFitted({Linear("0.3"), Logistic("2", "0.5"), Linear("-1", 3)});
  auto* memo = Find<QPlainTextEdit>("Memo2");
  bool seen = false, firstRowFilled = false, secondRowFilled = true, running = false;
  bool buttonEnabled = true, gaugeShown = false;
  QObject::connect(memo, &QPlainTextEdit::textChanged, memo, [&] {
    // The memo line of the second rule comes after the first rule's row.
    if (seen || Lines(memo).size() != 3) return;
    seen = true;
    firstRowFilled = !Grid()->Cell(2, 1).isEmpty();
    secondRowFilled = !Grid()->Cell(2, 2).isEmpty();
    running = window_->Background().Running();
    buttonEnabled = Find<QPushButton>("Button14")->isEnabled();
    gaugeShown = !Find<QProgressBar>("GaugeBootStrap")->isHidden();
  });
  Evaluate(QStringLiteral("3000"));
  ASSERT_TRUE(seen);
  EXPECT_TRUE(firstRowFilled);
  EXPECT_FALSE(secondRowFilled);
  EXPECT_TRUE(running);
  EXPECT_FALSE(buttonEnabled);
  EXPECT_TRUE(gaugeShown);
  EXPECT_TRUE(Find<QPushButton>("Button14")->isEnabled());
  EXPECT_FALSE(Grid()->Cell(2, 3).isEmpty());
  EXPECT_TRUE(Find<QProgressBar>("GaugeBootStrap")->isHidden());
}

TEST_F(ManagementPages, ABadNumberOfRunsIsReportedAndChangesNothing) {
  SetUpFitted({Linear("0.3")});
  const std::uint32_t seed = window_->State().Random.Seed();
  for (const char* runs : {"0", "70000", "abc"}) {
    ui_.boxes.clear();
    Evaluate(QString::fromLatin1(runs));
    ASSERT_EQ(ui_.boxes.size(), 1u) << runs;
    EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Error);
    EXPECT_TRUE(ui_.boxes[0].text.contains(QStringLiteral("Количество прогонов"))) << runs;
    EXPECT_EQ(Grid()->Cell(2, 1), QString());
    EXPECT_TRUE(Find<QPlainTextEdit>("Memo2")->toPlainText().isEmpty());
    EXPECT_TRUE(Find<QComboBox>("cbb2")->isHidden());
    EXPECT_EQ(window_->State().Random.Seed(), seed);
  }
}

TEST_F(ManagementPages, AFaultInAPairKeepsTheRowsBeforeAndThePageUsable) {
  SetUpFitted({Linear("0.3")});
  // A second variant whose model values are all 0 on the data: its mean
  // retrospective biomass is 0.
  AssessmentState& state = window_->State();
  state.ModelFits[1] = state.ModelFits[0];
  state.ModelFits[1].Objective = model::ObjectiveKind::LogSumOfSquares;
  state.ModelFits[1].Q = 10.0;
  state.ActiveVariants = {0, 1};
  window_->Performance()->RebuildIndicatorTable();
  ASSERT_EQ(Grid()->rowCount(), 3);

  Evaluate(QStringLiteral("20"));
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Error);
  EXPECT_TRUE(ui_.boxes[0].text.contains(QStringLiteral("ретроспективная биомасса")))
      << ui_.boxes[0].text.toStdString();
  EXPECT_FALSE(Grid()->Cell(2, 1).isEmpty());  // the first pair's row stays
  EXPECT_TRUE(Grid()->Cell(2, 2).isEmpty());
  EXPECT_FALSE(Lines(Find<QPlainTextEdit>("Memo2")).contains(QStringLiteral("Расчет окончен")));
  EXPECT_TRUE(Find<QComboBox>("cbb2")->isHidden());
  EXPECT_TRUE(Find<QPushButton>("Button14")->isEnabled());
  EXPECT_TRUE(Find<QLineEdit>("EditKolvoProgon")->isEnabled());
  EXPECT_TRUE(Find<QProgressBar>("GaugeBootStrap")->isHidden());
}

TEST_F(ManagementPages, TheTableAndTheSelectorFollowTheRuleList) {
  SetUpFitted({Linear("0.3"), Logistic("2", "0.5")});
  ASSERT_EQ(Grid()->rowCount(), 3);
  EXPECT_EQ(Grid()->Cell(1, 2), QStringLiteral("FMSY Логистическое 2 0.5"));
  Evaluate();
  ChooseRule(1);

  // Deleting the first rule: the chosen rule keeps its name and gets its new
  // index, so the forecast uses the rule the selector shows.
  AssessmentState& state = window_->State();
  ASSERT_TRUE(rules::DeleteRule(state, 0).Deleted);
  window_->Performance()->RebuildIndicatorTable();
  EXPECT_EQ(Grid()->rowCount(), 2);
  EXPECT_EQ(Grid()->Cell(2, 1), QString());  // the indicators go with the old layout
  auto* cbb2 = Find<QComboBox>("cbb2");
  ASSERT_EQ(cbb2->count(), 1);
  EXPECT_EQ(cbb2->currentIndex(), 0);
  EXPECT_EQ(window_->Performance()->Chosen().Text, state.RuleNames[0]);
}

// --- page 6: the forecast ----------------------------------------------------------------

TEST_F(ManagementPages, AForecastWithoutNoiseHasNoInterval) {
  SetUpChosen();
  const projection::ForecastResult expected = ExpectedForecast(false);
  Forecast(false);
  EXPECT_EQ(ui_.boxes.size(), 0u);
  EXPECT_TRUE(Chart()->Points(TacPage::kCatchInterval).empty());
  EXPECT_TRUE(Chart()->Points(TacPage::kBiomassInterval).empty());
  EXPECT_EQ(Chart()->Points(TacPage::kBiomass), expected.Chart.Biomass);
  EXPECT_EQ(Chart()->Points(TacPage::kCatch), expected.Chart.Catch);
  EXPECT_EQ(Chart()->Points(TacPage::kCapacity), expected.Chart.Capacity);
  EXPECT_EQ(Chart()->Title(), FromUtf8(expected.Chart.Title));
  EXPECT_TRUE(Chart()->Title().startsWith(QStringLiteral("Модель: Шефер СК,   ПРП: FMSY")));
  const QString report = Find<QPlainTextEdit>("Memo3")->toPlainText();
  EXPECT_FALSE(report.contains(QStringLiteral("Интервальная оценка")));
  EXPECT_TRUE(report.startsWith(QStringLiteral("Вид  Желтоперый тунец\n")));
  EXPECT_TRUE(report.endsWith(QStringLiteral("Количество лет прогноза  5")));
  EXPECT_EQ(Lines(Find<QPlainTextEdit>("Memo4")).size(), 2 + 22 + 5);

  EXPECT_TRUE(Action("N14")->isChecked());
  EXPECT_TRUE(Action("N15")->isChecked());
  EXPECT_TRUE(Action("N16")->isEnabled());
  EXPECT_FALSE(Find<QGroupBox>("RadioGroup1")->isHidden());
  EXPECT_FALSE(Find<QSpinBox>("se2")->isHidden());
  EXPECT_FALSE(Find<QLabel>("lbl2")->isHidden());
}

TEST_F(ManagementPages, AForecastWithNoiseDrawsTheIntervalUpperEndFirst) {
  // A rule that closes the fishery below a threshold close to the target
  // biomass: the catch varies so much that the lower end of its interval
  // falls below 0.
  SetUpChosen({Linear("0.9")});
  Find<QSpinBox>("SpinEdit2")->setValue(8);
  const projection::ForecastResult expected = ExpectedForecast(true, 8);
  window_->Tac()->Results()->BringToFront(1);  // the chart drawn comes to the front
  Forecast(true);
  ASSERT_EQ(ui_.boxes.size(), 0u);
  EXPECT_EQ(window_->Tac()->Results()->ActivePage(), 0);
  const PointList interval = Chart()->Points(TacPage::kCatchInterval);
  EXPECT_EQ(interval, expected.Chart.CatchInterval);
  EXPECT_EQ(Chart()->Points(TacPage::kBiomassInterval), expected.Chart.BiomassInterval);
  EXPECT_TRUE(Chart()->SeriesInLegend(TacPage::kBiomassInterval));
  ASSERT_EQ(interval.size(), 16u);
  bool negativeLowerEnd = false;
  const QStringList report = Lines(Find<QPlainTextEdit>("Memo3"));
  const int header = static_cast<int>(
      report.indexOf(QStringLiteral("Интервальная оценка прогнозного значения ОДУ:  ")));
  ASSERT_GE(header, 0);
  ASSERT_EQ(report.size(), header + 1 + 8);
  for (std::size_t i = 0; i < 8; ++i) {
    const Point upper = interval[2 * i];
    const Point lower = interval[2 * i + 1];
    EXPECT_EQ(upper.x, lower.x);
    EXPECT_EQ(upper.x, 1955.0 + static_cast<double>(i + 1));
    EXPECT_GE(upper.y, lower.y);
    const QString line = report[header + 1 + static_cast<int>(i)];
    if (lower.y < 0) {
      negativeLowerEnd = true;
      EXPECT_TRUE(line.contains(QStringLiteral("\t0 - "))) << line.toStdString();
    }
  }
  EXPECT_TRUE(negativeLowerEnd) << "the case of a negative lower end was not met";
}

TEST_F(ManagementPages, AFailedForecastKeepsTheForecastShownBefore) {
  SetUpChosen();
  Forecast(false);
  const QString report = Find<QPlainTextEdit>("Memo3")->toPlainText();
  const PointList biomass = Chart()->Points(TacPage::kBiomass);
  AssessmentState& state = window_->State();
  state.Table.SetCell(data::DataTable::kYear, state.Table.DataRowCount(), "19x5");
  Find<QSpinBox>("SpinEdit2")->setValue(7);
  Forecast(true);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_TRUE(ui_.boxes[0].text.contains(QStringLiteral("19x5")))
      << ui_.boxes[0].text.toStdString();
  EXPECT_EQ(Find<QPlainTextEdit>("Memo3")->toPlainText(), report);
  EXPECT_EQ(Chart()->Points(TacPage::kBiomass), biomass);

  // Without a chosen model nothing is computed either.
  ui_.boxes.clear();
  state.ModelChoiceText.clear();
  Forecast(false);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_TRUE(ui_.boxes[0].text.contains(QStringLiteral("Модель не выбрана")));
}

TEST_F(ManagementPages, TheSensitivityRunLeavesTheParameterAndAddsFourCurves) {
  SetUpChosen();
  Forecast(true);
  const double k = window_->State().ModelFits[0].K;
  const projection::ForecastResult plain = ExpectedForecast(false);
  Find<QRadioButton>("RadioGroup1_K")->click();
  ASSERT_EQ(ui_.boxes.size(), 0u) << ui_.boxes[0].text.toStdString();
  EXPECT_EQ(window_->State().ModelFits[0].K, k);
  EXPECT_FALSE(Find<QCheckBox>("CheckBox3")->isChecked());
  EXPECT_TRUE(Chart()->Points(TacPage::kCatchInterval).empty());
  EXPECT_EQ(Chart()->Points(TacPage::kBiomass), plain.Chart.Biomass);
  const Point lastObserved = plain.Chart.Biomass[21];
  for (const QString& name : {TacPage::kBiomassLower, TacPage::kBiomassUpper}) {
    const PointList curve = Chart()->Points(name);
    ASSERT_EQ(curve.size(), 6u);
    EXPECT_EQ(curve[0], lastObserved);
    EXPECT_EQ(curve[5].x, 1960.0);
  }
  EXPECT_LT(Chart()->Points(TacPage::kBiomassLower)[5].y,
            Chart()->Points(TacPage::kBiomassUpper)[5].y);
  EXPECT_EQ(Chart()->Points(TacPage::kCatchLower).size(), 6u);
  EXPECT_EQ(Chart()->Points(TacPage::kCatchUpper)[0], plain.Chart.Catch[21]);

  // A new step clears the choice; the curves stay.
  Find<QSpinBox>("se2")->setValue(20);
  EXPECT_EQ(Find<QRadioButton>("RadioGroup1_K")->isChecked(), false);
  EXPECT_EQ(Chart()->Points(TacPage::kBiomassLower).size(), 6u);
}

// --- page 6: saving --------------------------------------------------------------------------

TEST_F(ManagementPages, TheReportIsWindows1251WithCrLfAndTheChartARealJpegBesideIt) {
  SetUpChosen();
  const projection::ForecastResult expected = ExpectedForecast(true);
  Forecast(true);
  const QString report = TempPath("REPORT.TXT");
  ui_.saveAnswers.push_back(report);
  Find<QPushButton>("Button19")->click();
  ASSERT_EQ(ui_.boxes.size(), 0u) << ui_.boxes[0].text.toStdString();
  ASSERT_EQ(ui_.saveRequests.size(), 1u);
  EXPECT_EQ(ui_.saveRequests[0].title, QStringLiteral("Введите имя файла"));
  EXPECT_EQ(ui_.saveRequests[0].defaultSuffix, QStringLiteral("txt"));

  const std::string bytes = ReadBytes(report);
  EXPECT_EQ(bytes, projection::EncodeReportFile(projection::TacReportFileLines(expected.Report)));
  EXPECT_FALSE(IsValidUtf8(bytes));
  const std::string text = Cp1251ToUtf8(bytes);
  EXPECT_EQ(text.rfind("Вид  Желтоперый тунец\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nФайл входных данных  " + ToUtf8(dataFile_) + "\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nИнтервальная оценка прогнозного значения ОДУ:  \r\n"),
            std::string::npos);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\n') {
      ASSERT_TRUE(i > 0 && bytes[i - 1] == '\r') << "bare LF at " << i;
    }
  }

  const QString picture = TempPath("REPORT.jpg");
  const std::string image = ReadBytes(picture);
  ASSERT_GE(image.size(), 3u);
  EXPECT_EQ(static_cast<unsigned char>(image[0]), 0xFF);
  EXPECT_EQ(static_cast<unsigned char>(image[1]), 0xD8);
  const QImage decoded(picture, "JPG");
  EXPECT_GE(decoded.width(), 1000);
  EXPECT_GE(decoded.height(), 600);
  if (const QString keep = qEnvironmentVariable("TARVIK_KEEP_PICTURE"); !keep.isEmpty()) {
    QFile::copy(picture, keep);
  }
}

// The tab «Таблица решений»: a bad option list is named and changes
// nothing; «Рассчитать» shows the core's table of the outlook chosen, shaded,
// with the sentence under it, and the report ends with its section.
TEST_F(ManagementPages, TheDecisionTabShowsTheCoresTableAndTheReportEndsWithIt) {
  SetUpChosen();
  Forecast(true);
  // The bounds of K as the suitability check would have shown them.
  const double K = window_->State().ModelFits[0].K;
  const auto number = [](double x) {
    return QString::number(x, 'f', 1).replace('.', QChar::fromLatin1(DecimalMark()));
  };
  Find<QLineEdit>("EditInitialK")->setText(number(K));
  Find<QLineEdit>("EditMinK")->setText(number(K / 10));
  Find<QLineEdit>("EditMaxK")->setText(number(K * 10));
  window_->Tac()->Results()->BringToFront(TacPage::kDecisionTab);
  DecisionTab* tab = window_->Tac()->Decision();
  const QString before = Find<QPlainTextEdit>("Memo3")->toPlainText();
  auto* options = Find<QLineEdit>("DecisionOptions");
  options->setText(QStringLiteral("0; много; MSY"));
  Find<QPushButton>("DecisionCompute")->click();
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_TRUE(ui_.boxes[0].text.contains(QStringLiteral("«много»")))
      << ui_.boxes[0].text.toStdString();
  EXPECT_FALSE(window_->State().Decision.has_value());

  const char mark = DecimalMark();
  const int unit = window_->Tac()->CatchUnit();
  options->setText(QStringLiteral("0; 0") + QChar::fromLatin1(mark) +
                   QStringLiteral("5*MSY; MSY; ОДУ"));
  const std::uint32_t seed = window_->State().Random.Seed();
  // A stated σ of the process error and the green-zone criterion reach the table.
  auto* sigma = Find<QDoubleSpinBox>("DecisionProcessError");
  EXPECT_EQ(sigma->value(), uncertainty::kDefaultProcessSigma);
  sigma->setValue(0.2);
  Find<QComboBox>("DecisionCriterion")->setCurrentIndex(2);
  Find<QDoubleSpinBox>("DecisionRisk")->setValue(60.0);
  Find<QPushButton>("DecisionCompute")->click();
  ASSERT_TRUE(WaitIdle(600000));
  ASSERT_EQ(ui_.boxes.size(), 1u) << ui_.boxes.back().text.toStdString();
  ASSERT_TRUE(window_->State().Decision.has_value());
  const uncertainty::DecisionTable& table = window_->State().Decision->Table;
  ASSERT_EQ(table.Rows.size(), 4u);
  for (int outlook : {0, 3}) {
    tab->OutlookSelector()->setCurrentIndex(outlook);
    const uncertainty::DecisionGrid grid =
        uncertainty::DecisionGridOf(table, static_cast<uncertainty::Outlook>(outlook), unit, mark);
    QTableWidget* shown = tab->Table();
    ASSERT_EQ(shown->rowCount(), 4);
    ASSERT_EQ(shown->columnCount(), 2 + 5);
    EXPECT_EQ(shown->horizontalHeaderItem(2)->text(), FromUtf8(grid.Cells[0][2]));
    for (int row = 0; row < 4; ++row) {
      for (int column = 0; column < 7; ++column) {
        EXPECT_EQ(shown->item(row, column)->text(), FromUtf8(grid.Cells[row + 1][column]));
      }
    }
    // The shade follows the class: equal classes, equal colours.
    for (int row = 0; row < 4; ++row) {
      for (int column = 2; column < 7; ++column) {
        const bool same = grid.Colours[row][column - 2] == grid.Colours[0][0];
        EXPECT_EQ(shown->item(row, column)->background() == shown->item(0, 2)->background(), same);
      }
    }
  }
  EXPECT_EQ(tab->Sentence()->text(), FromUtf8(uncertainty::MaxCatchSentence(table, unit, mark)));
  // The catches are in the data's unit as page 1 selects it: tonnes here,
  // thousand tonnes once the unit says so.
  EXPECT_EQ(tab->Table()->horizontalHeaderItem(1)->text(), QStringLiteral("Улов, т"));
  Find<QSpinBox>("UpDown1")->setValue(3);
  tab->Shown();
  EXPECT_EQ(tab->Table()->horizontalHeaderItem(1)->text(), QStringLiteral("Улов, тыс. т"));
  EXPECT_EQ(tab->Sentence()->text(), FromUtf8(uncertainty::MaxCatchSentence(table, 3, mark)));
  Find<QSpinBox>("UpDown1")->setValue(0);
  tab->Shown();
  EXPECT_EQ(table.ProcessSigma, 0.2);
  EXPECT_EQ(table.ProcessSource, uncertainty::ProcessErrorSource::Stated);
  EXPECT_EQ(table.MaxCatch.Criterion, uncertainty::RiskCriterion::Green);
  EXPECT_EQ(table.MaxCatch.Risk, 0.6);
  // The state-space σ of the same kind is shown beside the setting.
  EXPECT_EQ(Find<QLabel>("DecisionStateSpaceSigma")->text(),
            FromUtf8(uncertainty::StateSpaceSigmaText(window_->State().Decision->StateSpaceSigma,
                                                      mark)));
  EXPECT_TRUE(window_->State().Decision->StateSpaceSigma.Available)
      << window_->State().Decision->StateSpaceSigma.Reason;
  EXPECT_EQ(window_->State().Random.Seed(), seed);

  // The on-screen report and the file end with the section, after every
  // line they had.
  const QString after = Find<QPlainTextEdit>("Memo3")->toPlainText();
  ASSERT_TRUE(after.startsWith(before + QLatin1Char('\n')));
  QStringList section;
  for (const std::string& line : uncertainty::DecisionSectionOf(window_->State(), unit, mark)) {
    section << FromUtf8(line);
  }
  EXPECT_EQ(after.mid(before.size() + 1), QStringLiteral(" \n") + section.join('\n'));
  const QString report = TempPath("decision.txt");
  ui_.saveAnswers.push_back(report);
  Find<QPushButton>("Button19")->click();
  ASSERT_EQ(ui_.boxes.size(), 1u) << ui_.boxes.back().text.toStdString();
  const std::string text = Cp1251ToUtf8(ReadBytes(report));
  EXPECT_NE(text.find(" \r\n" + uncertainty::DecisionSectionOf(window_->State(), unit, mark).front()),
            std::string::npos);

  // Another Blim on page 3 makes the table stale: it is gone.
  refpoints::ChangeSelector(window_->State(), refpoints::Selector::LimitBiomass, 1);
  tab->Shown();
  EXPECT_EQ(tab->Table()->rowCount(), 0);
  EXPECT_TRUE(tab->Sentence()->text().isEmpty());
}

// The report is written from the forecast drawn: a box unticked after the
// drawing does not make it claim a forecast without noise.
TEST_F(ManagementPages, TheReportIsThatOfTheForecastDrawnWhateverTheNoiseBoxSaysSince) {
  SetUpChosen();
  Forecast(true);
  ui_.saveAnswers.push_back(TempPath("drawn.txt"));
  Find<QPushButton>("Button19")->click();
  Find<QCheckBox>("CheckBox3")->setChecked(false);
  ui_.saveAnswers.push_back(TempPath("unticked.txt"));
  Find<QPushButton>("Button19")->click();
  const std::string drawn = Cp1251ToUtf8(ReadBytes(TempPath("drawn.txt")));
  EXPECT_EQ(Cp1251ToUtf8(ReadBytes(TempPath("unticked.txt"))), drawn);
  EXPECT_EQ(drawn.find("Количество лет прогноза  5\r\n \r\nГОД\tБИОМАССА ЗАПАСА\t\tУЛОВЫ\r\n"),
            std::string::npos);
}

TEST_F(ManagementPages, CancellingTheDialogWritesNothing) {
  SetUpChosen();
  Forecast(false);
  const QStringList before = QDir(TempPath("")).entryList(QDir::Files);
  Find<QPushButton>("Button19")->click();  // no answer queued: cancelled
  EXPECT_EQ(ui_.saveRequests.size(), 1u);
  EXPECT_EQ(QDir(TempPath("")).entryList(QDir::Files), before);
  EXPECT_EQ(ui_.boxes.size(), 0u);
}

TEST_F(ManagementPages, AnUnwritableFolderIsReportedAndTheReportStaysOnScreen) {
  SetUpChosen();
  Forecast(false);
  const QString report = Find<QPlainTextEdit>("Memo3")->toPlainText();
  const QString path = TempPath("missing-folder/r.txt");
  ui_.saveAnswers.push_back(path);
  Find<QPushButton>("Button19")->click();
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Error);
  EXPECT_TRUE(ui_.boxes[0].text.contains(path)) << ui_.boxes[0].text.toStdString();
  EXPECT_FALSE(QFile::exists(path));
  EXPECT_FALSE(QFile::exists(TempPath("missing-folder/r.jpg")));
  EXPECT_EQ(Find<QPlainTextEdit>("Memo3")->toPlainText(), report);
}

TEST_F(ManagementPages, TheChartMenuWritesABitmapBesideTheDataFile) {
  SetUpChosen();
  Forecast(false);
  Action("N6")->trigger();
  ASSERT_EQ(ui_.boxes.size(), 0u) << ui_.boxes[0].text.toStdString();
  const QString picture = TempPath("yellowfin.bmp");
  const std::string image = ReadBytes(picture);
  ASSERT_GE(image.size(), 2u);
  EXPECT_EQ(image.substr(0, 2), "BM");
  const QImage decoded(picture, "BMP");
  EXPECT_GE(decoded.width(), 1000);
  EXPECT_GE(decoded.height(), 600);
  // The user is told where the picture went.
  EXPECT_TRUE(window_->statusBar()->currentMessage().contains(
      QDir::toNativeSeparators(QFileInfo(picture).absoluteFilePath())))
      << window_->statusBar()->currentMessage().toStdString();
}

// --- the Kobe plot and the refined values -------------------------------------------

TEST_F(ManagementPages, TheKobeTabDrawsTheCoresPlotOfTheForecastAndTheReportGetsItAsPng) {
  SetUpChosen();
  PageControl* tabs = window_->Tac()->Results();
  EXPECT_FALSE(tabs->IsTabVisible(TacPage::kKobeTab));
  const projection::ForecastResult forecast = ExpectedForecast(true);
  Forecast(true);
  ASSERT_EQ(ui_.boxes.size(), 0u) << ui_.boxes[0].text.toStdString();
  EXPECT_TRUE(tabs->IsTabVisible(TacPage::kKobeTab));
  EXPECT_EQ(tabs->TabBar()->tabText(TacPage::kKobeTab), "Диаграмма Кобе");

  const AssessmentState& state = window_->State();
  const projection::KobeChart expected = projection::BuildKobeChart(
      state.AnalysisSeries, state.ModelFits[0], forecast.FirstYear, &forecast, DecimalMark());
  ChartPanel* kobe = window_->Tac()->KobeChart();
  EXPECT_EQ(kobe->Points(TacPage::kKobeObserved), expected.Observed);
  EXPECT_EQ(kobe->Points(TacPage::kKobeForecast), expected.Forecast);
  EXPECT_EQ(kobe->Points(TacPage::kKobeBmsyLine), expected.BmsyLine);
  EXPECT_EQ(kobe->Points(TacPage::kKobeFmsyLine), expected.FmsyLine);
  EXPECT_EQ(expected.Observed.size(), 22u);
  EXPECT_EQ(expected.Forecast.size(), 6u);  // from 1955 along the five forecast years
  for (const projection::KobeArea& area : expected.Areas) {
    EXPECT_EQ(kobe->Area(TacPage::KobeArea(area.Quadrant)),
              (ChartArea{area.XMin, area.XMax, area.YMin, area.YMax}));
  }
  std::vector<ChartLabel> years;
  for (const projection::KobePoint& p : expected.Points) {
    if (!p.Label.empty()) years.push_back({{p.BRatio, p.FRatio}, QString::fromStdString(p.Label)});
  }
  ASSERT_EQ(years.size(), 3u);
  EXPECT_EQ(years[0].text, "1934");
  EXPECT_EQ(years[1].text, "1955");
  EXPECT_EQ(years[2].text, "1960");
  EXPECT_EQ(kobe->Labels(TacPage::kKobeYears), years);
  EXPECT_EQ(kobe->AxisRange(Axis::Bottom), (std::pair<double, double>{0.0, expected.XMax}));
  EXPECT_EQ(kobe->AxisRange(Axis::Left), (std::pair<double, double>{0.0, expected.YMax}));
  // The status names its biomass: without a bootstrap, the observed U/q.
  ASSERT_FALSE(window_->State().Uncertainty.has_value());
  QStringList summary;
  for (const std::string& line : uncertainty::KobeStatusLines(expected, nullptr, DecimalMark()))
    summary << QString::fromStdString(line);
  EXPECT_EQ(Find<QLabel>("KobeSummary")->text(), summary.join('\n'));
  EXPECT_TRUE(summary.front().contains(QStringLiteral("B = U/q по наблюдениям")));

  // «Сохранить в файл» writes the plot beside the report, as drawn (the tab
  // was never shown).
  ui_.saveAnswers.push_back(TempPath("report.txt"));
  Find<QPushButton>("Button19")->click();
  ASSERT_EQ(ui_.boxes.size(), 0u) << ui_.boxes[0].text.toStdString();
  const QString picture = TempPath("report_kobe.png");
  EXPECT_EQ(ReadBytes(picture).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  const QImage decoded(picture, "PNG");
  EXPECT_GE(decoded.width(), 900);
  EXPECT_GE(decoded.height(), 800);
  std::set<QRgb> colours;
  for (int y = 0; y < decoded.height(); y += 4) {
    for (int x = 0; x < decoded.width(); x += 4) colours.insert(decoded.pixel(x, y) | 0xFF000000u);
  }
  for (int q = 0; q < 4; ++q) {
    const QColor fill =
        kobe->AreaColor(TacPage::KobeArea(static_cast<projection::KobeQuadrant>(q)));
    EXPECT_EQ(colours.count(fill.rgb()), 1u) << "quadrant " << q;
  }
}

// With confidence intervals the Kobe plot draws the replicates' cloud and
// the zones' shares in its title (so the saved picture has them), and the
// report ends with the intervals.
TEST_F(ManagementPages, TheKobePlotDrawsTheCloudOfTheIntervals) {
  SetUpChosen();
  AssessmentState& state = window_->State();
  estimation::ParameterBounds bounds;
  bounds.MinK = state.ModelFits[0].K / 10.0;
  bounds.MaxK = state.ModelFits[0].K * 10.0;
  uncertainty::BootstrapOptions options;
  options.Replicates = uncertainty::kMinReplicates;
  uncertainty::EstimateUncertainty(state, bounds, options);
  Forecast(true);
  ASSERT_EQ(ui_.boxes.size(), 0u) << ui_.boxes[0].text.toStdString();
  const uncertainty::KobeCloud cloud = uncertainty::KobeCloudOf(*state.Uncertainty);
  ChartPanel* kobe = window_->Tac()->KobeChart();
  EXPECT_EQ(kobe->Points(TacPage::kKobeCloud), cloud.Points);
  EXPECT_TRUE(kobe->SeriesInLegend(TacPage::kKobeCloud));
  EXPECT_TRUE(kobe->Title().contains(
      QString::fromStdString(uncertainty::KobeCloudZones(cloud, DecimalMark()))));
  const QStringList report = Lines(Find<QPlainTextEdit>("Memo3"));
  const std::vector<std::string> section =
      uncertainty::ReportLines(*state.Uncertainty, DecimalMark());
  ASSERT_GT(report.size(), static_cast<qsizetype>(section.size()));
  EXPECT_EQ(report.back(), QString::fromStdString(section.back()));
}

TEST_F(ManagementPages, AKobePlotThatCannotBeWrittenIsReportedAfterTheReportWasSaved) {
  SetUpChosen();
  Forecast(false);
  // A folder in the way of the picture.
  ASSERT_TRUE(QDir().mkpath(TempPath("r_kobe.png")));
  ui_.saveAnswers.push_back(TempPath("r.txt"));
  Find<QPushButton>("Button19")->click();
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Error);
  const QString text = ui_.boxes[0].text;
  EXPECT_TRUE(text.startsWith(QStringLiteral("Отчёт сохранён в файл «") + TempPath("r.txt")))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("диаграммы Кобе"))) << text.toStdString();
  EXPECT_TRUE(text.contains(TempPath("r_kobe.png"))) << text.toStdString();
  EXPECT_GT(ReadBytes(TempPath("r.txt")).size(), 100u);
  EXPECT_TRUE(QFile::exists(TempPath("r.jpg")));
}

TEST_F(ManagementPages, TheReportSaysTheValuesWereRefinedOnlyAfterTheyWereAdopted) {
  // Page 2 as the user drives it: the Schaefer sum-of-squares variant alone,
  // a short search, the model choice.
  Started();
  dataFile_ = TempPath("yellowfin.txt");
  ASSERT_TRUE(QFile::copy(QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"),
                          dataFile_));
  ui_.openAnswers.push_back(dataFile_);
  Action("N3")->trigger();
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Estimation));
  for (const char* box : {"CheckFox", "CheckPT", "VariantChecks1", "VariantChecks2"}) {
    Find<QCheckBox>(box)->click();
  }
  window_->Estimation()->SetMaxFailuresForTesting(3000);
  Find<QPushButton>("Button5")->click();
  ASSERT_TRUE(WaitIdle());
  auto* cbb1 = Find<QComboBox>("cbb1");
  ASSERT_EQ(cbb1->count(), 1);
  cbb1->setCurrentIndex(0);
  emit cbb1->activated(0);
  AddReferencePointsAndRules(*window_, {Linear("0.3")});
  Evaluate();
  ChooseRule(0);
  Forecast(false);
  ui_.saveAnswers.push_back(TempPath("searched.txt"));
  Find<QPushButton>("Button19")->click();
  ASSERT_EQ(ui_.boxes.size(), 0u) << ui_.boxes[0].text.toStdString();
  const std::string refinedLine = *Utf8ToCp1251(projection::kRefinedParametersLine);
  EXPECT_EQ(ReadBytes(TempPath("searched.txt")).find(refinedLine), std::string::npos);

  auto* adopt = Find<QPushButton>("ButtonAdoptRefined");
  ASSERT_TRUE(adopt->isEnabled());
  adopt->click();
  ASSERT_EQ(ui_.boxes.size(), 0u) << ui_.boxes[0].text.toStdString();
  // The reference-point page brings its points up to date when shown.
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
  Forecast(false);
  EXPECT_TRUE(
      Lines(Find<QPlainTextEdit>("Memo3"))
          .endsWith(QString::fromStdString(std::string(projection::kRefinedParametersLine))));
  ui_.saveAnswers.push_back(TempPath("refined.txt"));
  Find<QPushButton>("Button19")->click();
  ASSERT_EQ(ui_.boxes.size(), 0u) << ui_.boxes[0].text.toStdString();
  const std::string refined = ReadBytes(TempPath("refined.txt"));
  EXPECT_EQ(refined.substr(refined.size() - refinedLine.size() - 2), refinedLine + "\r\n");
  const std::string k =
      "K  " + estimation::ResultTextsOf(window_->State(), 0, DecimalMark()).K + "\r\n";
  EXPECT_NE(Cp1251ToUtf8(refined).find(k), std::string::npos) << k;
  EXPECT_EQ(Cp1251ToUtf8(ReadBytes(TempPath("searched.txt"))).find(k), std::string::npos);
}

// Another data set after the whole road: pages 3 … 6 hide and keep nothing
// of the first one, and no report can be written from its results.
TEST_F(ManagementPages, ASecondDataSetLeavesNothingOfTheFirstAndNoReport) {
  SetUpChosen();
  Forecast(true);
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  ASSERT_FALSE(Chart()->Points(TacPage::kBiomass).empty());

  const QString second = TempPath("simulated.txt");
  ASSERT_TRUE(QFile::copy(
      QStringLiteral(TARVIK_SOURCE_DIR "/examples/schaefer_simulated_1990_2019.txt"), second));
  ui_.openAnswers.push_back(second);
  ui_.saveChangesAnswers.push_back(SaveAnswer::Discard);  // the first file was set up by hand
  Action("N3")->trigger();
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  ASSERT_EQ(window_->State().DataFileName, second.toStdString());

  const AssessmentState& state = window_->State();
  EXPECT_TRUE(state.ModelChoiceText.empty());
  EXPECT_TRUE(state.ReferencePoints.Tabs.empty());
  EXPECT_FALSE(state.Indicators.Evaluated);
  EXPECT_FALSE(state.Forecast.has_value());
  for (const model::ModelFit& fit : state.ModelFits) {
    EXPECT_EQ(fit.Origin, model::FitOrigin::None);
    EXPECT_EQ(fit.K, 0.0);
    EXPECT_EQ(fit.BMSY, 0.0);
  }
  for (PageIndex page :
       {PageIndex::ReferencePoints, PageIndex::Rule, PageIndex::Performance, PageIndex::Tac}) {
    EXPECT_FALSE(window_->Pages()->IsTabVisible(static_cast<int>(page)));
  }
  EXPECT_EQ(Find<QTabWidget>("PageControl2")->count(), 0);
  EXPECT_EQ(Grid()->rowCount(), 1);
  EXPECT_TRUE(Find<QPlainTextEdit>("Memo2")->toPlainText().isEmpty());
  EXPECT_TRUE(Chart()->Points(TacPage::kBiomass).empty());
  EXPECT_TRUE(Find<QPlainTextEdit>("Memo3")->toPlainText().isEmpty());
  EXPECT_FALSE(window_->Tac()->Results()->IsTabVisible(TacPage::kKobeTab));
  EXPECT_TRUE(Find<QLineEdit>("ResultEditsK0")->text().isEmpty());

  // The workflow items still bring the pages to the front: they are empty,
  // and saving the report finds nothing to save.
  window_->Flow().BringToFront(PageIndex::Tac);
  ui_.saveAnswers.push_back(TempPath("mixed.txt"));
  Find<QPushButton>("Button19")->click();
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Information);
  EXPECT_FALSE(QFile::exists(TempPath("mixed.txt")));
  EXPECT_TRUE(Chart()->Points(TacPage::kBiomass).empty());
}

TEST_F(ManagementPages, BeforeAnyForecastThereIsNothingToSave) {
  SetUpChosen();
  const QStringList before = QDir(TempPath("")).entryList(QDir::Files);
  Find<QPushButton>("Button19")->click();
  Action("N6")->trigger();
  EXPECT_EQ(ui_.saveRequests.size(), 0u);
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Information), 2);
  EXPECT_TRUE(ui_.boxes[0].text.contains(QStringLiteral("Сохранять пока нечего")));
  EXPECT_EQ(QDir(TempPath("")).entryList(QDir::Files), before);
}

}  // namespace
}  // namespace tarvik::app::testing
