#include "app/retrospective.h"

#include "app/locale_mark.h"
#include "estimation/variants.h"

namespace tarvik::app {

RetrospectiveAnalysis::RetrospectiveAnalysis(PageContext context, ProgressLog log,
                                             std::function<std::optional<int>()> maxFailures,
                                             QObject* parent)
    : QObject(parent), context_(context), log_(log), maxFailures_(std::move(maxFailures)) {}

void RetrospectiveAnalysis::Run(std::size_t variant, const estimation::SearchTexts& texts,
                                char decimalMark) {
  AssessmentState& state = context_.state;
  estimation::ReadSearchSettings(texts, decimalMark);
  const QString label = FromUtf8(estimation::VariantLabel(state.ModelFits, variant));
  estimation::RetrospectiveOptions options;
  if (const std::optional<int> failures = maxFailures_()) options.MaxFailures = *failures;
  log_.StartGauge(10);
  context_.background.RunGuarded(
      [this, &state, table = state.Table, variant, texts, decimalMark,
       options](BackgroundTask::Progress& progress) mutable {
        const auto append = log_.Appender(progress);
        const ProgressCallback advance = log_.Progress(progress);
        int lines = 0;
        // Line k starts run k; the last line ends the tenth.
        options.OnMemoLine = [&](const std::string& line) {
          append(line);
          advance(lines++, 10);
        };
        return estimation::RunRetrospective(state, table, variant, texts, decimalMark, options);
      },
      [this] { log_.HideGauge(); },
      [this, label](const estimation::RetrospectiveResult& result) {
        log_.Append(result.Mohn.Text);
        emit Finished(result, label);
      });
}

}  // namespace tarvik::app
