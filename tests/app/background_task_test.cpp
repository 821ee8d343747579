#include "app/background_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include <QAction>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "common/error.h"
#include "fake_services.h"

namespace tarvik::app::testing {
namespace {

// A small window with the kinds of controls the pages have.
struct Window {
  QWidget widget;
  QPushButton* button = new QPushButton("go");
  QPushButton* disabledButton = new QPushButton("off");
  QLineEdit* edit = new QLineEdit();
  QPlainTextEdit* memo = new QPlainTextEdit();
  QAction* action = new QAction("menu item", &widget);
  QAction* quit = new QAction("quit", &widget);

  Window() {
    quit->setProperty("tarvikStop", true);  // ends the program, the run with it
    auto* layout = new QVBoxLayout(&widget);
    layout->addWidget(button);
    layout->addWidget(disabledButton);
    layout->addWidget(edit);
    layout->addWidget(memo);
    disabledButton->setEnabled(false);
  }
};

// Starts work that runs until `release` is set.
void RunUntilReleased(BackgroundTask& task, const std::atomic<bool>& release) {
  task.Run([&release](BackgroundTask::Progress&) {
             while (!release.load()) std::this_thread::yield();
           },
           [] {});
}

bool WaitIdle(const BackgroundTask& task) {
  return QTest::qWaitFor([&] { return !task.Running(); }, 30000);
}

TEST(BackgroundTask, RunsOffTheWindowThreadWithInputsDisabledAndAppliesTheResultAfterwards) {
  Window window;
  FakeServices ui;
  BackgroundTask task(&window.widget, ui);
  std::atomic<bool> release{false};
  std::thread::id workerThread;
  std::vector<int> posted;
  bool inputsOffDuringRun = false;
  int result = 0;

  task.Run(
      [&](BackgroundTask::Progress& progress) {
        workerThread = std::this_thread::get_id();
        for (int i = 1; i <= 3; ++i) progress.Post([&posted, i] { posted.push_back(i); });
        while (!release.load()) std::this_thread::yield();
        return 42;
      },
      [&](int value) {
        // Inputs are back before the result is applied.
        EXPECT_TRUE(window.button->isEnabled());
        result = value;
      });
  ASSERT_TRUE(task.Running());
  inputsOffDuringRun = !window.button->isEnabled() && !window.edit->isEnabled() &&
                       !window.action->isEnabled() && window.memo->isEnabled() &&
                       window.quit->isEnabled();
  // The window's event loop goes on while the work runs: posted updates
  // arrive, in order, before the end.
  ASSERT_TRUE(QTest::qWaitFor([&] { return posted.size() == 3; }, 30000));
  EXPECT_EQ(posted, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(result, 0);
  release = true;
  ASSERT_TRUE(WaitIdle(task));

  EXPECT_TRUE(inputsOffDuringRun);
  EXPECT_NE(workerThread, std::this_thread::get_id());
  EXPECT_EQ(result, 42);
  EXPECT_TRUE(window.button->isEnabled());
  EXPECT_TRUE(window.edit->isEnabled());
  EXPECT_TRUE(window.action->isEnabled());
  // A control disabled before the run stays disabled.
  EXPECT_FALSE(window.disabledButton->isEnabled());
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(BackgroundTask, ATimerOfTheWindowFiresWhileTheWorkRuns) {
  Window window;
  FakeServices ui;
  BackgroundTask task(&window.widget, ui);
  std::atomic<bool> release{false};
  RunUntilReleased(task, release);
  bool fired = false;
  QTimer::singleShot(0, [&] { fired = true; });
  EXPECT_TRUE(QTest::qWaitFor([&] { return fired; }, 30000));
  EXPECT_TRUE(task.Running());
  release = true;
  ASSERT_TRUE(WaitIdle(task));
}

TEST(BackgroundTask, AnErrorOfTheWorkEndsInTheErrorBoxAndTheInputsComeBack) {
  Window window;
  FakeServices ui;
  BackgroundTask task(&window.widget, ui);
  bool done = false;
  int finished = 0;
  QObject::connect(&task, &BackgroundTask::Finished, [&] { ++finished; });
  task.Run([](BackgroundTask::Progress&) -> int { throw Error("Деление на ноль"); },
           [&](int) { done = true; });
  ASSERT_TRUE(WaitIdle(task));
  EXPECT_FALSE(done);
  EXPECT_EQ(finished, 1);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].kind, FakeServices::BoxKind::Error);
  EXPECT_EQ(ui.boxes[0].text, QStringLiteral("Деление на ноль"));
  EXPECT_TRUE(window.button->isEnabled());

  // An error of the finishing step ends there too.
  task.Run([](BackgroundTask::Progress&) {}, [] { throw Error("Ошибка вывода"); });
  ASSERT_TRUE(WaitIdle(task));
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[1].text, QStringLiteral("Ошибка вывода"));
}

TEST(BackgroundTask, ASecondComputationIsRefusedWhileOneRuns) {
  Window window;
  FakeServices ui;
  BackgroundTask task(&window.widget, ui);
  std::atomic<bool> release{false};
  RunUntilReleased(task, release);
  bool secondRan = false;
  EXPECT_THROW(task.Run([&](BackgroundTask::Progress&) { secondRan = true; }, [] {}), Error);
  release = true;
  ASSERT_TRUE(WaitIdle(task));
  EXPECT_FALSE(secondRan);
}

TEST(BackgroundTask, CancellingStopsTheWorkAtItsNextReportWithoutApplyingIt) {
  Window window;
  FakeServices ui;
  bool done = false;
  std::atomic<bool> started{false};
  {
    BackgroundTask task(&window.widget, ui);
    task.Run(
        [&](BackgroundTask::Progress& progress) {
          started = true;
          for (;;) progress.Post([] {});  // ends only by cancellation
        },
        [&] { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 30000));
    task.CancelAndWait();
    EXPECT_FALSE(task.Running());
    EXPECT_TRUE(window.button->isEnabled());
    // Destroying a task that runs also stops it.
    task.Run(
        [&](BackgroundTask::Progress& progress) {
          for (;;) progress.ThrowIfCancelled();
        },
        [&] { done = true; });
  }
  QCoreApplication::processEvents();
  EXPECT_FALSE(done);
  EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace tarvik::app::testing
