#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QWidget>

#include "app/services.h"
#include "common/progress.h"

namespace tarvik::app {

// Raised inside a background computation when the window asked it to stop
// (the program is closing). It is not a tarvik::Error, so no core operation
// turns it into a message; it ends the computation and is swallowed.
struct ComputationCancelled {};

// The one way the window runs a long computation (the parameter search, the
// objective surface, the retrospective analysis, the rule optimisation, the
// bootstrap) without freezing; the pages use RunGuarded:
//   - the computation runs on a worker thread and works on the state it was
//     handed; it never touches a widget;
//   - while it runs, every input of the window that could change that state
//     is disabled (buttons, edits, check boxes, combo boxes, sliders, spin
//     boxes, editable tables, charts that react to clicks, tab bars and the
//     menu actions), so the state and the random source have one owner at a
//     time (a button with the property "tarvikStop", which only stops the
//     running computation, stays usable); the hourglass is shown;
//   - it reports to the window through Progress::Post: the closures run on
//     the user-interface thread, in the order posted, before the end;
//   - at the end the inputs are restored, then the finishing step runs on
//     the user-interface thread, or the error box shows the error's message.
// Only one computation runs at a time.
class BackgroundTask : public QObject {
  Q_OBJECT

 public:
  // What the worker uses to talk to the window. Thread-safe.
  class Progress {
   public:
    // Queues `toWindow` to run on the user-interface thread. Raises
    // ComputationCancelled once the window asked the computation to stop.
    void Post(std::function<void()> toWindow) const;
    // Raises ComputationCancelled once the window asked the computation to stop.
    void ThrowIfCancelled() const;

   private:
    friend class BackgroundTask;
    explicit Progress(BackgroundTask* task) : task_(task) {}
    BackgroundTask* task_;
  };

  // `window`: the window whose inputs are disabled during a computation;
  // `ui`: where errors are shown.
  BackgroundTask(QWidget* window, UiServices& ui);
  ~BackgroundTask() override;

  bool Running() const { return running_; }

  // Runs work(progress) on a worker thread, then done(result) on the
  // user-interface thread (done() without an argument when work returns
  // void). An error raised by work or done ends in the error box; a
  // computation already running raises tarvik::Error and nothing starts.
  template <typename Work, typename Done>
  void Run(Work work, Done done) {
    using Result = std::invoke_result_t<Work&, Progress&>;
    if constexpr (std::is_void_v<Result>) {
      Start([work = std::move(work)](Progress& progress) mutable { work(progress); },
            [done = std::move(done)]() mutable { done(); });
    } else {
      auto slot = std::make_shared<std::optional<Result>>();
      Start([work = std::move(work),
             slot](Progress& progress) mutable { slot->emplace(work(progress)); },
            [done = std::move(done), slot]() mutable { done(std::move(**slot)); });
    }
  }

  // The pages' way to run a computation: work(progress) on a worker thread;
  // then, on the user-interface thread, always() whatever happened (it puts
  // the page back in order: hides a gauge, redraws from the state), then
  // apply(result) when the work succeeded, or the error box with the work's
  // error. A stop because the window closes runs neither.
  template <typename Work, typename Always, typename Apply>
  void RunGuarded(Work work, Always always, Apply apply) {
    using Result = std::invoke_result_t<Work&, Progress&>;
    struct Attempt {
      std::optional<Result> value;
      std::exception_ptr error;
    };
    Run(
        [work = std::move(work)](Progress& progress) mutable {
          Attempt attempt;
          try {
            attempt.value.emplace(work(progress));
          } catch (const ComputationCancelled&) {
            throw;
          } catch (...) {
            attempt.error = std::current_exception();
          }
          return attempt;
        },
        [always = std::move(always), apply = std::move(apply)](Attempt attempt) mutable {
          always();
          if (attempt.error) std::rethrow_exception(attempt.error);
          apply(std::move(*attempt.value));
        });
  }

  // Asks the running computation to stop at its next report and waits until
  // its thread has ended; the finishing step does not run. Used when the
  // window closes. Does nothing when nothing runs.
  void CancelAndWait();

 signals:
  // A computation ended (after its finishing step or its error box).
  void Finished();

 private:
  void Start(std::function<void(Progress&)> work, std::function<void()> done);
  void Complete();
  void DisableInputs();
  void RestoreInputs();

  QWidget* window_;
  UiServices& ui_;
  // A joinable thread, joined before the finishing step: once joined it has
  // ended completely (a detached thread may still be unwinding while the
  // process exits).
  std::thread thread_;
  bool running_ = false;
  std::atomic<bool> cancelled_{false};
  std::exception_ptr error_;
  std::function<void()> done_;
  std::vector<QPointer<QObject>> disabled_;
};

// A progress callback for the core that shows the worker's progress on
// `gauge` (range and value, posted to the user-interface thread).
ProgressCallback ProgressOn(const BackgroundTask::Progress& progress, QProgressBar* gauge);

}  // namespace tarvik::app
