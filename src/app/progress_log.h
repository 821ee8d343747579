#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QPlainTextEdit>
#include <QProgressBar>

#include "app/background_task.h"
#include "common/progress.h"

namespace tarvik::app {

// The progress log (a memo) and the gauge of a page: what its background
// computations write while they run. The functions for the worker post to
// the user-interface thread.
class ProgressLog {
 public:
  ProgressLog(QPlainTextEdit* memo, QProgressBar* gauge) : memo_(memo), gauge_(gauge) {}

  QPlainTextEdit* Memo() const { return memo_; }
  QProgressBar* Gauge() const { return gauge_; }

  // The gauge shown at 0 of `maximum`; hidden again.
  void StartGauge(int maximum) const;
  void HideGauge() const { gauge_->hide(); }

  // The memo's contents replaced by the lines; one line appended.
  void Show(const std::vector<std::string>& lines) const;
  void Append(const std::string& line) const;

  // For the worker.
  ProgressCallback Progress(const BackgroundTask::Progress& progress) const {
    return ProgressOn(progress, gauge_);
  }
  std::function<void(const std::vector<std::string>&)> Replacer(
      const BackgroundTask::Progress& progress) const;
  std::function<void(const std::string&)> Appender(const BackgroundTask::Progress& progress) const;

 private:
  QPlainTextEdit* memo_;
  QProgressBar* gauge_;
};

}  // namespace tarvik::app
