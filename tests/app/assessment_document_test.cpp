// The assessment as a document of the window: saving, opening (replayed in
// the background), the caption's mark, the question on closing, the
// recovery file and the refusal of damaged files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "app/assessment_document.h"
#include "app/chart_panel.h"
#include "app/data_page.h"
#include "app/estimation_page.h"
#include "app/refpoints_page.h"
#include "app/tac_page.h"
#include "fitted_schaefer.h"
#include "app_fixture.h"
#include "assessment/data_set.h"
#include "assessment/journal.h"
#include "assessment/rules.h"
#include "common/files.h"

namespace tarvik::app::testing {
namespace {

const QString kYellowfin = QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt");

class AssessmentDocumentTest : public AppTest {
 protected:
  // The yellowfin file opened, one cell typed and one rule added.
  MainWindow& Worked() {
    MainWindow& window = Started();
    ui_.openAnswers.push_back(kYellowfin);
    Action("N3")->trigger();
    estimation::EditCell(window.State(), 2, 3, "5000");
    rules::RuleEditor rule;
    rule.AlphaText = "0.3";
    rules::AddRule(window.State(), rule, DecimalMark());
    Settle();
    return window;
  }
  // Lets the document see the completed transitions.
  void Settle() { QTest::qWait(400); }

  QString SavedAs(const QString& name) {
    const QString path = TempPath(name);
    ui_.saveAnswers.push_back(path);
    window_->Document()->SaveAction()->trigger();
    return path;
  }

  static char DecimalMark() { return '.'; }
};

TEST_F(AssessmentDocumentTest, TheCaptionNamesTheAssessmentAndMarksUnsavedWork) {
  MainWindow& window = Worked();
  EXPECT_EQ(window.windowTitle(), "Tarvik 4.0 — Новая оценка[*]");
  EXPECT_TRUE(window.isWindowModified());
  EXPECT_EQ(window.Document()->SaveAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
  EXPECT_TRUE(Action("N1")->shortcut().isEmpty());  // Ctrl+S went to the assessment
  SavedAs("work.tarvik");
  EXPECT_EQ(window.windowTitle(), "Tarvik 4.0 — work.tarvik[*]");
  EXPECT_FALSE(window.isWindowModified());
  estimation::EditCell(window.State(), 2, 3, "5100");
  Settle();
  EXPECT_TRUE(window.isWindowModified());
}

TEST_F(AssessmentDocumentTest, ClosingWithUnsavedWorkAsksAndOtmenaKeepsTheWindow) {
  MainWindow& window = Worked();
  window.Data()->MarkSaved();  // only the assessment is unsaved
  ui_.saveChangesAnswers.push_back(SaveAnswer::Cancel);
  EXPECT_FALSE(window.close());
  ASSERT_EQ(ui_.saveQuestions.size(), 1u);
  EXPECT_EQ(ui_.saveQuestions[0], "Сохранить оценку?");
  EXPECT_TRUE(window.isVisible());
}

TEST_F(AssessmentDocumentTest, AnOpenedAssessmentShowsTheSavedDataSetAndIsNotModified) {
  Worked();
  const AssessmentState before = window_->State();
  const QString path = SavedAs("work.tarvik");
  window_.reset();
  MainWindow& fresh = Started();
  fresh.Document()->OpenFile(path);
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(ui_.boxes.empty()) << ui_.boxes.front().text.toStdString();
  EXPECT_EQ(fresh.State().Table, before.Table);
  EXPECT_EQ(fresh.State().Table.Cell(2, 3), "5000");
  EXPECT_EQ(fresh.State().RuleNames, before.RuleNames);
  EXPECT_EQ(fresh.State().Journal.Steps, before.Journal.Steps);
  EXPECT_EQ(fresh.State().Random.Seed(), before.Random.Seed());
  EXPECT_EQ(fresh.windowTitle(), "Tarvik 4.0 — work.tarvik[*]");
  EXPECT_FALSE(fresh.isWindowModified());
  ASSERT_FALSE(fresh.Document()->RecentMenu()->actions().isEmpty());
  EXPECT_EQ(fresh.Document()->RecentMenu()->actions().front()->text(),
            QDir::toNativeSeparators(path));  // the latest first
}

TEST_F(AssessmentDocumentTest, TheRecoveryFileIsOfferedAfterAnAbnormalEnd) {
  Worked();
  const std::string recovery = window_->Document()->RecoveryPath();
  ASSERT_FALSE(recovery.empty());
  ASSERT_TRUE(std::filesystem::exists(PathFromUtf8(recovery)));
  const std::vector<RecordedStep> steps = window_->State().Journal.Steps;
  window_.reset();  // no closeEvent: as a crash leaves it
  ASSERT_TRUE(std::filesystem::exists(PathFromUtf8(recovery)));
  ui_.yesNoAnswer = true;
  ui_.yesNoQuestions.clear();
  MainWindow& again = Started();
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ui_.yesNoQuestions.size(), 1u);
  EXPECT_TRUE(ui_.yesNoQuestions[0].endsWith("Восстановить последнюю оценку?"));
  EXPECT_EQ(again.State().Journal.Steps, steps);
  EXPECT_EQ(again.State().Table.Cell(2, 3), "5000");
  EXPECT_TRUE(again.isWindowModified());  // recovered work is not saved anywhere
  // A normal end removes it.
  again.Data()->MarkSaved();
  ui_.saveChangesAnswers.push_back(SaveAnswer::Discard);
  EXPECT_TRUE(again.close());
  EXPECT_FALSE(std::filesystem::exists(PathFromUtf8(recovery)));
}

// What pages 2 and 3 show of the results: the fields and marks of the
// results panel, the model choice, the selectors and the reference points.
QStringList ResultTexts(MainWindow& window) {
  QStringList texts;
  const auto add = [&texts](const QWidget* sheet, const QWidget* within) {
    for (const QLineEdit* edit : within->findChildren<QLineEdit*>()) {
      if (edit->isVisibleTo(sheet)) texts << edit->objectName() + "=" + edit->text();
    }
    for (const QComboBox* box : sheet->findChildren<QComboBox*>()) {
      if (box->isVisibleTo(sheet)) texts << box->objectName() + "=" + box->currentText();
    }
  };
  window.Pages()->BringToFront(static_cast<int>(PageIndex::Estimation));
  add(window.Estimation(), window.Estimation()->findChild<QWidget*>("GroupBox6"));
  window.Pages()->BringToFront(static_cast<int>(PageIndex::ReferencePoints));
  add(window.ReferencePoints(), window.ReferencePoints());
  return texts;
}

TEST_F(AssessmentDocumentTest, TheWholeRoadOpensInAFreshWindowWithTheSameReport) {
  MainWindow& window = Started();
  SetUpFittedSchaefer(window, kYellowfin, {LinearRule("0.3"), LogisticRule("2", "0.5")});
  window.findChild<QLineEdit*>("EditKolvoProgon")->setText("200");
  window.findChild<QPushButton*>("Button14")->click();
  ASSERT_TRUE(WaitIdle());
  auto* rules = window.findChild<QComboBox*>("cbb2");
  rules->setCurrentIndex(1);
  emit rules->activated(1);
  window.findChild<QPushButton*>("Button16")->click();
  ASSERT_TRUE(window.State().Forecast.has_value());
  const QString original = TempPath("original.txt");
  ui_.saveAnswers.push_back(original);
  window.findChild<QPushButton*>("Button19")->click();
  const QStringList pages = ResultTexts(window);
  window.Pages()->BringToFront(static_cast<int>(PageIndex::Tac));
  Settle();
  const QString saved = SavedAs("road.tarvik");
  const assessment::Fingerprint fingerprint = assessment::FingerprintOf(window.State());
  window_.reset();

  MainWindow& fresh = Started();
  fresh.Document()->SetMaxFailuresForTesting(3000);  // as SetUpFittedSchaefer searched
  fresh.Document()->OpenFile(saved);
  ASSERT_TRUE(WaitIdle());
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes.front().text.toStdString();  // no result differs
  EXPECT_EQ(assessment::FingerprintOf(fresh.State()), fingerprint);
  EXPECT_EQ(fresh.Pages()->ActivePage(), static_cast<int>(PageIndex::Tac));  // as saved
  const QString reopened = TempPath("reopened.txt");
  ui_.saveAnswers.push_back(reopened);
  fresh.findChild<QPushButton*>("Button19")->click();
  EXPECT_TRUE(ui_.boxes.empty()) << ui_.boxes.front().text.toStdString();  // the Kobe plot too
  EXPECT_FALSE(fresh.Tac()->ForecastChart()->Title().isEmpty());  // the forecast is drawn
  const std::string bytes = ReadBytes(original);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(ReadBytes(reopened), bytes);
  // Pages 2 and 3 show the fits, the choice and the selectors as they were left.
  const QStringList shown = ResultTexts(fresh);
  EXPECT_TRUE(shown.contains("cbb1=Шефер СК")) << shown.join(", ").toStdString();
  EXPECT_EQ(shown, pages);
}

struct DamagedFile {
  const char* name;
  const char* from;  // replaced in the saved file's text…
  const char* to;    // …by this
  const char* message;
};

class DamagedAssessmentFile : public AssessmentDocumentTest,
                              public ::testing::WithParamInterface<DamagedFile> {};

TEST_P(DamagedAssessmentFile, IsRefusedWithItsMessageAndChangesNothing) {
  Worked();
  const QString saved = SavedAs("good.tarvik");
  std::string text = ReadBytes(saved);
  const std::string from = GetParam().from;
  if (from.empty()) {
    text.resize(text.size() / 2);  // truncated
  } else {
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    text.replace(at, from.size(), GetParam().to);
  }
  const QString bad = TempPath("bad.tarvik");
  std::ofstream(bad.toStdString(), std::ios::binary) << text;
  estimation::EditCell(window_->State(), 2, 4, "4000");  // after the save: unsaved work
  const AssessmentState before = window_->State();
  const QString caption = window_->windowTitle();
  ui_.boxes.clear();
  RunHandler(ui_, [&] { window_->Document()->OpenFile(bad); });
  ASSERT_TRUE(WaitIdle());
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_NE(ui_.boxes[0].text.toStdString().find(GetParam().message), std::string::npos)
      << ui_.boxes[0].text.toStdString();
  EXPECT_EQ(window_->State().Table, before.Table);
  EXPECT_EQ(window_->State().Journal.Steps, before.Journal.Steps);
  EXPECT_EQ(window_->State().RuleNames, before.RuleNames);
  EXPECT_EQ(window_->windowTitle(), caption);
}

INSTANTIATE_TEST_SUITE_P(
    Window, DamagedAssessmentFile,
    ::testing::Values(
        DamagedFile{"Truncated", "", "", "Файл оценки обрезан: текст кончается"},
        DamagedFile{"NewerVersion", "\"format_version\": 1", "\"format_version\": 7",
                    "записан в формате версии 7"},
        DamagedFile{"UnknownTransition", "\"add_rule\"", "\"jump\"", "«jump»"},
        DamagedFile{"OutOfRangeValue", "\"column\": 2", "\"column\": 9",
                    "шаг 2 («edit_cell»): поле «column»: значение 9 вне допустимого диапазона"},
        DamagedFile{"ForeignFile", "\"format\": \"tarvik-assessment\"", "\"format\": \"other\"",
                    "Это не файл оценки Tarvik"}),
    [](const ::testing::TestParamInfo<DamagedFile>& info) { return info.param.name; });

}  // namespace
}  // namespace tarvik::app::testing
