#include "cli/replay_command.h"

#include <sstream>

#include "assessment/assessment_file.h"
#include "assessment/decision_table.h"
#include "assessment/journal.h"
#include "cli/json_output.h"
#include "common/error.h"
#include "projection/tac_report.h"

namespace tarvik::cli {
namespace {

constexpr char kDecimalMark = '.';

// The report as the window's «Сохранить в файл» writes it: the forecast
// drawn last, the data set's species and stock, the decision table made for it.
projection::TacReportInput ReportOf(const AssessmentState& state,
                                    const assessment::AssessmentFile& file) {
  if (!state.Forecast) {
    throw Error("Параметр --report: в оценке «" + file.DataFileName +
                "» нет прогноза ОДУ, отчёт не записан");
  }
  projection::TacReportInput report = state.Forecast->Report;
  report.Species = file.Description.species;
  report.Stock = file.Description.stock;
  report.DecisionSection = uncertainty::DecisionSectionOf(state, file.Description.catchUnitExponent, report.DecimalMark);
  return report;
}

Json OptionalJson(const std::optional<double>& x) { return x ? Json(*x) : Json(nullptr); }

Json FingerprintJson(const assessment::Fingerprint& f) {
  Json variants = Json::array();
  for (const auto& v : f.Variants) {
    variants.push_back({{"label", v.Label}, {"r", v.R}, {"K", v.K}, {"q", v.Q}, {"L", v.L}});
  }
  return {{"variants", std::move(variants)},
          {"chosen_msy", OptionalJson(f.ChosenMsy)},
          {"tac_low", OptionalJson(f.TacLow)},
          {"tac_high", OptionalJson(f.TacHigh)},
          {"decision_max_catch", OptionalJson(f.DecisionMaxCatch)}};
}

}  // namespace

CLI::App* AddReplayCommand(CLI::App& app, ReplayCommandOptions& o) {
  CLI::App* sub = app.add_subcommand(
      "replay",
      "Повтор сохранённой оценки (*.tarvik) без окна: все шаги заново и сверка результатов "
      "с файлом (код 3, если результат отличается)");
  sub->add_option("FILE", o.File, "Файл оценки (*.tarvik)")->required()->type_name("ФАЙЛ");
  sub->add_option("--report", o.Report, "Файл отчёта об ОДУ (.txt), как «Сохранить в файл»");
  sub->add_flag("--json", o.Json, "Вывод в формате JSON");
  return sub;
}

ReplayCommandResult RunReplayCommand(const ReplayCommandOptions& o) {
  const assessment::AssessmentFile file = assessment::ReadAssessmentFile(o.File, kDecimalMark);
  if (!o.Report.empty()) projection::CheckReportPath(o.Report, file.DataFileName);
  assessment::ReplayOptions options;
  options.DecimalMark = kDecimalMark;
  const assessment::ReplayOutcome replay = assessment::ReplayAndCompare(file, options);
  const std::vector<std::string> differences = assessment::DifferenceLines(replay.Differences);
  if (!o.Report.empty()) projection::SaveTacReport(o.Report, ReportOf(replay.State, file));

  ReplayCommandResult result;
  result.ExitCode = differences.empty() ? 0 : kFingerprintDiffers;
  if (o.Json) {
    Json j;
    j["file"] = o.File;
    j["program_version"] = file.ProgramVersion;
    j["steps"] = file.Steps.size();
    j["reproduced"] = differences.empty();
    j["differences"] = differences;
    j["fingerprint"] = FingerprintJson(assessment::FingerprintOf(replay.State));
    if (replay.State.Forecast) {
      std::vector<std::string> lines = replay.State.Forecast->ReportLines;
      projection::AppendDecisionSection(
          lines, uncertainty::DecisionSectionOf(replay.State, file.Description.catchUnitExponent,
                                          kDecimalMark));
      j["report_lines"] = std::move(lines);
    }
    if (!o.Report.empty()) j["report_file"] = o.Report;
    result.Output = DumpJson(j) + "\n";
    return result;
  }
  std::ostringstream out;
  out << "Оценка " << o.File << ": повторено шагов " << file.Steps.size() << "\n";
  if (differences.empty()) {
    out << "Все результаты совпадают с сохранёнными в файле\n";
  } else {
    out << "Результаты, которые отличаются от сохранённых в файле (записан программой "
        << file.ProgramVersion << "):\n";
    for (const std::string& line : differences) out << "  " << line << "\n";
  }
  if (!o.Report.empty()) out << "Отчёт сохранён в файл " << o.Report << "\n";
  result.Output = out.str();
  return result;
}

}  // namespace tarvik::cli
