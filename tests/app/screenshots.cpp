#include <cstdio>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>

#include "app/assessment_document.h"
#include "app/data_page.h"
#include "app/estimation_page.h"
#include "app/help_window.h"
#include "app/refpoints_page.h"
#include "app/rule_page.h"
#include "app/tac_page.h"
#include "assessment/reference_points.h"
#include "assessment/fit_checks.h"
#include "app_fixture.h"
#include "copied_rows.h"
#include "data/data_file.h"
#include "fitted_schaefer.h"
#include "fitted_state.h"
#include "rbridge/r_runner.h"

namespace tarvik::app::testing {
namespace {

// Not a check but a helper program (tarvik_app_screenshots, not run by
// CTest): with TARVIK_SCREENSHOT_DIR set it writes pictures of the welcome
// window and of every page at the design size and at the smallest size, for
// looking at the layout.
//   TARVIK_SCREENSHOT_DIR=/tmp/shots QT_QPA_PLATFORM=xcb xvfb-run -a
//   build/tests/app/tarvik_app_screenshots
TEST_F(AppTest, Screenshots) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  Create();
  window_->Welcome()->grab().save(folder + "/welcome.png");
  QTest::mouseClick(window_->Welcome()->StartLabel(), Qt::LeftButton);
  QCoreApplication::processEvents();

  const QString path = TempPath("sample.txt");
  std::vector<std::array<std::string, 4>> rows;
  for (int i = 0; i < 30; ++i) {
    const double effort = 100 + 12 * i;
    const double cpue = 2.0 - 0.004 * effort + 0.05 * ((i * 7) % 5);
    rows.push_back({std::to_string(1990 + i), std::to_string(cpue).substr(0, 5),
                    std::to_string(static_cast<int>(effort)),
                    std::to_string(cpue * effort).substr(0, 6)});
  }
  data::DataDescription description;
  description.species = "Треска";
  description.stock = "Северо-восточная арктическая";
  description.effortUnit = "Судосутки промысла";
  description.catchUnitExponent = 3;
  data::WriteDataFile(path.toStdString(), description, data::DataTable::FromRows(rows));
  ui_.openAnswers.push_back(path);
  Action("N3")->trigger();
  window_->findChild<QPushButton*>("Button1")->click();
  // Every tab shown, as at the end of the road, so the tab bar is seen whole.
  for (int page = 0; page < 6; ++page) window_->Pages()->SetTabVisible(page, true);
  const auto shootPages = [&](const QSize& size, const QString& suffix) {
    window_->resize(size);
    for (int page = 0; page < 6; ++page) {
      window_->Pages()->BringToFront(page);
      QCoreApplication::processEvents();
      window_->grab().save(folder + QStringLiteral("/page%1%2.png").arg(page + 1).arg(suffix));
    }
  };
  shootPages(QSize(1025, 784), QString());
  shootPages(window_->minimumSize(), QStringLiteral("-min"));
  window_->resize(1400, 900);
  window_->Pages()->BringToFront(0);
  QCoreApplication::processEvents();
  window_->grab().save(folder + "/page1-large.png");

  // The example with the longest numbers, at the smallest size.
  ui_.saveChangesAnswers.push_back(SaveAnswer::Discard);
  ui_.openAnswers.push_back(
      QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"));
  Action("N3")->trigger();
  window_->findChild<QPushButton*>("Button1")->click();
  window_->resize(window_->minimumSize());
  window_->Pages()->BringToFront(0);
  QCoreApplication::processEvents();
  window_->grab().save(folder + "/page1-yellowfin-min.png");
  window_->resize(1025, 784);
  QCoreApplication::processEvents();
  window_->grab().save(folder + "/page1-yellowfin.png");
}

// A started window with a copy of the yellowfin example opened and the
// estimation page in front at the design size (with R looked for when `withR`).
class YellowfinShots : public AppTest {
 protected:
  void OpenOnTheEstimationPage(bool withR) {
    Started();
    if (withR) window_->State().RDirectory = rbridge::LocateR();
    const QString path = TempPath("yellowfin.txt");
    QFile::copy(QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"), path);
    ui_.openAnswers.push_back(path);
    Action("N3")->trigger();
    window_->resize(1025, 784);
    window_->Pages()->BringToFront(1);
  }
};

// The estimation page through its stages: after the search, with the tuning
// panel and the hold-out chart, 24 variants, the objective surface (with R)
// and the retrospective curves on page 6; at the design size and at the
// window's smallest size.
TEST_F(YellowfinShots, EstimationScreenshots) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  OpenOnTheEstimationPage(true);
  const auto shot = [&](const QString& name) {
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/" + name + ".png");
  };
  shot("estimation-shown");
  window_->Estimation()->SetMaxFailuresForTesting(300000);
  Find<QPushButton>("Button5")->click();
  EXPECT_TRUE(QTest::qWaitFor([&] { return Find<QProgressBar>("g1")->value() >= 150; }, 60000));
  shot("estimation-running");
  WaitIdle();
  window_->Estimation()->SetMaxFailuresForTesting(20000);
  Find<QPushButton>("Button5")->click();
  WaitIdle();
  shot("estimation-searched");
  Find<QPushButton>("Button18")->click();
  shot("estimation-tuning");
  Find<QPushButton>("Button18")->click();
  window_->resize(window_->minimumSizeHint());
  shot("estimation-minimum");
  window_->resize(1025, 784);

  // The model choice: the residuals by year and the button that adopts the
  // refined values; then adopted, with the tuning panel as well.
  {
    auto* choice = Find<QComboBox>("cbb1");
    const int logSchaefer = choice->findText(QStringLiteral("Шефер Лог"));
    choice->setCurrentIndex(logSchaefer);
    emit choice->activated(logSchaefer);
    WaitIdle();
    shot("estimation-chosen");
    window_->resize(window_->minimumSizeHint());
    shot("estimation-chosen-minimum");
    Find<QPushButton>("ButtonAdoptRefined")->click();
    Find<QPushButton>("Button18")->click();
    shot("estimation-adopted-tuning-minimum");
    Find<QPushButton>("Button18")->click();
    window_->resize(1025, 784);
    shot("estimation-adopted");
    // Every variant on again for the search with the hold-out years.
    for (const char* model : {"CheckSchaefer", "CheckFox", "CheckPT"}) {
      Find<QCheckBox>(model)->click();
    }
  }

  Find<QCheckBox>("CheckBox4")->setChecked(true);
  Find<QPushButton>("Button5")->click();
  WaitIdle();
  shot("estimation-holdout");
  auto* cbb1 = Find<QComboBox>("cbb1");
  cbb1->setCurrentIndex(4);
  emit cbb1->activated(4);
  WaitIdle();
  Find<QPushButton>("Button21")->click();
  WaitIdle();
  shot("estimation-surface");
  Find<QPushButton>("btn1")->click();
  shot("estimation-surface2");

  QCheckBox* box = window_->findChild<QCheckBox*>("VariantChecks4");
  emit box->customContextMenuRequested(QPoint(4, 4));
  window_->Estimation()->ResultsMenu()->hide();
  Action("N4")->trigger();
  WaitIdle();
  shot("tac-retrospective");

  window_->Pages()->BringToFront(1);
  auto* edit11 = Find<QLineEdit>("Edit11");
  edit11->setText("2-5,7,9");
  QTest::keyClick(edit11, Qt::Key_Return);
  shot("estimation-24");
}

// The tab «Модель ошибки наблюдения» of the estimation page before and after
// «Оценить» and after the adoption, at the design size and the smallest.
TEST_F(YellowfinShots, ObservationErrorScreenshots) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  OpenOnTheEstimationPage(false);
  const auto shot = [&](const QString& name) {
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/" + name + ".png");
    window_->resize(window_->minimumSizeHint());
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/" + name + "-minimum.png");
    window_->resize(1025, 784);
  };
  window_->Estimation()->SetMaxFailuresForTesting(3000);
  Find<QPushButton>("Button5")->click();
  WaitIdle();
  auto* tabs = Find<QTabWidget>("ResultTabs");
  tabs->setCurrentIndex(1);
  shot("observation-error-searched");
  auto* choice = Find<QComboBox>("cbb1");
  const int logSchaefer = choice->findText(QStringLiteral("Шефер Лог"));
  choice->setCurrentIndex(logSchaefer);
  emit choice->activated(logSchaefer);
  WaitIdle();
  Find<QPushButton>("ButtonObservationError")->click();
  WaitIdle();
  shot("observation-error-fitted");
  Find<QPushButton>("ButtonAdoptObservationError")->click();
  shot("observation-error-adopted");
  tabs->setCurrentIndex(0);
  shot("observation-error-results-tab");
}

// The tab «Модель пространства состояний» after «Оценить» and after the
// adoption, at the design size and the smallest.
TEST_F(YellowfinShots, StateSpaceScreenshots) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  OpenOnTheEstimationPage(false);
  const auto shot = [&](const QString& name) {
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/" + name + ".png");
    window_->resize(window_->minimumSizeHint());
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/" + name + "-minimum.png");
    window_->resize(1025, 784);
  };
  window_->Estimation()->SetMaxFailuresForTesting(3000);
  Find<QPushButton>("Button5")->click();
  WaitIdle();
  auto* choice = Find<QComboBox>("cbb1");
  const int logSchaefer = choice->findText(QStringLiteral("Шефер Лог"));
  choice->setCurrentIndex(logSchaefer);
  emit choice->activated(logSchaefer);
  WaitIdle();
  Find<QTabWidget>("ResultTabs")->setCurrentWidget(Find<QWidget>("StateSpacePanel"));
  Find<QPushButton>("ButtonStateSpace")->click();
  WaitIdle();
  shot("state-space-fitted");
  Find<QPushButton>("ButtonAdoptStateSpace")->click();
  shot("state-space-adopted");
}

// The tab «Диагностика» of the estimation page after a search and a model
// choice, then the search again with «Границы по данным» (q below 0.001 in
// the results panel); at the design size and at the smallest.
TEST_F(AppTest, DiagnosticsScreenshots) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  Started();
  const QString path = TempPath("yellowfin.txt");
  QFile::copy(QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"), path);
  ui_.openAnswers.push_back(path);
  Action("N3")->trigger();
  window_->Pages()->BringToFront(1);
  const auto shots = [&](const QString& name) {
    for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
      window_->resize(size);
      QCoreApplication::processEvents();
      window_->grab().save(folder + "/" + name + (size.width() == 1025 ? "" : "-min") + ".png");
    }
    window_->resize(1025, 784);
  };
  window_->Estimation()->SetMaxFailuresForTesting(5000);
  Find<QPushButton>("Button5")->click();
  WaitIdle();
  auto* choice = Find<QComboBox>("cbb1");
  choice->setCurrentIndex(choice->findText(QStringLiteral("Шефер СК")));
  emit choice->activated(choice->currentIndex());
  WaitIdle();
  Find<QTabWidget>("TabsEstimationRight")->setCurrentIndex(1);
  WaitIdle();
  shots("estimation-diagnostics");
  Find<QTabWidget>("TabsEstimationRight")->setCurrentIndex(0);
  Find<QPushButton>("ButtonBoundsFromData")->click();
  for (const char* model : {"CheckSchaefer", "CheckFox", "CheckPT"}) {
    Find<QCheckBox>(model)->click();
  }
  Find<QPushButton>("Button5")->click();
  WaitIdle();
  shots("estimation-bounds-from-data");
  Find<QTabWidget>("TabsEstimationRight")->setCurrentIndex(1);
  WaitIdle();
  shots("estimation-diagnostics-bounds-from-data");
}

}  // namespace
}  // namespace tarvik::app::testing

namespace tarvik::app::testing {
namespace {

// Pages 3 and 4 with the example data's Schaefer variant: the reference
// points with the production curves, the rule, the optimisation charts and
// (with R) pictures, the conservative mode; at the design size and at the
// window's smallest size.
TEST_F(AppTest, ScreenshotsOfReferencePointsAndRules) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  Started();
  AssessmentState& state = window_->State();
  state.RDirectory = rbridge::LocateR();
  EstimateAndChooseLikeCli(state, ExampleFile(), 0, "Шефер СК");
  state.DataFileName = TempPath("yellowfin.txt").toStdString();
  window_->Flow().ModelChosen();

  const auto shoot = [&](const QString& name) {
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/" + name + ".png");
  };
  for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
    const QString suffix = size == QSize(1025, 784) ? QString() : QStringLiteral("-small");
    window_->resize(size);
    window_->Pages()->BringToFront(2);
    window_->findChild<QPushButton*>("Button11")->click();
    shoot("page3" + suffix);
    window_->Pages()->BringToFront(3);
    window_->findChild<QPushButton*>("Button12")->click();
    shoot("page4" + suffix);
    window_->findChild<QPushButton*>("Button20")->click();
    ASSERT_TRUE(WaitIdle());
    shoot("page4-linear" + suffix);
    window_->Rule()->findChild<QToolButton*>("ButtonLogist")->click();
    window_->findChild<QPushButton*>("Button20")->click();
    ASSERT_TRUE(WaitIdle());
    shoot("page4-logistic" + suffix);
    window_->Rule()->findChild<QToolButton*>("btn3")->click();
    shoot("page4-conservative" + suffix);
    window_->Rule()->findChild<QToolButton*>("btn2")->click();
  }
}

}  // namespace
}  // namespace tarvik::app::testing

namespace tarvik::app::testing {
namespace {

// The rules evaluated on page 5 with `runs` runs, the first one chosen and
// its forecast drawn on page 6; false when the evaluation did not end.
bool ForecastOfTheFirstRule(MainWindow& window, const char* runs) {
  window.findChild<QLineEdit*>("EditKolvoProgon")->setText(QString::fromLatin1(runs));
  window.findChild<QPushButton*>("Button14")->click();
  if (!QTest::qWaitFor([&] { return !window.Background().Running(); }, 300000)) return false;
  auto* cbb2 = window.findChild<QComboBox*>("cbb2");
  cbb2->setCurrentIndex(0);
  emit cbb2->activated(0);
  window.findChild<QPushButton*>("Button16")->click();
  return true;
}

// Pages 5 and 6 after an evaluation of three rules and a forecast with
// noise, at the design size and at the window's smallest size.
TEST_F(AppTest, ScreenshotsOfTheManagementPages) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  Started();
  const QString path = TempPath("yellowfin.txt");
  ASSERT_TRUE(
      QFile::copy(QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"), path));
  SetUpFittedSchaefer(*window_, path,
                      {LinearRule("0.3"), LogisticRule("2", "0.5"), LinearRule("-1", 3)});
  ASSERT_TRUE(ForecastOfTheFirstRule(*window_, "1000"));
  // The bounds of K as the suitability check would have shown them.
  const double K = window_->State().ModelFits[0].K;
  for (const auto& [name, factor] :
       {std::pair{"EditInitialK", 1.0}, std::pair{"EditMinK", 0.1}, std::pair{"EditMaxK", 10.0}}) {
    window_->findChild<QLineEdit*>(name)->setText(QString::number(K * factor, 'f', 0));
  }
  window_->Tac()->Results()->BringToFront(TacPage::kDecisionTab);
  window_->findChild<QPushButton*>("DecisionCompute")->click();
  ASSERT_TRUE(WaitIdle());
  for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
    window_->resize(size);
    const QString suffix = QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
    window_->Pages()->BringToFront(static_cast<int>(PageIndex::Performance));
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/page5" + suffix + ".png");
    window_->Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
    for (int tab : {0, 1, TacPage::kKobeTab, TacPage::kDecisionTab}) {
      window_->Tac()->Results()->BringToFront(tab);
      QCoreApplication::processEvents();
      window_->grab().save(folder + QStringLiteral("/page6-tab%1").arg(tab + 1) + suffix + ".png");
    }
  }

  // The retrospective curves on page 6, a risk typed after the decision
  // table was computed, then a new Blim: what each page says then.
  AssessmentState copy = window_->State();
  estimation::RetrospectiveOptions retrospective;
  retrospective.MaxFailures = 300;
  estimation::SearchTexts texts;
  texts.InitialK = QString::number(K, 'f', 0).toStdString();
  texts.MinK = QString::number(K / 10, 'f', 0).toStdString();
  texts.MaxK = QString::number(K * 10, 'f', 0).toStdString();
  window_->Tac()->AddRetrospectiveCurves(
      estimation::RunRetrospective(copy, copy.Table, 0, texts, '.', retrospective),
      QStringLiteral("Шефер СК"));
  const auto shoot = [&](const QString& name) {
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/" + name + ".png");
  };
  for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
    window_->resize(size);
    const QString suffix = QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
    window_->Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
    window_->Tac()->Results()->BringToFront(2);
    shoot("page6-retrospective" + suffix);
    window_->Tac()->Results()->BringToFront(TacPage::kDecisionTab);
    window_->findChild<QDoubleSpinBox*>("DecisionRisk")->setValue(10.0);
    shoot("page6-risk-changed" + suffix);
    window_->findChild<QDoubleSpinBox*>("DecisionRisk")->setValue(5.0);
  }
  window_->Tac()->Results()->BringToFront(TacPage::kKobeTab);
  refpoints::ChangeSelector(window_->State(), refpoints::Selector::LimitBiomass, 2);
  window_->Rule()->Redraw();
  window_->Performance()->Redraw();
  window_->Tac()->Redraw();
  for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
    window_->resize(size);
    const QString suffix = QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
    for (const PageIndex page : {PageIndex::Rule, PageIndex::Performance}) {
      window_->Pages()->BringToFront(static_cast<int>(page));
      shoot(QStringLiteral("new-blim-page%1").arg(static_cast<int>(page) + 1) + suffix);
    }
    window_->Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
    for (int tab : {0, TacPage::kDecisionTab}) {
      window_->Tac()->Results()->BringToFront(tab);
      shoot(QStringLiteral("new-blim-page6-tab%1").arg(tab + 1) + suffix);
    }
  }
}

// The confidence intervals of the yellowfin Schaefer variant: page 3 with
// the intervals beside the points, the table and the r–K scatter, and the
// Kobe plot with the cloud; at the design size and the smallest.
TEST_F(AppTest, ScreenshotsOfTheConfidenceIntervals) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  Started();
  // The example itself: nothing is written beside it.
  SetUpFittedSchaefer(*window_,
                      QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"),
                      {LinearRule("0.3")});
  // The state was fitted without the estimation page: its fields are empty.
  const double K = window_->State().ModelFits[0].K;
  window_->ReferencePoints()->SetSearchBoundsSource([K] {
    estimation::ParameterBounds bounds;
    bounds.MinK = K / 10.0;
    bounds.MaxK = K * 10.0;
    return bounds;
  });
  window_->resize(1025, 784);
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
  Find<QPushButton>("IntervalButton")->click();
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes.front().text.toStdString();
  auto* tabs = Find<QTabWidget>("IntervalTabs");
  for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
    window_->resize(size);
    const QString suffix = size == QSize(1025, 784) ? QString() : QStringLiteral("-small");
    window_->Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
    for (int tab : {1, 2}) {
      tabs->setCurrentIndex(tab);
      QCoreApplication::processEvents();
      window_->grab().save(folder + QStringLiteral("/intervals-tab%1").arg(tab) + suffix + ".png");
    }
  }
  window_->resize(1025, 784);
  ASSERT_TRUE(ForecastOfTheFirstRule(*window_, "200"));
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
  for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
    window_->resize(size);
    const QString suffix = size == QSize(1025, 784) ? QString() : QStringLiteral("-small");
    window_->Tac()->Results()->BringToFront(TacPage::kKobeTab);
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/kobe-cloud" + suffix + ".png");
    window_->Tac()->Results()->BringToFront(1);
    QCoreApplication::processEvents();
    window_->grab().save(folder + "/report-intervals" + suffix + ".png");
  }
  window_->Tac()->KobeChart()->Picture(QSize(900, 800)).save(folder + "/kobe-cloud-saved.png");
}

}  // namespace
}  // namespace tarvik::app::testing

namespace tarvik::app::testing {
namespace {

// The pictures of the user guide: the road of the simulated example through
// the six pages in the window at its design size, and the guide's window.
// With TARVIK_GUIDE_IMAGES set (the guide's folder of pictures), under
// xvfb-run as above or on the offscreen platform:
//   TARVIK_GUIDE_IMAGES=$PWD/docs/guide/images QT_QPA_PLATFORM=offscreen \
//     build/tests/app/tarvik_app_screenshots --gtest_filter='*Guide*'
TEST_F(AppTest, GuideScreenshots) {
  const QString folder = qEnvironmentVariable("TARVIK_GUIDE_IMAGES");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_GUIDE_IMAGES not set";
  QDir().mkpath(folder);
  Started();
  window_->State().RDirectory = rbridge::LocateR();
  window_->resize(1025, 784);
  const auto shot = [&](const QString& name, QWidget* widget) {
    QCoreApplication::processEvents();
    EXPECT_TRUE(ui_.boxes.empty())
        << name.toStdString() << ": " << ui_.boxes.front().text.toStdString();
    ui_.boxes.clear();
    widget->grab().save(folder + "/" + name + ".png");
  };
  const auto click = [&](const char* button) {
    Find<QPushButton>(button)->click();
    ASSERT_TRUE(WaitIdle());
  };

  const QString path = TempPath("schaefer_simulated_1990_2019.txt");
  QFile::copy(QStringLiteral(TARVIK_SOURCE_DIR "/examples/schaefer_simulated_1990_2019.txt"), path);
  ui_.openAnswers.push_back(path);
  Action("N3")->trigger();
  click("Button1");
  shot("page1-data", window_.get());

  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Estimation));
  window_->Estimation()->SetMaxFailuresForTesting(20000);
  click("Button5");
  auto* choice = Find<QComboBox>("cbb1");
  const int schaefer = choice->findText(QStringLiteral("Шефер СК"));
  choice->setCurrentIndex(schaefer);
  emit choice->activated(schaefer);
  ASSERT_TRUE(WaitIdle());
  shot("page2-estimation", window_.get());

  window_->Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
  click("Button11");
  shot("page3-reference-points", window_.get());

  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Rule));
  click("Button12");
  // Two more rules: alpha 0.3 and 0.5.
  for (int position : {13, 15}) {
    Find<QSpinBox>("UpDownAlpha")->setValue(position);
    click("Button12");
  }
  shot("page4-rule", window_.get());

  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Performance));
  Find<QLineEdit>("EditKolvoProgon")->setText("1000");
  click("Button14");
  auto* rule = Find<QComboBox>("cbb2");
  rule->setCurrentIndex(0);
  emit rule->activated(0);
  shot("page5-indicators", window_.get());

  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
  click("Button16");
  shot("page6-forecast", window_.get());
  window_->Tac()->Results()->BringToFront(1);
  shot("page6-report", window_.get());
  window_->Tac()->Results()->BringToFront(TacPage::kKobeTab);
  shot("page6-kobe", window_.get());

  QTest::keyClick(window_.get(), Qt::Key_F1);
  window_->Help()->resize(1000, 700);
  shot("help-window", window_->Help());
  window_->Help()->close();
  Action("NAbout")->trigger();
  shot("about", Find<QDialog>("AboutDialog"));
}

}  // namespace
}  // namespace tarvik::app::testing

namespace tarvik::app::testing {
namespace {

// The road of the simulated example (catch in thousands of tonnes) as a
// newcomer takes it, at the design size and at the smallest: the data
// pasted, the estimation with the retrospective tab, the reference points,
// the rule, the indicator table and the forecast with its interval.
//   TARVIK_SCREENSHOT_DIR=/tmp/shots xvfb-run -a build/tests/app/tarvik_app_screenshots \
//     --gtest_filter='*Newcomer*'
TEST_F(AppTest, ScreenshotsOfTheNewcomerRoad) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  Started();
  const auto click = [&](const char* button) {
    Find<QPushButton>(button)->click();
    ASSERT_TRUE(WaitIdle());
  };
  const data::DataFile file =
      data::ReadDataFile(TARVIK_SOURCE_DIR "/examples/schaefer_simulated_1990_2019.txt", '.');
  ui_.clipboard = CopiedRows(file.table, DecimalMark());  // as the locale writes numbers
  Find<QAction>("est1")->trigger();
  Find<QSpinBox>("UpDown1")->setValue(3);
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Estimation));
  window_->Estimation()->SetMaxFailuresForTesting(5000);
  click("Button5");
  auto* choice = Find<QComboBox>("cbb1");
  const int schaefer = choice->findText(QStringLiteral("Шефер СК"));
  choice->setCurrentIndex(schaefer);
  emit choice->activated(schaefer);
  ASSERT_TRUE(WaitIdle());
  click("ButtonRetrospective");
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
  click("Button11");
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Rule));
  click("Button12");
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Performance));
  Find<QLineEdit>("EditKolvoProgon")->setText("500");
  click("Button14");
  auto* rule = Find<QComboBox>("cbb2");
  rule->setCurrentIndex(0);
  emit rule->activated(0);
  window_->Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
  Find<QCheckBox>("CheckBox3")->setChecked(true);
  window_->Tac()->Results()->BringToFront(1);
  click("Button16");
  for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
    window_->resize(size);
    const QString suffix = QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
    for (int page = 0; page < 6; ++page) {
      window_->Pages()->BringToFront(page);
      QCoreApplication::processEvents();
      window_->grab().save(folder + QStringLiteral("/road-page%1").arg(page + 1) + suffix + ".png");
    }
  }
  EXPECT_TRUE(ui_.boxes.empty()) << ui_.boxes.front().text.toStdString();
}

// A saved assessment opened in a fresh window: every page it reached, at
// the design size and the smallest, and the file menu.
TEST_F(AppTest, ScreenshotsOfAnOpenedAssessment) {
  const QString folder = qEnvironmentVariable("TARVIK_SCREENSHOT_DIR");
  if (folder.isEmpty()) GTEST_SKIP() << "TARVIK_SCREENSHOT_DIR not set";
  QDir().mkpath(folder);
  Started();
  const QString path = TempPath("yellowfin.txt");
  ASSERT_TRUE(
      QFile::copy(QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"), path));
  SetUpFittedSchaefer(*window_, path, {LinearRule("0.3"), LogisticRule("2", "0.5")});
  ASSERT_TRUE(ForecastOfTheFirstRule(*window_, "1000"));
  QTest::qWait(400);
  const QString saved = TempPath("yellowfin.tarvik");
  ui_.saveAnswers.push_back(saved);
  window_->Document()->SaveAsAction()->trigger();
  window_.reset();
  Started();
  window_->Document()->SetMaxFailuresForTesting(3000);  // as SetUpFittedSchaefer searched
  window_->Document()->OpenFile(saved);
  ASSERT_TRUE(WaitIdle());
  for (const QSize size : {QSize(1025, 784), window_->minimumSizeHint()}) {
    window_->resize(size);
    const QString suffix = QStringLiteral("-%1x%2").arg(size.width()).arg(size.height());
    for (int page = 0; page < window_->Pages()->Count(); ++page) {
      if (!window_->Pages()->IsTabVisible(page)) continue;
      window_->Pages()->BringToFront(page);
      QCoreApplication::processEvents();
      window_->grab().save(folder + QStringLiteral("/opened-page%1").arg(page + 1) + suffix + ".png");
    }
  }
  QMenu* file = window_->findChild<QMenu*>("ntcn1");
  file->popup(window_->mapToGlobal(QPoint(0, 20)));
  QCoreApplication::processEvents();
  file->grab().save(folder + "/opened-file-menu.png");
  std::printf("caption: %s\n", window_->windowTitle().toUtf8().constData());
}

}  // namespace
}  // namespace tarvik::app::testing
