// The window meets bad files and the system's errors as the command line
// does: a clear Russian message in the error box, nothing changed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <new>

#include "app/handler.h"
#include "app_fixture.h"

namespace tarvik::app {
namespace {

using testing::AppTest;
using testing::FakeServices;

class HostileInput : public AppTest {};

TEST_F(HostileInput, OpeningADeviceOrAPipeShowsAnErrorAndOpensNothing) {
  MainWindow& window = Started();
  const QString pipe = TempPath("pipe.txt");
  ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
  for (const QString& path : {QStringLiteral("/dev/zero"), pipe}) {
    ui_.boxes.clear();
    ui_.openAnswers.push_back(path);
    Action("N3")->trigger();  // a pipe opened for reading would wait here for ever
    ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1) << path.toStdString();
    EXPECT_TRUE(ui_.boxes.back().text.contains("а не обычный файл"))
        << ui_.boxes.back().text.toStdString();
    EXPECT_TRUE(window.State().DataFileName.empty());
    EXPECT_FALSE(Action("N1")->isEnabled());
  }
}

TEST_F(HostileInput, TheSystemsErrorsAreShownInRussian) {
  RunHandler(ui_, [] { throw std::bad_alloc(); });
  ASSERT_EQ(ui_.Count(FakeServices::BoxKind::Error), 1);
  EXPECT_EQ(ui_.boxes.back().text, "Недостаточно памяти для выполнения операции");
}

}  // namespace
}  // namespace tarvik::app
