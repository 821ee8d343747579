#include "app/progress_log.h"

#include <QStringList>

#include "app/locale_mark.h"

namespace tarvik::app {

namespace {

QString Lines(const std::vector<std::string>& lines) {
  QStringList list;
  for (const std::string& line : lines) list << FromUtf8(line);
  return list.join(QLatin1Char('\n'));
}

}  // namespace

void ProgressLog::StartGauge(int maximum) const {
  gauge_->setRange(0, maximum);
  gauge_->setValue(0);
  gauge_->show();
}

void ProgressLog::Show(const std::vector<std::string>& lines) const {
  memo_->setPlainText(Lines(lines));
}

void ProgressLog::Append(const std::string& line) const {
  memo_->appendPlainText(FromUtf8(line));
}

std::function<void(const std::vector<std::string>&)> ProgressLog::Replacer(
    const BackgroundTask::Progress& progress) const {
  QPlainTextEdit* memo = memo_;
  return [memo, &progress](const std::vector<std::string>& lines) {
    progress.Post([memo, text = Lines(lines)] { memo->setPlainText(text); });
  };
}

std::function<void(const std::string&)> ProgressLog::Appender(
    const BackgroundTask::Progress& progress) const {
  QPlainTextEdit* memo = memo_;
  return [memo, &progress](const std::string& line) {
    progress.Post([memo, text = FromUtf8(line)] { memo->appendPlainText(text); });
  };
}

}  // namespace tarvik::app
