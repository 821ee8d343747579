#include <QApplication>
#include <QLineEdit>
#include <QLocale>
#include <QTabBar>

#include "app/page_control.h"
#include "app/rule_page.h"
#include "app/welcome_window.h"
#include "app_fixture.h"
#include "rbridge/r_runner.h"

namespace tarvik::app::testing {
namespace {

using StartUp = AppTest;

std::vector<QWidget*> VisibleTopLevels() {
  std::vector<QWidget*> result;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible() && w->isWindow()) result.push_back(w);
  }
  return result;
}

TEST_F(StartUp, OnlyTheWelcomeWindowShowsFirst) {
  MainWindow& window = Create();
  const auto visible = VisibleTopLevels();
  ASSERT_EQ(visible.size(), 1u);
  EXPECT_EQ(visible.front(), window.Welcome());
  EXPECT_EQ(window.Welcome()->objectName(), "Form2");
  EXPECT_EQ(window.Welcome()->windowTitle(), "Добро пожаловать!");
  EXPECT_TRUE(window.Welcome()->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.RChecked());
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(StartUp, StartLabelHidesTheWelcomeAndShowsTheMainWindow) {
  MainWindow& window = Create();
  QLabel* label3 = window.Welcome()->findChild<QLabel*>("Label3");
  ASSERT_NE(label3, nullptr);
  EXPECT_EQ(label3->text(), "Начать работу");
  QTest::mouseClick(label3, Qt::LeftButton);
  EXPECT_FALSE(window.Welcome()->isVisible());
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.windowTitle(), "Tarvik 4.0");
  EXPECT_EQ(window.objectName(), "Form1");
  QCoreApplication::processEvents();
  EXPECT_TRUE(window.RChecked());
}

TEST_F(StartUp, WelcomePictureIsOfDesignSizeIn24BitColour) {
  const QImage picture = WelcomeWindow::DrawPicture().toImage();
  EXPECT_EQ(picture.width(), 753);
  EXPECT_EQ(picture.height(), 617);
  // Drawn, not blank: the sky at the top differs from the deep sea below.
  EXPECT_NE(picture.pixel(5, 5), picture.pixel(5, 610));
}

TEST_F(StartUp, OnlyTheDataTabIsVisibleAndOnlyN8IsEnabledAndChecked) {
  MainWindow& window = Started();
  PageControl* pages = window.Pages();
  ASSERT_EQ(pages->Count(), 6);
  const QStringList captions = {"Данные",
                                "Оценка параметров модели",
                                "Оценка ориентиров управления",
                                "Правило регулирования промысла",
                                "Коэффициенты эффективности",
                                "Обоснование расчетного значения ОДУ"};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(pages->TabBar()->tabText(i), captions[i]);
    EXPECT_EQ(pages->IsTabVisible(i), i == 0) << "tab " << i;
    EXPECT_EQ(pages->Page(i)->objectName(), QStringLiteral("TabSheet%1").arg(i + 1));
  }
  EXPECT_EQ(pages->ActivePage(), 0);

  EXPECT_TRUE(Action("N8")->isEnabled());
  EXPECT_TRUE(Action("N8")->isChecked());
  for (const char* item : {"N10", "N11", "N12", "N13", "N14", "N15", "N16"}) {
    EXPECT_FALSE(Action(item)->isEnabled()) << item;
    EXPECT_FALSE(Action(item)->isChecked()) << item;
  }
  EXPECT_FALSE(Action("N1")->isEnabled());
  EXPECT_FALSE(Action("N2")->isEnabled());
  EXPECT_TRUE(Action("N3")->isEnabled());
  // The captions as shown; "&" only marks the underlined letter.
  EXPECT_EQ(Action("N1")->text().remove('&'), "Сохранить");
  EXPECT_EQ(Action("N2")->text().remove('&'), "Сохранить как");
  EXPECT_EQ(Action("N3")->text().remove('&'), "Открыть");
  EXPECT_EQ(Find<QMenu>("ntcn1")->title().remove('&'), "Файл");
  EXPECT_EQ(Find<QMenu>("N7")->title().remove('&'), "Этапы приказа №104");
  EXPECT_FALSE(Action("N9")->isEnabled());
}

TEST_F(StartUp, WithRFoundTheInformationNamesItsFolderWithTrailingSeparator) {
  MainWindow& window = Create(/*withR=*/true);
  QTest::mouseClick(window.Welcome()->StartLabel(), Qt::LeftButton);
  QCoreApplication::processEvents();
  const std::string folder = RFolder(true) + "/";
  EXPECT_EQ(window.State().RDirectory, folder);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Information);
  EXPECT_TRUE(ui_.boxes[0].text.startsWith(
      QStringLiteral("R найден в директории: ") + QString::fromStdString(folder) + "\n\n\n"))
      << ui_.boxes[0].text.toStdString();
  EXPECT_TRUE(ui_.boxes[0].text.endsWith("- уловы на усилие снижаются с ростом промыслового усилия"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // the hourglass is gone again
}

TEST_F(StartUp, WithoutRTheWarningShowsOnceAndRDirectoryIsNotFound) {
  MainWindow& window = Create(/*withR=*/false);
  QTest::mouseClick(window.Welcome()->StartLabel(), Qt::LeftButton);
  QCoreApplication::processEvents();
  EXPECT_EQ(window.State().RDirectory, rbridge::kRNotFound);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].kind, FakeServices::BoxKind::Warning);
  EXPECT_EQ(ui_.boxes[0].text, RNotFoundText());
  EXPECT_TRUE(ui_.boxes[0].text.startsWith(
      "R не установлен. Некоторые опции программы будут недоступны\n"
      "Программа имеется в свободном доступе на сайте https://"));

  // Activated again (hidden and shown, activated explicitly): no second box.
  window.hide();
  window.show();
  window.activateWindow();
  QCoreApplication::processEvents();
  window.FormActivate();
  EXPECT_EQ(ui_.boxes.size(), 1u);
}

TEST_F(StartUp, StartValuesUseTheLocaleDecimalMark) {
  {
    Create();
    EXPECT_EQ(Find<QLineEdit>("EditInitialR")->text(), "0.5");
    EXPECT_EQ(Find<QLineEdit>("EditInitialQ")->text(), "0.0001");
    EXPECT_EQ(Find<QLineEdit>("EditMinQ")->text(), "0.0001");
  }
  const QLocale previous;
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  Create();
  EXPECT_EQ(Find<QLineEdit>("EditInitialR")->text(), "0,5");
  EXPECT_EQ(Find<QLineEdit>("EditInitialQ")->text(), "0,0001");
  EXPECT_EQ(Find<QLineEdit>("EditMinQ")->text(), "0,0001");
  QLocale::setDefault(previous);
}

TEST_F(StartUp, EveryNamedControlOfThePagesExists) {
  Create();
  for (const char* name :
       {"PageControl1", "MainMenu1", "StringGrid1", "GroupBox1", "GroupBox2", "GroupBox3", "Edit1",
        "Edit2", "Edit3", "Edit4", "Edit5", "Edit6", "ComboBox1", "ComboBox2", "Label7", "Label8",
        "Label9", "UpDown1", "UpDown2", "CheckBox1", "Chart1", "Button1", "Button2", "Button3",
        "PopupMenu1", "Button4", "Chart2", "GroupBox4", "Label10", "Label11", "Label12",
        "LabelCorrelSchaefer", "LabelCorrelFox", "LabelCorrelPT", "Button5", "GroupBox5",
        "EditInitialR", "EditInitialK", "EditInitialQ", "EditMinR", "EditMinK", "EditMinQ",
        "EditMaxR", "EditMaxK", "EditMaxQ", "GroupBox6", "ScrollBox1", "CheckSchaefer", "CheckFox",
        "CheckPT", "Memo1", "Button6", "Edit11", "Chart7", "TrackBarR", "TrackBarK", "TrackBarQ",
        "TrackBarMedWin", "Label35", "Button18", "cbb1", "CheckBox4", "SpinEdit1", "Label33",
        "Button21", "btn1", "img5", "g1", "Label25", "Label26", "Label27", "PopupMenu2",
        "GroupBox7", "ComboBoxBtg", "ComboBoxEtg", "ComboBoxBlim", "Button9", "Button10",
        "Chart3", "PageControl2", "Button11", "ButtonPA", "ButtonLinKus", "ButtonLogist",
        "ButtonNonZonal", "btn2", "btn3", "img1", "img2", "img3", "img4", "Chart4", "EditAlpha",
        "UpDownAlpha", "LabelAlpha", "EditBeta", "UpDownBeta", "LabelBeta", "CheckBox2",
        "Button12", "ListBox1", "ScrollBox2", "Button8", "ComboBoxFNZ", "Button20", "Chart8",
        "Chart9", "Chart10", "Chart11", "Button22", "se1", "lbl1", "g2", "ComboBoxBootStrap",
        "Label34", "EditKolvoProgon", "Label23", "SpinEdit3", "Label21", "Button14", "Button15",
        "StringGrid2", "Memo2", "cbb2", "SpinEdit2", "Label24", "RadioGroup1", "se2", "lbl2",
        "CheckBox3", "Button16", "Button19", "PageControl3", "TabSheet7", "TabSheet8",
        "TabSheet9", "Chart5", "Chart6", "Memo3", "Memo4", "PopupMenu3"}) {
    EXPECT_NE(window_->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
  }
  for (const char* name : {"est1", "N4", "N6"}) {
    EXPECT_NE(window_->findChild<QAction*>(QString::fromLatin1(name)), nullptr) << name;
  }
  // The variant menu's «Прогноз» had no action: it is gone.
  EXPECT_EQ(window_->findChild<QAction*>(QStringLiteral("N5")), nullptr);
}

TEST_F(StartUp, ControlsHiddenAtStartAreHidden) {
  Started();
  for (int page = 0; page < 6; ++page) window_->Pages()->BringToFront(page);
  for (const char* name :
       {"GroupBox3", "Label9", "Button4", "Button6", "Edit11", "Chart7", "TrackBarR", "TrackBarK",
        "TrackBarQ", "Button18", "cbb1", "Button21", "btn1", "g1", "Label25", "Label26", "Label27",
        "Button9", "Button10", "ButtonPA", "ButtonNonZonal", "EditAlpha", "UpDownAlpha",
        "LabelAlpha", "EditBeta", "UpDownBeta", "LabelBeta", "Button8", "Chart8", "Chart9",
        "Chart10", "Chart11", "Button22", "g2", "Button15", "cbb2", "RadioGroup1", "se2",
        "lbl2"}) {
    auto* widget = Find<QWidget>(name);
    ASSERT_NE(widget, nullptr);
    EXPECT_TRUE(widget->isHidden()) << name;
  }
  EXPECT_FALSE(Find<QWidget>("CheckBox4")->isEnabled());
  EXPECT_FALSE(Find<QWidget>("SpinEdit1")->isEnabled());
  // img1 is also the picture of the welcome window; the rule page has its own.
  EXPECT_FALSE(window_->Rule()->findChild<QWidget*>("img1")->isEnabled());
}

}  // namespace
}  // namespace tarvik::app::testing
