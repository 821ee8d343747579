// Tables and charts leave the program as they are shown: copied as
// tab-separated text or a picture, saved as CSV, PNG or PDF, never over the
// data file.
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QPushButton>

#include "app/chart_panel.h"
#include "app/data_page.h"
#include "app/string_grid.h"
#include "app_fixture.h"

namespace tarvik::app::testing {
namespace {

class ExportTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    previous_ = QLocale();
    // A comma as decimal mark: the exported cells keep it.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    Started();
    dataFile_ = TempPath("yellowfin.txt");
    ASSERT_TRUE(QFile::copy(
        QStringLiteral(TARVIK_SOURCE_DIR "/examples/yellowfin_epo_1934_1955.txt"), dataFile_));
    ui_.openAnswers.push_back(dataFile_);
    Action("N3")->trigger();
    ASSERT_TRUE(ui_.boxes.empty());
  }
  void TearDown() override {
    AppTest::TearDown();
    QLocale::setDefault(previous_);
  }

  QLocale previous_;
  QString dataFile_;
};

TEST_F(ExportTest, TheDataTableIsSavedAndCopiedAsShown) {
  StringGrid* grid = window_->Data()->Grid();
  std::string expected = "\xEF\xBB\xBF";
  for (int row = 0; row < grid->rowCount(); ++row) {
    for (int column = 0; column < grid->columnCount(); ++column) {
      expected += (column > 0 ? ";" : "") + grid->Cell(column, row).toStdString();
    }
    expected += "\r\n";
  }
  ASSERT_NE(expected.find("0,"), std::string::npos) << "the table shows no decimal comma";
  ui_.saveAnswers.push_back(TempPath("table.csv"));
  Action("StringGrid1SaveCsv")->trigger();
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(ReadBytes(TempPath("table.csv")), expected);

  // Never over the data file; the file stays as it was.
  const std::string data = ReadBytes(dataFile_);
  ui_.saveAnswers.push_back(dataFile_);
  Action("StringGrid1SaveCsv")->trigger();
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_TRUE(ui_.boxes[0].text.contains(QStringLiteral("файл входных данных")));
  EXPECT_EQ(ReadBytes(dataFile_), data);

  // Ctrl+C in the grid copies the selected block, one row a line.
  grid->setFocus();
  grid->setRangeSelected(QTableWidgetSelectionRange(1, 0, 2, 1), true);
  QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(ui_.clipboard, grid->Cell(0, 1) + "\t" + grid->Cell(1, 1) + "\n" + grid->Cell(0, 2) +
                               "\t" + grid->Cell(1, 2) + "\n");
}

TEST_F(ExportTest, ChartsAreSavedAsPngOrPdfAndCopied) {
  window_->findChild<QPushButton*>("Button1")->click();
  auto* chart = Find<ChartPanel>("Chart1");
  EXPECT_EQ(chart->contextMenuPolicy(), Qt::ActionsContextMenu);
  for (const char* name : {"chart.png", "chart.pdf"}) {
    ui_.saveAnswers.push_back(TempPath(name));
    Action("Chart1SaveImage")->trigger();
  }
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(ReadBytes(TempPath("chart.png")).substr(0, 4), "\x89PNG");
  EXPECT_EQ(ReadBytes(TempPath("chart.pdf")).substr(0, 5), "%PDF-");
  Action("Chart1CopyImage")->trigger();
  EXPECT_GE(ui_.clipboardImage.width(), 1000);
  // The forecast chart keeps its own menu and gains the two items.
  EXPECT_EQ(Find<QMenu>("PopupMenu3")->actions().back()->objectName(), "Chart5CopyImage");
  // So does every other chart of the window, in its own menu or its page's,
  // and every picture R draws.
  QList<QWidget*> charts;
  for (ChartPanel* each : window_->findChildren<ChartPanel*>()) charts.push_back(each);
  for (const char* picture : {"img1", "img2", "img3", "img4", "img5"})
    charts.push_back(Find<QWidget>(picture));
  for (const QWidget* each : charts) {
    EXPECT_NE(each->findChild<QAction*>(each->objectName() + "SaveImage"), nullptr)
        << each->objectName().toStdString();
  }
  // A picture is saved at its own size.
  auto* picture = Find<QLabel>("img5");
  QPixmap drawn(320, 200);
  drawn.fill(Qt::darkGreen);
  picture->setPixmap(drawn);
  ui_.saveAnswers.push_back(TempPath("surface.png"));
  Action("img5SaveImage")->trigger();
  EXPECT_EQ(QImage(TempPath("surface.png")).size(), QSize(320, 200));
}

}  // namespace
}  // namespace tarvik::app::testing
