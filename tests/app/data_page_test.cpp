#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>

#include "app/chart_panel.h"
#include "app/data_page.h"
#include "app/locale_mark.h"
#include "app/string_grid.h"
#include "app_fixture.h"
#include "data/data_file.h"

namespace tarvik::app::testing {
namespace {

// A data file as the program writes it: Windows-1251, CR LF.
data::DataDescription SampleDescription() {
  data::DataDescription d;
  d.species = "Треска";
  d.stock = "Баренцево море";
  d.season = "Круглый год";
  d.area = "Подрайон 1";
  d.scientific = true;
  d.source = "Промысловая статистика";
  d.effortUnit = "Судосутки промысла";
  d.catchUnitExponent = 3;
  return d;
}

data::DataTable SampleTable() {
  return data::DataTable::FromRows({{"1995", "1.2", "100", "120"},
                                    {"1996", "1.1", "120", "132"},
                                    {"1997", "0.9", "150", "135"},
                                    {"1998", "0.85", "140", "119"}});
}

// A number as the user types it, and as the table shows it: in the
// locale's decimal mark (these tests run on a Russian desktop too).
QString Typed(const char* text) {
  return QString::fromUtf8(text).replace(QLatin1Char('.'), QLatin1Char(DecimalMark()));
}

// The bytes of a data file as the window saves it in this locale: the
// cells of the data lines (from line 24) carry the locale's decimal mark.
std::string SavedInThisLocale(std::string bytes) {
  int line = 1;
  for (char& ch : bytes) {
    if (ch == '\n') ++line;
    if (line >= 24 && ch == '.') ch = DecimalMark();
  }
  return bytes;
}

class DataPageTest : public AppTest {
 protected:
  QString WriteSample(const QString& name) {
    const QString path = TempPath(name);
    data::WriteDataFile(path.toStdString(), SampleDescription(), SampleTable());
    return path;
  }

  void Open(const QString& path) {
    ui_.openAnswers.push_back(path);
    Action("N3")->trigger();
  }

  StringGrid* Grid() { return window_->Data()->Grid(); }
  ChartPanel* Chart() { return window_->Data()->Chart(); }
};

TEST_F(DataPageTest, TheHeaderRowIsTheFirstTableRow) {
  Started();
  StringGrid* grid = Grid();
  ASSERT_EQ(grid->rowCount(), 2);
  ASSERT_EQ(grid->columnCount(), 4);
  EXPECT_EQ(grid->Cell(0, 0), "Год");
  EXPECT_EQ(grid->Cell(1, 0), "U = С/Е");
  EXPECT_EQ(grid->Cell(2, 0), "E (Усилие)");
  EXPECT_EQ(grid->Cell(3, 0), "C (Улов)");
  EXPECT_EQ(grid->selectionMode(), QAbstractItemView::ContiguousSelection);
  EXPECT_NE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
}

TEST_F(DataPageTest, HeaderRowIsDrawnInTheTooltipColour) {
  Started();
  StringGrid* grid = Grid();
  grid->setFixedSize(380, 200);
  grid->SetCell(0, 1, "1995");
  const QImage image = grid->viewport()->grab().toImage();
  const QRect header = grid->visualRect(grid->model()->index(0, 1));
  const QRect data = grid->visualRect(grid->model()->index(1, 1));
  const QColor tooltip = grid->palette().color(QPalette::ToolTipBase);
  EXPECT_EQ(QColor(image.pixel(header.topLeft() + QPoint(3, 3))), tooltip);
  EXPECT_NE(QColor(image.pixel(data.topLeft() + QPoint(3, 3))), tooltip);
}

TEST_F(DataPageTest, OpenFillsFieldsAndTableAndRevealsTheEstimationPage) {
  MainWindow& window = Started();
  const QString path = WriteSample("cod.txt");
  Open(path);
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();

  ASSERT_EQ(ui_.openRequests.size(), 1u);
  EXPECT_EQ(ui_.openRequests[0].filter, "Текстовый документ (*.txt)");
  EXPECT_EQ(ui_.openRequests[0].directory, QDir::currentPath());

  for (const char* item : {"N1", "N2", "N10", "N11"})
    EXPECT_TRUE(Action(item)->isEnabled()) << item;
  EXPECT_TRUE(window.Pages()->IsTabVisible(1));
  EXPECT_EQ(window.State().DataFileName, path.toStdString());

  EXPECT_EQ(Find<QLineEdit>("Edit1")->text(), "Треска");
  EXPECT_EQ(Find<QLineEdit>("Edit2")->text(), "Баренцево море");
  EXPECT_EQ(Find<QLineEdit>("Edit3")->text(), "Круглый год");
  EXPECT_EQ(Find<QLineEdit>("Edit4")->text(), "Подрайон 1");
  EXPECT_EQ(Find<QComboBox>("ComboBox1")->currentText(), "научные");
  EXPECT_EQ(Find<QLineEdit>("Edit5")->text(), "Промысловая статистика");
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->currentText(), "Судосутки промысла");
  EXPECT_EQ(Find<QSpinBox>("UpDown1")->value(), 3);
  EXPECT_EQ(Find<QLabel>("Label8")->text(), "Улов * 10   т");
  EXPECT_EQ(Find<QLabel>("Label9")->text(), "3");
  EXPECT_FALSE(Find<QLabel>("Label9")->isHidden());

  ASSERT_EQ(Grid()->rowCount(), 5);
  EXPECT_EQ(Grid()->Cell(0, 0), "Год");
  EXPECT_EQ(Grid()->Cell(0, 1), "1995");
  EXPECT_EQ(Grid()->Cell(1, 4), Typed("0.85"));
  EXPECT_EQ(Grid()->Cell(3, 3), "135");
  EXPECT_EQ(window.State().LoadedSeries.size(), 4u);
  EXPECT_EQ(window.State().LoadedSeries.FirstYear, 1995);
  EXPECT_EQ(window.State().LoadedSeries.E[2], 150.0);
}

TEST_F(DataPageTest, CancelledOpenEnablesOnlyTheEstimationStages) {
  MainWindow& window = Started();
  Action("N3")->trigger();  // no answer queued: the dialog is cancelled
  EXPECT_EQ(ui_.openRequests.size(), 1u);
  EXPECT_TRUE(Action("N10")->isEnabled());
  EXPECT_TRUE(Action("N11")->isEnabled());
  EXPECT_FALSE(Action("N1")->isEnabled());
  EXPECT_FALSE(Action("N2")->isEnabled());
  EXPECT_FALSE(window.Pages()->IsTabVisible(1));
  EXPECT_TRUE(window.State().DataFileName.empty());

  Action("N10")->trigger();  // the hidden page comes to the front
  EXPECT_EQ(window.Pages()->ActivePage(), 1);
  EXPECT_TRUE(window.Pages()->Page(1)->isVisible());
}

TEST_F(DataPageTest, AFileThatCannotBeReadChangesNothing) {
  MainWindow& window = Started();
  const QString path = TempPath("broken.txt");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("too short\r\n");
  file.close();
  Open(path);
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_FALSE(Action("N1")->isEnabled());
  EXPECT_FALSE(window.Pages()->IsTabVisible(1));
  EXPECT_TRUE(Action("N10")->isEnabled());
  EXPECT_TRUE(window.State().DataFileName.empty());
  EXPECT_EQ(Grid()->rowCount(), 2);
}

// After "Сохранить как" the copy is the file of the work: "Сохранить"
// writes it, the reports name it, and the original stays byte for byte.
TEST_F(DataPageTest, SaveAsThenSaveWritesTheNewFileAndLeavesTheOriginalAlone) {
  Started();
  const QString original = WriteSample("original.txt");
  const std::string originalBytes = ReadBytes(original);
  Open(original);
  const QString copy = TempPath("copy.txt");
  ui_.saveAnswers.push_back(copy);
  Action("N2")->trigger();
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  ASSERT_EQ(ui_.saveRequests.size(), 1u);
  EXPECT_EQ(ui_.saveRequests[0].title, "Введите имя файла");
  EXPECT_EQ(ui_.saveRequests[0].defaultSuffix, "txt");
  EXPECT_EQ(ui_.saveRequests[0].filter, "Текстовый документ (*.txt)");
  EXPECT_EQ(ReadBytes(copy), SavedInThisLocale(originalBytes));
  EXPECT_EQ(window_->State().DataFileName, copy.toStdString());

  Grid()->item(1, 1)->setText(Typed("1.3"));
  Action("N1")->trigger();
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  EXPECT_EQ(data::ReadDataFile(copy.toStdString(), '.').table.Cell(1, 1), "1.3");
  EXPECT_EQ(ReadBytes(original), originalBytes);
  EXPECT_EQ(ui_.saveRequests.size(), 1u);  // "Сохранить" asks for no name
}

// A cell the file could not be opened with again is refused before
// anything is written, naming the text; the file stays, the cell stays in
// the window, and «Сохранить как» asks for no name.
TEST_F(DataPageTest, SaveRefusesACellThatWouldNotReadBack) {
  Started();
  const QString path = WriteSample("refused.txt");
  const std::string bytes = ReadBytes(path);
  Open(path);
  Grid()->item(1, 1)->setText(QStringLiteral("--1"));
  Action("N1")->trigger();
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_TRUE(ui_.boxes[0].text.startsWith(QStringLiteral("Файл не сохранён, таблица осталась в окне: ")))
      << ui_.boxes[0].text.toStdString();
  EXPECT_TRUE(ui_.boxes[0].text.contains(QStringLiteral("\"--1\""))) << ui_.boxes[0].text.toStdString();
  EXPECT_EQ(ReadBytes(path), bytes);
  EXPECT_EQ(Grid()->item(1, 1)->text(), QStringLiteral("--1"));
  Action("N2")->trigger();
  EXPECT_EQ(ui_.boxes.size(), 2u);
  EXPECT_TRUE(ui_.saveRequests.empty());
}

TEST_F(DataPageTest, SaveWritesEditedCellsAndAnOpenEditToTheOpenedFile) {
  Started();
  const QString path = WriteSample("edited.txt");
  Open(path);
  // A cell typed over, and a cell whose editor is still open.
  Grid()->item(1, 1)->setText(Typed("1.25"));
  QTableWidgetItem* catchCell = Grid()->item(2, 3);
  Grid()->setCurrentItem(catchCell);
  Grid()->editItem(catchCell);
  auto* editor = Grid()->viewport()->findChild<QLineEdit*>();
  ASSERT_NE(editor, nullptr);
  editor->setText("133");
  Find<QLineEdit>("Edit1")->setText("Пикша");

  Action("N1")->trigger();
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  const data::DataFile saved = data::ReadDataFile(path.toStdString(), '.');
  EXPECT_EQ(saved.description.species, "Пикша");
  EXPECT_EQ(saved.table.Cell(1, 1), "1.25");
  EXPECT_EQ(saved.table.Cell(3, 2), "133");
  EXPECT_EQ(saved.table.RowCount(), 5);
}

TEST_F(DataPageTest, PasteOfTwoCrLfLinesGivesTwoRows) {
  MainWindow& window = Started();
  ui_.clipboard = Typed("2001\t2.5\t40\t100\r\n2002\t2.25\t44\t99\r\n");
  QAction* est1 = Find<QAction>("est1");
  EXPECT_EQ(est1->text(), "Вставить");
  est1->trigger();
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  ASSERT_EQ(Grid()->rowCount(), 3);
  EXPECT_EQ(Grid()->Cell(0, 0), "Год");
  EXPECT_EQ(Grid()->Cell(0, 1), "2001");
  EXPECT_EQ(Grid()->Cell(3, 2), "99");
  EXPECT_EQ(window.State().Table.RowCount(), 3);
  EXPECT_EQ(window.State().LoadedSeries.size(), 2u);
  EXPECT_EQ(window.State().LoadedSeries.FirstYear, 2001);
  EXPECT_EQ(window.State().LoadedSeries.U[1], 2.25);
}

TEST_F(DataPageTest, FailedPasteShowsTheErrorAndKeepsTheTable) {
  MainWindow& window = Started();
  ui_.clipboard = Typed("2001\t2.5\t40\t100\r\n2002\t2.25\t44\t99\r\n");
  Find<QAction>("est1")->trigger();
  ui_.clipboard = "2003\tx\t40\t100\r\n";
  Find<QAction>("est1")->trigger();
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_FALSE(ui_.boxes[0].text.isEmpty());
  EXPECT_EQ(Grid()->rowCount(), 3);
  EXPECT_EQ(Grid()->Cell(0, 1), "2001");
  EXPECT_EQ(window.State().LoadedSeries.size(), 2u);
}

TEST_F(DataPageTest, CatchUnitLabels) {
  Started();
  auto* upDown1 = Find<QSpinBox>("UpDown1");
  auto* label8 = Find<QLabel>("Label8");
  auto* label9 = Find<QLabel>("Label9");
  EXPECT_EQ(upDown1->minimum(), -6);
  EXPECT_EQ(upDown1->maximum(), 5);
  EXPECT_EQ(label8->text(), "Улов: т");
  EXPECT_TRUE(label9->isHidden());

  upDown1->setValue(1);
  EXPECT_EQ(label8->text(), "Улов * 10 т");
  EXPECT_TRUE(label9->isHidden());

  upDown1->setValue(-3);
  EXPECT_EQ(label8->text(), "Улов * 10   т");
  EXPECT_EQ(label9->text(), "-3");
  EXPECT_FALSE(label9->isHidden());
  // The exponent sits raised, after the "10".
  EXPECT_LT(label9->y(), label8->y());
  EXPECT_GT(label9->x(), label8->x());

  upDown1->setValue(0);
  EXPECT_EQ(label8->text(), "Улов: т");
  EXPECT_TRUE(label9->isHidden());
}

TEST_F(DataPageTest, TheThreePlots) {
  Started();
  // Years typed out of order (a paste takes only consecutive years): the line
  // series keeps its points sorted by x.
  ui_.clipboard = Typed("2000\t2.5\t40\t100\r\n2001\t3\t30\t90\r\n2002\t2\t50\t100\r\n");
  Find<QAction>("est1")->trigger();
  ASSERT_TRUE(ui_.boxes.empty());
  Grid()->item(1, 0)->setText("2001");
  Grid()->item(2, 0)->setText("2000");

  Find<QPushButton>("Button1")->click();
  EXPECT_EQ(Chart()->Points("Series1"), (PointList{{2000, 3}, {2001, 2.5}, {2002, 2}}));
  EXPECT_TRUE(Chart()->Points("Series10").empty());
  EXPECT_EQ(Chart()->AxisTitle(Axis::Left), "Улов на усилие");
  EXPECT_EQ(Chart()->AxisTitle(Axis::Bottom), "Год");

  Find<QPushButton>("Button2")->click();
  EXPECT_EQ(Chart()->Points("Series1"), (PointList{{2000, 30}, {2001, 40}, {2002, 50}}));
  EXPECT_EQ(Chart()->AxisTitle(Axis::Left), "Усилие");
  EXPECT_EQ(Chart()->AxisTitle(Axis::Bottom), "Год");

  Find<QPushButton>("Button3")->click();
  EXPECT_TRUE(Chart()->Points("Series1").empty());
  EXPECT_EQ(Chart()->Points("Series10"), (PointList{{40, 2.5}, {30, 3}, {50, 2}}));
  EXPECT_EQ(Chart()->AxisTitle(Axis::Left), "Улов на усилие");
  EXPECT_EQ(Chart()->AxisTitle(Axis::Bottom), "Усилие");
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(DataPageTest, AnErrorInAHandlerIsShownAndTheProgramGoesOn) {
  MainWindow& window = Started();
  ui_.clipboard = Typed("2000\t3\t30\t90\r\n2001\t2.5\t40\t100\r\n");
  Find<QAction>("est1")->trigger();
  Find<QPushButton>("Button1")->click();
  const PointList before = Chart()->Points("Series1");
  ASSERT_EQ(before.size(), 2u);

  Grid()->item(2, 1)->setText("2,5x");  // a bad cell typed by the user
  Find<QPushButton>("Button1")->click();
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_TRUE(ui_.boxes.back().text.contains("2,5x")) << ui_.boxes.back().text.toStdString();
  EXPECT_EQ(Chart()->Points("Series1"), before);     // the chart is as it was
  EXPECT_EQ(window.State().LoadedSeries.U[1], 2.5);  // typing does not rebuild the series

  // The program goes on: the fixed cell plots.
  Grid()->item(2, 1)->setText(Typed("2.4"));
  Find<QPushButton>("Button1")->click();
  EXPECT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_EQ(Chart()->Points("Series1"), (PointList{{2000, 3}, {2001, 2.4}}));
}

TEST_F(DataPageTest, NumbersInTheLocaleMarkAreRead) {
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  Started();
  ui_.clipboard = "2000\t3,5\t30\t90\r\n2001\t2,5\t40\t100\r\n";
  Find<QAction>("est1")->trigger();
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(window_->State().LoadedSeries.U[0], 3.5);
  Find<QPushButton>("Button3")->click();
  EXPECT_EQ(Chart()->Points("Series10"), (PointList{{30, 3.5}, {40, 2.5}}));
  QLocale::setDefault(previous);
}

TEST_F(DataPageTest, TheGridMenuOffersPasteCopyAndCsv) {
  Started();
  QMenu* menu = Find<QMenu>("PopupMenu1");
  ASSERT_EQ(menu->actions().size(), 3);
  EXPECT_EQ(menu->actions()[0]->objectName(), "est1");
  EXPECT_EQ(menu->actions()[1]->objectName(), "StringGrid1Copy");
  EXPECT_EQ(menu->actions()[2]->objectName(), "StringGrid1SaveCsv");
  EXPECT_EQ(Grid()->contextMenuPolicy(), Qt::CustomContextMenu);
}

// The hidden moving average of effort: a window of 3 years over 5 loaded
// years leaves 3 rows, from the third year on.
TEST_F(DataPageTest, MovingAverageOfEffortReplacesTheTable) {
  MainWindow& window = Started();
  ui_.clipboard =
      "1995\t1\t10\t10\r\n1996\t2\t20\t40\r\n1997\t3\t30\t90\r\n"
      "1998\t4\t40\t160\r\n1999\t5\t50\t250\r\n";
  Find<QAction>("est1")->trigger();
  Find<QSpinBox>("UpDown2")->setValue(3);
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  EXPECT_EQ(Find<QLineEdit>("Edit6")->text(), "3");
  ASSERT_EQ(Grid()->rowCount(), 4);
  EXPECT_EQ(Grid()->Cell(0, 1), "1997");
  EXPECT_EQ(Grid()->Cell(1, 1), "3");   // U of 1997, not averaged
  EXPECT_EQ(Grid()->Cell(2, 1), "20");  // (10 + 20 + 30) / 3
  EXPECT_EQ(Grid()->Cell(3, 3), "250");
  EXPECT_EQ(window.State().Table.Cell(2, 3), "40");  // (30 + 40 + 50) / 3
  // The loaded series stays as loaded: window 1 gives the loaded table back.
  Find<QSpinBox>("UpDown2")->setValue(1);
  EXPECT_EQ(Grid()->rowCount(), 6);
  EXPECT_EQ(Grid()->Cell(2, 5), "50");
}

// The example files open, show and save back byte for byte (they are
// written in the program's own format).
TEST_F(DataPageTest, ExampleFilesOpenAndSaveBackUnchanged) {
  MainWindow& window = Started();
  for (const char* name : {"yellowfin_epo_1934_1955.txt", "schaefer_simulated_1990_2019.txt"}) {
    const QString example = QStringLiteral(TARVIK_SOURCE_DIR "/examples/") + name;
    ASSERT_TRUE(QFile::exists(example)) << name;
    Open(example);
    ASSERT_TRUE(ui_.boxes.empty()) << name << ": " << ui_.boxes[0].text.toStdString();
    EXPECT_TRUE(window.Pages()->IsTabVisible(1));
    EXPECT_FALSE(Find<QLineEdit>("Edit1")->text().isEmpty()) << name;
    EXPECT_GT(Grid()->rowCount(), 10) << name;
    EXPECT_EQ(static_cast<int>(window.State().LoadedSeries.size()), Grid()->rowCount() - 1);

    const QString copy = TempPath(QStringLiteral("copy-") + name);
    ui_.saveAnswers.push_back(copy);
    Action("N2")->trigger();
    ASSERT_TRUE(ui_.boxes.empty()) << name << ": " << ui_.boxes[0].text.toStdString();
    EXPECT_EQ(ReadBytes(copy), SavedInThisLocale(ReadBytes(example))) << name;
  }
}

// ------------------------------------------------- undo, marks, plots, looks

TEST_F(DataPageTest, UndoPutsTheTableAndTheSeriesBackStepByStep) {
  MainWindow& window = Started();
  Open(WriteSample("undo.txt"));
  const data::DataTable opened = window.State().Table;
  const data::CatchEffortSeries openedSeries = window.State().LoadedSeries;
  EXPECT_FALSE(window.Data()->CanUndo());  // nothing before the file

  ui_.clipboard = Typed("2001\t2.5\t40\t100\r\n");
  Find<QAction>("est1")->trigger();
  ASSERT_EQ(Grid()->rowCount(), 2);
  Grid()->item(1, 3)->setText("101");  // a cell typed after the paste
  const data::DataTable pasted = [&] {
    data::DataTable t = window.State().Table;
    t.SetCell(3, 1, "100");
    return t;
  }();

  QAction* undo = window.Data()->UndoAction();
  EXPECT_EQ(undo->shortcut(), QKeySequence(QKeySequence::Undo));
  EXPECT_EQ(undo->shortcutContext(), Qt::WidgetWithChildrenShortcut);
  undo->trigger();  // the typed cell
  EXPECT_EQ(window.State().Table, pasted);
  EXPECT_EQ(Grid()->Cell(3, 1), "100");
  undo->trigger();  // the paste
  EXPECT_EQ(window.State().Table, opened);
  EXPECT_EQ(window.State().LoadedSeries.U, openedSeries.U);
  EXPECT_EQ(window.State().LoadedSeries.FirstYear, 1995);
  ASSERT_EQ(Grid()->rowCount(), 5);
  EXPECT_EQ(Grid()->Cell(0, 4), "1998");
  EXPECT_FALSE(window.Data()->CanUndo());
  undo->trigger();  // nothing more to undo: nothing happens
  EXPECT_EQ(window.State().Table, opened);
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_FALSE(window.Data()->Modified());  // back to the file as opened
}

TEST_F(DataPageTest, CtrlZInTheGridUndoesAPaste) {
  MainWindow& window = Started();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  ui_.clipboard = Typed("2001\t2.5\t40\t100\r\n2002\t2.25\t44\t99\r\n");
  Grid()->setFocus();
  QTest::keySequence(Grid(), QKeySequence::Paste);
  ASSERT_EQ(Grid()->rowCount(), 3);
  QTest::keySequence(Grid(), QKeySequence::Undo);
  EXPECT_EQ(window.State().Table, data::DataTable());
  EXPECT_EQ(Grid()->rowCount(), 2);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(DataPageTest, CtrlVInAnOpenCellEditorPastesRowsAsTheMenuDoes) {
  MainWindow& window = Started();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  const QSize size = window.size();
  ui_.clipboard = Typed("2001\t2.5\t40\t100\r\n2002\t2.25\t44\t99\r\n");
  Find<QAction>("est1")->trigger();
  ui_.clipboard = Typed("2001\t2.5\t40\t100\n2002\t2.25\t44\t99\n2003\t2\t50\t100\n");
  QGuiApplication::clipboard()->setText(ui_.clipboard);  // what the editor itself would paste
  Grid()->setCurrentCell(1, 1);
  Grid()->editItem(Grid()->item(1, 1));
  QWidget* editor = QApplication::focusWidget();
  ASSERT_NE(editor, Grid());
  QTest::keySequence(editor, QKeySequence::Paste);
  EXPECT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  ASSERT_EQ(Grid()->rowCount(), 4);
  EXPECT_EQ(window.State().LoadedSeries.size(), 3u);
  for (int row = 0; row < Grid()->rowCount(); ++row) {
    for (int column = 0; column < 4; ++column) {
      EXPECT_FALSE(Grid()->Cell(column, row).contains(QRegularExpression("[\t\r\n]")));
    }
  }
  EXPECT_EQ(Grid()->Cell(1, 3), "2");
  EXPECT_EQ(window.size(), size);

  // One value without a TAB or a line break is the editor's own paste; a
  // line break typed into a cell some other way becomes a space.
  ui_.clipboard = "7";
  QGuiApplication::clipboard()->setText(ui_.clipboard);
  Grid()->editItem(Grid()->item(1, 3));
  QTest::keySequence(QApplication::focusWidget(), QKeySequence::Paste);
  Grid()->CommitEdit();
  EXPECT_EQ(Grid()->Cell(3, 1).right(1), "7");
  EXPECT_EQ(Grid()->rowCount(), 4);
  Grid()->item(2, 0)->setText("2002\n");
  EXPECT_EQ(window.State().Table.Cell(0, 2), "2002 ");
}

TEST_F(DataPageTest, ACellThatDoesNotReadIsMarkedAsSoonAsItIsCommitted) {
  Started();
  ui_.clipboard = Typed("2000\t3\t30\t90\r\n2001\t2.5\t40\t100\r\n");
  Find<QAction>("est1")->trigger();
  for (int column = 0; column < 4; ++column) EXPECT_FALSE(Grid()->CellMarked(column, 1));

  Grid()->item(2, 2)->setText("4O");  // letter O for a zero
  EXPECT_TRUE(Grid()->CellMarked(2, 2));
  EXPECT_EQ(Grid()->CellProblem(2, 2),
            "Строка 2, столбец \"E (Усилие)\": значение \"4O\" не является числом");
  EXPECT_EQ(Grid()->item(2, 2)->foreground().color(), QColor(Qt::red));
  EXPECT_EQ(Grid()->item(2, 2)->toolTip(), Grid()->CellProblem(2, 2));
  Grid()->item(1, 0)->setText("2000,5");  // a year must be an integer
  EXPECT_TRUE(Grid()->CellMarked(0, 1));
  EXPECT_TRUE(ui_.boxes.empty());  // a mark, not a box

  // Plotting still ends in the error box.
  Find<QPushButton>("Button2")->click();
  EXPECT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);

  Grid()->item(2, 2)->setText("40");
  EXPECT_FALSE(Grid()->CellMarked(2, 2));
  EXPECT_EQ(Grid()->item(2, 2)->data(Qt::ForegroundRole), QVariant());
  EXPECT_EQ(Grid()->item(2, 2)->toolTip(), "");
  Grid()->item(2, 3)->setText("");  // an empty cell is not filled yet, not wrong
  EXPECT_FALSE(Grid()->CellMarked(3, 2));
}

TEST_F(DataPageTest, CellsAreMarkedWithTheLocaleDecimalMark) {
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  Started();
  Grid()->item(1, 1)->setText("2,5");
  EXPECT_FALSE(Grid()->CellMarked(1, 1));
  Grid()->item(1, 1)->setText("2.5");
  EXPECT_TRUE(Grid()->CellMarked(1, 1));
  QLocale::setDefault(previous);
}

TEST_F(DataPageTest, TheSamePlotAlwaysHasTheSameAxes) {
  Started();
  Open(QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"));
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  Find<QPushButton>("Button1")->click();
  const auto years = Chart()->AxisRange(Axis::Bottom);
  const auto cpue = Chart()->AxisRange(Axis::Left);
  const int ticks = Chart()->AxisTickCount(Axis::Bottom);
  EXPECT_LE(years.first, 1934);
  EXPECT_GE(years.second, 1955);
  EXPECT_EQ(years, (std::pair<double, double>{1930, 1960}));

  // Again, after other plots and after a plot that failed.
  Find<QPushButton>("Button1")->click();
  EXPECT_EQ(Chart()->AxisRange(Axis::Bottom), years);
  Find<QPushButton>("Button3")->click();
  Find<QPushButton>("Button2")->click();
  const QString good = Grid()->Cell(1, 3);
  Grid()->item(3, 1)->setText("x");
  Find<QPushButton>("Button1")->click();
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  Grid()->item(3, 1)->setText(good);
  Find<QPushButton>("Button1")->click();
  EXPECT_EQ(Chart()->AxisRange(Axis::Bottom), years);
  EXPECT_EQ(Chart()->AxisRange(Axis::Left), cpue);
  EXPECT_EQ(Chart()->AxisTickCount(Axis::Bottom), ticks);
}

TEST_F(DataPageTest, OpeningAnotherFileClearsThePlotOfTheFirst) {
  Started();
  Open(WriteSample("first.txt"));
  Find<QPushButton>("Button1")->click();
  ASSERT_FALSE(Chart()->Points("Series1").empty());
  Open(QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"));
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  EXPECT_TRUE(Chart()->Points("Series1").empty());
  EXPECT_TRUE(Chart()->Points("Series10").empty());
  EXPECT_TRUE(Chart()->AxisTitle(Axis::Left).isEmpty());
  // A paste replaces the data too.
  Find<QPushButton>("Button3")->click();
  ASSERT_FALSE(Chart()->Points("Series10").empty());
  ui_.clipboard = Typed("2001\t2.5\t40\t100\r\n");
  Find<QAction>("est1")->trigger();
  EXPECT_TRUE(Chart()->Points("Series10").empty());
}

TEST_F(DataPageTest, DescriptionFieldsShowTheBeginningOfTheirText) {
  Started();
  data::DataDescription description = SampleDescription();
  description.stock = "Северо-восточная арктическая треска Баренцева и Норвежского морей";
  description.effortUnit = "Стандартные судосутки промысла траулеров типа БМРТ";
  const QString path = TempPath("long.txt");
  data::WriteDataFile(path.toStdString(), description, SampleTable());
  Open(path);
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  for (const char* name : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit5"}) {
    EXPECT_EQ(Find<QLineEdit>(name)->cursorPosition(), 0) << name;
  }
  EXPECT_EQ(Find<QComboBox>("ComboBox2")->lineEdit()->cursorPosition(), 0);
  EXPECT_EQ(Find<QLineEdit>("Edit2")->text(), QString::fromStdString(description.stock));
}

// Every number can be read whole, at the smallest window and when the grid
// widens with a larger one.
TEST_F(DataPageTest, ColumnsFitTheirNumbersAndTheGridWidensWithTheWindow) {
  MainWindow& window = Started();
  Open(QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"));
  ASSERT_TRUE(ui_.boxes.empty()) << ui_.boxes[0].text.toStdString();
  StringGrid* grid = Grid();
  const auto fits = [&] {
    const QFontMetrics metrics(grid->font());
    for (int column = 0; column < 4; ++column) {
      for (int row = 0; row < grid->rowCount(); ++row) {
        if (metrics.horizontalAdvance(grid->Cell(column, row)) >= grid->columnWidth(column)) {
          return false;
        }
      }
    }
    int total = 0;
    for (int column = 0; column < 4; ++column) total += grid->columnWidth(column);
    return total <= grid->viewport()->width();
  };
  window.resize(window.minimumSize());
  QCoreApplication::processEvents();
  EXPECT_TRUE(fits()) << "at " << window.width() << " x " << window.height();
  const int narrow = grid->width();
  window.resize(1400, 900);
  QCoreApplication::processEvents();
  EXPECT_TRUE(fits());
  EXPECT_GT(grid->width(), narrow);

  // A longer number typed into a cell widens its column.
  const int before = grid->minimumWidth();
  grid->item(1, 2)->setText(Typed("123456789.123456"));
  EXPECT_GT(grid->minimumWidth(), before);
  QCoreApplication::processEvents();
  EXPECT_TRUE(fits());
}

TEST_F(DataPageTest, ChangesCountFromTheLastOpenOrSave) {
  MainWindow& window = Started();
  EXPECT_FALSE(window.Data()->Modified());
  Open(WriteSample("changes.txt"));
  EXPECT_FALSE(window.Data()->Modified());
  Grid()->item(1, 1)->setText(Typed("1.25"));
  EXPECT_TRUE(window.Data()->Modified());
  Grid()->item(1, 1)->setText(Typed("1.2"));  // typed back: as in the file
  EXPECT_FALSE(window.Data()->Modified());
  Find<QLineEdit>("Edit3")->setText("Зима");
  EXPECT_TRUE(window.Data()->Modified());
  Action("N1")->trigger();
  EXPECT_FALSE(window.Data()->Modified());
  Find<QSpinBox>("UpDown1")->setValue(2);
  EXPECT_TRUE(window.Data()->Modified());
}

}  // namespace
}  // namespace tarvik::app::testing
