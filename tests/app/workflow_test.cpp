#include <QTabBar>

#include "app/page_control.h"
#include "app_fixture.h"

namespace tarvik::app::testing {
namespace {

using WorkflowMenu = AppTest;

std::vector<bool> VisibleTabs(const PageControl& pages) {
  std::vector<bool> result;
  for (int i = 0; i < pages.Count(); ++i) result.push_back(pages.IsTabVisible(i));
  return result;
}

TEST_F(WorkflowMenu, AnItemBringsItsPageToTheFrontWhileTheTabIsHidden) {
  MainWindow& window = Started();
  window.Flow().OpenCommandUsed();  // enables N10 and N11
  ASSERT_TRUE(Action("N10")->isEnabled());
  ASSERT_FALSE(window.Pages()->IsTabVisible(1));

  Action("N10")->trigger();
  EXPECT_EQ(window.Pages()->ActivePage(), 1);
  EXPECT_TRUE(window.Pages()->Page(1)->isVisible());
  EXPECT_FALSE(window.Pages()->Page(0)->isVisible());
  EXPECT_FALSE(window.Pages()->IsTabVisible(1));  // the tab stays hidden

  // The tab "Данные" brings its page back, although the bar already marks it.
  const QRect dataTab = window.Pages()->TabBar()->tabRect(0);
  QTest::mouseClick(window.Pages()->TabBar(), Qt::LeftButton, {}, dataTab.center());
  EXPECT_EQ(window.Pages()->ActivePage(), 0);
  EXPECT_TRUE(window.Pages()->Page(0)->isVisible());

  Action("N11")->trigger();
  EXPECT_EQ(window.Pages()->ActivePage(), 1);
  Action("N8")->trigger();
  EXPECT_EQ(window.Pages()->ActivePage(), 0);
}

TEST_F(WorkflowMenu, ClickingAnItemNeverChangesItsMark) {
  Started();
  Action("N8")->trigger();
  EXPECT_TRUE(Action("N8")->isChecked());
  window_->Flow().OpenCommandUsed();
  Action("N10")->trigger();
  EXPECT_FALSE(Action("N10")->isChecked());
}

TEST_F(WorkflowMenu, StagesUnlockInTheOrderOfTheWorkflowTable) {
  MainWindow& window = Started();
  Workflow& flow = window.Flow();
  PageControl& pages = *window.Pages();
  const auto enabled = [&](const char* item) { return Action(item)->isEnabled(); };
  const auto checked = [&](const char* item) { return Action(item)->isChecked(); };

  flow.OpenCommandUsed();
  EXPECT_TRUE(enabled("N10") && enabled("N11"));
  EXPECT_FALSE(enabled("N12"));
  flow.DataFileOpened();
  EXPECT_EQ(VisibleTabs(pages), (std::vector<bool>{true, true, false, false, false, false}));

  flow.ModelChosen();
  EXPECT_EQ(VisibleTabs(pages), (std::vector<bool>{true, true, true, false, false, false}));
  EXPECT_TRUE(checked("N10") && checked("N11") && enabled("N12"));
  EXPECT_FALSE(checked("N12"));

  // A new estimation hides the reference points until a model is chosen again.
  flow.EstimationStarted();
  EXPECT_FALSE(pages.IsTabVisible(2));
  EXPECT_TRUE(checked("N10") && enabled("N12"));  // the menu keeps its state
  flow.ModelChosen();
  EXPECT_TRUE(pages.IsTabVisible(2));

  flow.ReferencePointsShown();
  EXPECT_TRUE(pages.IsTabVisible(3));
  EXPECT_TRUE(checked("N12") && enabled("N13"));

  flow.RuleAdded();
  EXPECT_TRUE(pages.IsTabVisible(4));
  EXPECT_FALSE(enabled("N14"));

  flow.RuleChosen();
  EXPECT_TRUE(pages.IsTabVisible(5));
  EXPECT_TRUE(checked("N13") && enabled("N14") && enabled("N15"));
  EXPECT_FALSE(enabled("N16"));

  flow.ForecastDrawn();
  EXPECT_TRUE(checked("N14") && checked("N15") && enabled("N16"));
  EXPECT_FALSE(checked("N16"));

  // Each item's page.
  const std::pair<const char*, int> targets[] = {{"N8", 0},  {"N10", 1}, {"N11", 1}, {"N12", 2},
                                                 {"N13", 3}, {"N14", 5}, {"N15", 5}, {"N16", 5}};
  for (const auto& [item, page] : targets) {
    Action(item)->trigger();
    EXPECT_EQ(pages.ActivePage(), page) << item;
  }
}

TEST(PageControlTest, HidingTheCurrentTabKeepsItsPageInFront) {
  std::vector<int> shown;
  PageControl pages;
  pages.AddPage(new QWidget, "1");
  pages.AddPage(new QWidget, "2");
  pages.AddPage(new QWidget, "3");
  QObject::connect(&pages, &PageControl::PageShown, [&](int i) { shown.push_back(i); });
  pages.BringToFront(1);
  pages.SetTabVisible(1, false);
  EXPECT_EQ(pages.ActivePage(), 1);
  pages.BringToFront(2);
  EXPECT_EQ(pages.ActivePage(), 2);
  EXPECT_EQ(pages.TabBar()->currentIndex(), 2);
  EXPECT_EQ(shown, (std::vector<int>{1, 2}));
}

}  // namespace
}  // namespace tarvik::app::testing
