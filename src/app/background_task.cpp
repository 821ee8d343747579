#include "app/background_task.h"

#include <string>
#include <system_error>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTabBar>

#include "app/chart_panel.h"
#include "app/handler.h"
#include "common/error.h"

namespace tarvik::app {

namespace {

// Controls through which the user could change the state or start another
// computation. Scroll bars, memos and read-only tables stay usable, so the
// progress log and the rows already computed can be read during the run.
bool IsInput(QWidget* widget) {
  if (qobject_cast<QScrollBar*>(widget) != nullptr) return false;
  // A button that only stops the computation that is running.
  if (widget->property("tarvikStop").toBool()) return false;
  if (widget->property("tarvikInput").toBool()) return true;
  if (qobject_cast<QAbstractButton*>(widget) != nullptr) return true;
  if (qobject_cast<QLineEdit*>(widget) != nullptr) {
    // The line edit inside an editable combo box follows the combo box.
    return qobject_cast<QComboBox*>(widget->parentWidget()) == nullptr;
  }
  if (qobject_cast<QComboBox*>(widget) != nullptr) return true;
  if (qobject_cast<QAbstractSpinBox*>(widget) != nullptr) return true;
  if (qobject_cast<QAbstractSlider*>(widget) != nullptr) return true;
  if (qobject_cast<QTabBar*>(widget) != nullptr) return true;
  if (qobject_cast<ChartPanel*>(widget) != nullptr) return true;
  if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
    return view->editTriggers() != QAbstractItemView::NoEditTriggers;
  }
  return false;
}

}  // namespace

void BackgroundTask::Progress::Post(std::function<void()> toWindow) const {
  ThrowIfCancelled();
  QMetaObject::invokeMethod(task_, std::move(toWindow), Qt::QueuedConnection);
}

void BackgroundTask::Progress::ThrowIfCancelled() const {
  if (task_->cancelled_.load()) throw ComputationCancelled{};
}

BackgroundTask::BackgroundTask(QWidget* window, UiServices& ui)
    : QObject(window), window_(window), ui_(ui) {}

BackgroundTask::~BackgroundTask() {
  CancelAndWait();
}

void BackgroundTask::Start(std::function<void(Progress&)> work, std::function<void()> done) {
  if (running_) throw Error("Идёт расчёт: дождитесь его окончания");
  running_ = true;
  cancelled_ = false;
  error_ = nullptr;
  done_ = std::move(done);
  DisableInputs();
  QApplication::setOverrideCursor(Qt::WaitCursor);

  try {
    thread_ = std::thread([this, work = std::move(work)]() mutable {
      {
        Progress progress(this);
        try {
          work(progress);
        } catch (...) {
          error_ = std::current_exception();
        }
      }
      QMetaObject::invokeMethod(this, [this] { Complete(); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error& error) {
    running_ = false;
    done_ = nullptr;
    RestoreInputs();
    QApplication::restoreOverrideCursor();
    throw Error(std::string("Не удалось начать расчёт: система не дала потока (") + error.what() +
                ")");
  }
}

void BackgroundTask::Complete() {
  if (!running_) return;
  if (thread_.joinable()) thread_.join();
  running_ = false;
  RestoreInputs();
  QApplication::restoreOverrideCursor();

  std::exception_ptr error = std::exchange(error_, nullptr);
  std::function<void()> done = std::exchange(done_, nullptr);
  if (cancelled_.load()) {
    // The window is closing: nothing is applied.
  } else if (error) {
    RunHandler(ui_, [&] {
      try {
        std::rethrow_exception(error);
      } catch (const ComputationCancelled&) {
      }
    });
  } else {
    RunHandler(ui_, done);
  }
  emit Finished();
}

void BackgroundTask::CancelAndWait() {
  if (!running_) return;
  cancelled_ = true;
  if (thread_.joinable()) thread_.join();
  Complete();
}

void BackgroundTask::DisableInputs() {
  disabled_.clear();
  for (QWidget* widget : window_->findChildren<QWidget*>()) {
    if (widget->testAttribute(Qt::WA_ForceDisabled) || !IsInput(widget)) continue;
    widget->setEnabled(false);
    disabled_.emplace_back(widget);
  }
  for (QAction* action : window_->findChildren<QAction*>()) {
    // «Выход» (Ctrl+Q) ends the program as closing the window does, the
    // computation with it.
    if (!action->isEnabled() || action->isSeparator() || action->property("tarvikStop").toBool()) {
      continue;
    }
    action->setEnabled(false);
    disabled_.emplace_back(action);
  }
}

void BackgroundTask::RestoreInputs() {
  for (const QPointer<QObject>& object : disabled_) {
    if (object.isNull()) continue;
    if (auto* widget = qobject_cast<QWidget*>(object.data())) {
      widget->setEnabled(true);
    } else if (auto* action = qobject_cast<QAction*>(object.data())) {
      action->setEnabled(true);
    }
  }
  disabled_.clear();
}

ProgressCallback ProgressOn(const BackgroundTask::Progress& progress, QProgressBar* gauge) {
  return [&progress, gauge](int done, int total) {
    progress.Post([gauge, done, total] {
      gauge->setMaximum(total);
      gauge->setValue(done);
    });
  };
}

}  // namespace tarvik::app
