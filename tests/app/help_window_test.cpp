// «Справка»: F1 opens the guide at the section of the page in front, with
// back and forward between the sections opened.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include "app/help_window.h"
#include "app/page_control.h"
#include "app_fixture.h"

namespace tarvik::app::testing {
namespace {

TEST_F(AppTest, F1OpensTheGuideAtThePageInFront) {
  Started();
  window_->resize(1025, 784);
  for (int page = 0; page < 6; ++page) window_->Pages()->SetTabVisible(page, true);
  for (int page : {0, 3, 1, 5, 2, 4}) {
    SCOPED_TRACE(page);
    window_->Pages()->BringToFront(page);
    QTest::keyClick(window_.get(), Qt::Key_F1);
    HelpWindow* help = window_->Help();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_EQ(help->Browser()->source().fragment(), PageSection(page));
    // The page's heading is at the top of the view.
    EXPECT_EQ(help->Browser()->SectionShown(), PageSection(page));
  }
  // The contents list every page's section; back returns to the section
  // opened before.
  EXPECT_GE(window_->Help()->Contents()->topLevelItemCount(), 1);
  window_->Help()->Browser()->backward();
  EXPECT_EQ(window_->Help()->Browser()->SectionShown(), PageSection(2));
}

// Installed, the guide lies in ../share/tarvik/guide beside the program's
// folder, wherever the prefix is; in the build tree it is the source's.
TEST(HelpWindow, TheGuideIsFoundBesideTheProgramOrInTheSources) {
  EXPECT_EQ(GuideFile(), QStringLiteral(TARVIK_SOURCE_DIR "/docs/guide/README.md"));
  const QString share = QCoreApplication::applicationDirPath() + QStringLiteral("/../share");
  ASSERT_FALSE(QDir(share).exists()) << "left over from an earlier run: " << share.toStdString();
  ASSERT_TRUE(QDir().mkpath(share + QStringLiteral("/tarvik/guide")));
  QFile installed(share + QStringLiteral("/tarvik/guide/README.md"));
  ASSERT_TRUE(installed.open(QIODevice::WriteOnly));
  installed.close();
  EXPECT_EQ(GuideFile(), QDir::cleanPath(installed.fileName()));
  QDir(share).removeRecursively();
}

TEST(HelpWindow, AnchorsAreSpeltAsTheGuideLinksThem) {
  EXPECT_EQ(HeadingAnchor(QStringLiteral("Страница 1. Данные")), "страница-1-данные");
  EXPECT_EQ(HeadingAnchor(QStringLiteral(" Mohn's rho и диаграмма Кобе ")),
            "mohns-rho-и-диаграмма-кобе");
}

}  // namespace
}  // namespace tarvik::app::testing
