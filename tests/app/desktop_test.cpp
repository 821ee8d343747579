#include <algorithm>
#include <atomic>
#include <thread>

#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabBar>

#include "app/data_page.h"
#include "app/qt_services.h"
#include "app/string_grid.h"
#include "app_fixture.h"
#include "data/data_file.h"

// The window as a desktop program: Qt's own texts in Russian, the question
// before typed data are dropped, the file menu's order and keys.
namespace tarvik::app::testing {
namespace {

class Desktop : public AppTest {
 protected:
  QString WriteFile(const QString& name) {
    const QString path = TempPath(name);
    data::WriteDataFile(path.toStdString(), {},
                        data::DataTable::FromRows({{"1995", "1.2", "100", "120"},
                                                   {"1996", "1.1", "120", "132"}}));
    return path;
  }
  void Open(const QString& path) {
    ui_.openAnswers.push_back(path);
    Action("N3")->trigger();
  }
  StringGrid* Grid() { return window_->Data()->Grid(); }
  // Types into the U cell of row 1.
  void TypeIntoTheTable(const QString& text = "1.25") { Grid()->item(1, 1)->setText(text); }
};

TEST_F(Desktop, QtStandardTextsAreRussian) {
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Отмена");
  QWidget parent;
  const auto box = SaveChangesBox(&parent, "?");
  EXPECT_EQ(box->button(QMessageBox::Yes)->text().remove('&'), "Да");
  EXPECT_EQ(box->button(QMessageBox::No)->text().remove('&'), "Нет");
  EXPECT_EQ(box->button(QMessageBox::Cancel)->text().remove('&'), "Отмена");
  EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::Cancel));
  // The standard menu of an edit.
  QLineEdit edit;
  std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
  QStringList captions;
  for (QAction* action : menu->actions()) captions << action->text().remove('&');
  EXPECT_TRUE(captions.join(' ').contains("Вставить")) << captions.join('|').toStdString();
  EXPECT_FALSE(captions.join(' ').contains("Paste"));
}

TEST_F(Desktop, ClosingAnUnchangedWindowAsksNothing) {
  MainWindow& window = Started();
  Open(WriteFile("plain.txt"));
  EXPECT_TRUE(window.close());
  EXPECT_TRUE(ui_.saveQuestions.empty());
  EXPECT_FALSE(window.isVisible());
}

TEST_F(Desktop, ClosingAChangedTableAsksAndCancelKeepsTheWindowOpen) {
  MainWindow& window = Started();
  const QString path = WriteFile("cod.txt");
  const std::string bytes = ReadBytes(path);
  Open(path);
  TypeIntoTheTable();

  ui_.saveChangesAnswers.push_back(SaveAnswer::Cancel);
  EXPECT_FALSE(window.close());
  ASSERT_EQ(ui_.saveQuestions.size(), 1u);
  EXPECT_TRUE(ui_.saveQuestions[0].startsWith("Сохранить изменения в файле"));
  EXPECT_TRUE(ui_.saveQuestions[0].contains("cod.txt"));
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(Grid()->Cell(1, 1), "1.25");
  EXPECT_EQ(ReadBytes(path), bytes);

  ui_.saveChangesAnswers.push_back(SaveAnswer::Discard);
  EXPECT_TRUE(window.close());
  EXPECT_EQ(ui_.saveQuestions.size(), 2u);
  EXPECT_FALSE(window.isVisible());
  EXPECT_EQ(ReadBytes(path), bytes);  // Нет: the file stays as it was
}

TEST_F(Desktop, YesSavesBeforeClosingAndAFailedSaveKeepsTheWindowOpen) {
  MainWindow& window = Started();
  const QString path = WriteFile("cod.txt");
  Open(path);
  TypeIntoTheTable();
  // A species name the file's code page cannot hold: the save fails.
  Find<QLineEdit>("Edit1")->setText("Треска ★");
  ui_.saveChangesAnswers.push_back(SaveAnswer::Save);
  EXPECT_FALSE(window.close());
  EXPECT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_TRUE(window.isVisible());

  Find<QLineEdit>("Edit1")->setText("Треска");
  ui_.saveChangesAnswers.push_back(SaveAnswer::Save);
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
  const data::DataFile saved = data::ReadDataFile(path.toStdString(), '.');
  EXPECT_EQ(saved.table.Cell(1, 1), "1.25");
  EXPECT_EQ(saved.description.species, "Треска");
}

// Data pasted without any file: Да asks for a name; cancelling that dialog
// cancels the closing.
TEST_F(Desktop, YesWithoutAFileAsksForItsName) {
  MainWindow& window = Started();
  ui_.clipboard = "2001\t2.5\t40\t100\r\n";
  Find<QAction>("est1")->trigger();
  ui_.saveChangesAnswers.push_back(SaveAnswer::Save);
  EXPECT_FALSE(window.close());  // no name given
  ASSERT_EQ(ui_.saveQuestions.size(), 1u);
  EXPECT_EQ(ui_.saveQuestions[0], "Сохранить введённые данные в файл?");
  EXPECT_EQ(ui_.saveRequests.size(), 1u);
  EXPECT_TRUE(window.isVisible());

  const QString path = TempPath("pasted.txt");
  ui_.saveChangesAnswers.push_back(SaveAnswer::Save);
  ui_.saveAnswers.push_back(path);
  EXPECT_TRUE(window.close());
  EXPECT_EQ(data::ReadDataFile(path.toStdString(), '.').table.Cell(0, 1), "2001");
  EXPECT_EQ(window.State().DataFileName, path.toStdString());
}

TEST_F(Desktop, OpenOverAChangedTableAsksFirst) {
  MainWindow& window = Started();
  const QString first = WriteFile("first.txt");
  const QString second = WriteFile("second.txt");
  Open(first);
  TypeIntoTheTable("7");

  // Отмена: no dialog, nothing changes.
  ui_.saveChangesAnswers.push_back(SaveAnswer::Cancel);
  Open(second);
  EXPECT_EQ(ui_.saveQuestions.size(), 1u);
  EXPECT_EQ(ui_.openRequests.size(), 1u);
  EXPECT_EQ(window.State().DataFileName, first.toStdString());
  EXPECT_EQ(Grid()->Cell(1, 1), "7");
  ui_.openAnswers.clear();

  // Да: saved to the first file, then the second opens.
  ui_.saveChangesAnswers.push_back(SaveAnswer::Save);
  Open(second);
  EXPECT_EQ(ui_.saveQuestions.size(), 2u);
  EXPECT_EQ(window.State().DataFileName, second.toStdString());
  EXPECT_EQ(data::ReadDataFile(first.toStdString(), '.').table.Cell(1, 1), "7");
  EXPECT_EQ(Grid()->Cell(1, 1), "1.2");

  // Нет: the typed text is dropped, the file reopens unchanged.
  TypeIntoTheTable("8");
  ui_.saveChangesAnswers.push_back(SaveAnswer::Discard);
  Open(second);
  EXPECT_EQ(ui_.saveQuestions.size(), 3u);
  EXPECT_EQ(Grid()->Cell(1, 1), "1.2");
  EXPECT_EQ(data::ReadDataFile(second.toStdString(), '.').table.Cell(1, 1), "1.2");
  EXPECT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
}

// While a computation runs, Отмена keeps both the window and the
// computation; the grid's Ctrl+Z cannot act meanwhile.
TEST_F(Desktop, ClosingDuringAComputationCanBeCancelled) {
  MainWindow& window = Started();
  ui_.clipboard = "2001\t2.5\t40\t100\r\n";
  Find<QAction>("est1")->trigger();
  ASSERT_TRUE(window.Data()->CanUndo());
  std::atomic<bool> release{false};
  bool applied = false;
  window.Background().Run(
      [&](BackgroundTask::Progress& progress) {
        while (!release.load()) {
          progress.ThrowIfCancelled();
          std::this_thread::yield();
        }
      },
      [&] { applied = true; });
  ASSERT_TRUE(window.Background().Running());
  EXPECT_FALSE(Grid()->isEnabled());
  EXPECT_FALSE(window.Data()->UndoAction()->isEnabled());
  QTest::keySequence(Grid(), QKeySequence::Undo);
  EXPECT_EQ(Grid()->Cell(0, 1), "2001");

  ui_.saveChangesAnswers.push_back(SaveAnswer::Cancel);
  EXPECT_FALSE(window.close());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.Background().Running());
  release = true;
  ASSERT_TRUE(WaitIdle());
  EXPECT_TRUE(applied);
  EXPECT_TRUE(window.Data()->UndoAction()->isEnabled());
}

TEST_F(Desktop, FileMenuOrderKeysAndUnderlinedLetters) {
  Started();
  const QList<QAction*> items = Find<QMenu>("ntcn1")->actions();
  // The data file's items, the assessment's, then «Выход».
  ASSERT_EQ(items.size(), 10);
  EXPECT_EQ(items[0]->objectName(), "N3");
  EXPECT_EQ(items[1]->objectName(), "N1");
  EXPECT_EQ(items[2]->objectName(), "N2");
  EXPECT_TRUE(items[3]->isSeparator());
  EXPECT_EQ(items[4]->objectName(), "NOpenAssessment");
  EXPECT_EQ(items[5]->objectName(), "NSaveAssessment");
  EXPECT_EQ(items[6]->objectName(), "NSaveAssessmentAs");
  EXPECT_EQ(items[7]->menu(), Find<QMenu>("NRecentAssessments"));
  EXPECT_TRUE(items[8]->isSeparator());
  EXPECT_EQ(items[9]->objectName(), "NExit");
  EXPECT_EQ(items[9]->text().remove('&'), "Выход");
  EXPECT_EQ(items[4]->text().remove('&'), "Открыть оценку…");
  EXPECT_EQ(items[5]->text().remove('&'), "Сохранить оценку");
  EXPECT_EQ(items[6]->text(), "Сохранить оценку как…");
  EXPECT_FALSE(items[5]->isEnabled());  // no assessment yet
  EXPECT_TRUE(items[5]->shortcut().isEmpty());  // Ctrl+S is the data file's until then
  EXPECT_EQ(Find<QMenu>("ntcn1")->title(), "&Файл");
  EXPECT_EQ(Action("N3")->text(), "&Открыть");
  EXPECT_EQ(Action("N1")->text(), "&Сохранить");
  EXPECT_EQ(Action("N2")->text(), "Сохранить &как");
  EXPECT_EQ(Action("N3")->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(Action("N1")->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(Action("N2")->shortcut(), QKeySequence("Ctrl+Shift+S"));
  EXPECT_EQ(Action("NExit")->shortcut(), QKeySequence("Ctrl+Q"));
}

TEST_F(Desktop, ShortcutsTriggerTheirActions) {
  MainWindow& window = Started();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const QString path = WriteFile("keys.txt");
  ui_.openAnswers.push_back(path);
  QTest::keySequence(&window, QKeySequence("Ctrl+O"));
  ASSERT_EQ(ui_.openRequests.size(), 1u);
  EXPECT_EQ(window.State().DataFileName, path.toStdString());

  TypeIntoTheTable("1.5");
  QTest::keySequence(&window, QKeySequence("Ctrl+S"));
  EXPECT_EQ(data::ReadDataFile(path.toStdString(), '.').table.Cell(1, 1), "1.5");

  QTest::keySequence(&window, QKeySequence("Ctrl+Shift+S"));
  EXPECT_EQ(ui_.saveRequests.size(), 1u);  // cancelled: no answer queued

  TypeIntoTheTable("1.6");
  QTest::keySequence(&window, QKeySequence("Ctrl+Q"));  // asks, Отмена
  EXPECT_EQ(ui_.saveQuestions.size(), 1u);
  EXPECT_TRUE(window.isVisible());
  ui_.saveChangesAnswers.push_back(SaveAnswer::Discard);
  QTest::keySequence(&window, QKeySequence("Ctrl+Q"));
  EXPECT_FALSE(window.isVisible());
  EXPECT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
}

// All six page captions side by side, each whole, at the smallest window.
TEST_F(Desktop, EveryTabIsSeenWholeAtTheSmallestSize) {
  MainWindow& window = Started();
  for (int page = 0; page < 6; ++page) window.Pages()->SetTabVisible(page, true);
  QCoreApplication::processEvents();
  window.resize(window.minimumSize());
  QCoreApplication::processEvents();
  QTabBar* tabs = window.Pages()->TabBar();
  EXPECT_EQ(tabs->tabText(5), "Обоснование расчетного значения ОДУ");
  const QFontMetrics metrics(tabs->font());
  for (int page = 0; page < 6; ++page) {
    const QRect tab = tabs->tabRect(page);
    EXPECT_LE(tab.right(), tabs->width()) << page;
    EXPECT_GE(tab.left(), 0) << page;
    int longestLine = 0;
    for (const QString& line : tabs->tabText(page).split(' ')) {
      longestLine = std::max(longestLine, metrics.horizontalAdvance(line));
    }
    EXPECT_GT(tab.width(), longestLine) << page;
    EXPECT_GE(tab.height(), 2 * metrics.height()) << page;
  }
}

TEST_F(Desktop, CaptionAndMinimumSize) {
  MainWindow& window = Started();
  EXPECT_EQ(window.windowTitle(), "Tarvik 4.0");
  EXPECT_EQ(window.size(), QSize(1025, 784));
  EXPECT_GE(window.minimumSize().width(), 800);
  EXPECT_LT(window.minimumSize().width(), 1025);
  EXPECT_LT(window.minimumSize().height(), 784);
}

}  // namespace
}  // namespace tarvik::app::testing
