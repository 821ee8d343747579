#include "projection/tac_report.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/numbers.h"
#include "estimation/variants.h"
#include "model/kinds.h"

namespace tarvik::projection {
namespace {

const char* ObjectiveWords(model::ObjectiveKind objective) {
  switch (objective) {
    case model::ObjectiveKind::SumOfSquares:
      return "сумма квадратов";
    case model::ObjectiveKind::LogSumOfSquares:
      return "логарифмическая";
    case model::ObjectiveKind::Median:
      return "медианная";
  }
  return "";
}

std::string General(double x, char mark) {
  return FormatGeneral(x, mark);
}

std::string Hyphens(std::size_t count) {
  return std::string(count, '-');
}

}  // namespace

std::optional<std::string> ModelLine(const std::string& text) {
  const std::optional<estimation::VariantKind> variant = estimation::ParseVariantLabel(text);
  if (!variant) return std::nullopt;
  return "Продукционная модель " + model::ModelName(variant->Kind) +
         ", целевая функция: " + ObjectiveWords(variant->Objective);
}

std::optional<std::string_view> OriginLine(model::FitOrigin origin) {
  switch (origin) {
    case model::FitOrigin::Refinement:
      return kRefinedParametersLine;
    case model::FitOrigin::ObservationError:
      return kObservationErrorParametersLine;
    case model::FitOrigin::StateSpace:
      return kStateSpaceParametersLine;
    case model::FitOrigin::None:
    case model::FitOrigin::Search:
      break;
  }
  return std::nullopt;
}

std::string BlimLine(const rules::HarvestRule& rule, const model::ModelFit& fit, char mark) {
  if (rule.Kind == rules::RuleKind::Logistic || rule.Alpha == 0.0) return "Blim  0";
  double limit = RoundTo((1.0 - 1.0 / rule.Alpha) * fit.BTarget, -2);
  if (limit < 0.0) limit = 0.0;
  return "Blim  " + General(limit, mark);
}

std::vector<std::string> IntervalLines(const PointList& interval, char mark) {
  std::vector<std::string> lines;
  if (interval.size() < 2) return lines;
  const double m = static_cast<double>(interval.size());
  const auto count = static_cast<std::size_t>(RoundHalfEven((m - 2.0) / 2.0) + 1.0);
  for (std::size_t k = 0; k < count && 2 * k + 1 < interval.size(); ++k) {
    const double year = RoundTo(interval[2 * k].x, -1);
    const double upper = RoundTo(interval[2 * k].y, -1);
    const double lower = RoundTo(interval[2 * k + 1].y, -1);
    const std::string lowerText = lower > 0.0 ? General(lower, mark) : "0";
    lines.push_back(General(year, mark) + "\t" + lowerText + " - " + General(upper, mark));
  }
  return lines;
}

std::vector<std::vector<std::string>> TableCells(const PointList& biomass, const PointList& catches,
                                                 char mark) {
  std::vector<std::vector<std::string>> cells{{"ГОД", "БИОМАССА ЗАПАСА", "УЛОВЫ"}};
  const std::size_t count = std::min(biomass.size(), catches.size());
  for (std::size_t k = 0; k < count; ++k) {
    cells.push_back({General(RoundTo(biomass[k].x, -2), mark),
                     General(RoundTo(biomass[k].y, -2), mark),
                     General(RoundTo(catches[k].y, -2), mark)});
  }
  return cells;
}

std::vector<std::string> TableRows(const PointList& biomass, const PointList& catches, char mark) {
  const std::vector<std::vector<std::string>> cells = TableCells(biomass, catches, mark);
  std::vector<std::string> rows;
  rows.reserve(cells.size() - 1);
  for (std::size_t k = 1; k < cells.size(); ++k) {
    rows.push_back(cells[k][0] + "\t\t" + cells[k][1] + "\t\t" + cells[k][2]);
  }
  return rows;
}

std::string FileRule() {
  return Hyphens(59);
}
std::string ScreenRule() {
  return Hyphens(91);
}

namespace {

// The lines both reports open with: species, stock, period, data file and a
// blank line.
void AppendHeadLines(const TacReportInput& in, std::vector<std::string>& lines) {
  lines.push_back("Вид  " + in.Species);
  lines.push_back("Запас  " + in.Stock);
  lines.push_back("Период наблюдения  " + in.FirstYearText + " - " + in.LastYearText);
  lines.push_back("Файл входных данных  " + in.DataFileName);
  lines.push_back(" ");
}

// The estimated parameters and the objective, as the result edits show them.
void AppendParameterLines(const TacReportInput& in, std::vector<std::string>& lines) {
  lines.push_back("r  " + in.Results.R);
  lines.push_back("K  " + in.Results.K);
  lines.push_back("q  " + in.Results.Q);
  lines.push_back("Значение целевой функции  " + in.Results.L);
}

// The forecast horizon and, with noise, the interval estimate of the TAC.
void AppendForecastLines(const TacReportInput& in, std::vector<std::string>& lines) {
  const char mark = in.DecimalMark;
  lines.push_back("Количество лет прогноза  " + std::to_string(in.Horizon));
  if (in.AddNoise) {
    lines.push_back("");
    lines.push_back("Интервальная оценка прогнозного значения ОДУ:  ");
    for (std::string& line : IntervalLines(in.CatchInterval, mark)) lines.push_back(line);
  }
}

}  // namespace

namespace {

// Signs of the bootstrap's and the decision table's texts that Windows-1251
// has no place for.
std::string ForCodePage(std::string line) {
  static const std::pair<std::string_view, std::string_view> kSigns[] = {
      {"Û", "U^"},         {"\u0302", "^"}, {"−", "-"},   {"√", "sqrt"}, {"ε", "e"},
      {"²", "^2"},         {"≤", "<="},     {"≥", ">="},  {"θ", "theta"}, {"η", "eta"},
      {"σ", "sigma"},      {"₁", "1"},      {"φ", "phi"}};
  for (const auto& [sign, ascii] : kSigns) {
    for (std::size_t at = line.find(sign); at != std::string::npos;
         at = line.find(sign, at + ascii.size())) {
      line.replace(at, sign.size(), ascii);
    }
  }
  return line;
}

}  // namespace

void AppendClosingSections(const TacReportInput& in, bool forFile,
                           std::vector<std::string>& lines) {
  if (const auto line = OriginLine(in.Fit.Origin)) lines.emplace_back(*line);
  if (!in.UncertaintyLines.empty()) {
    lines.push_back(" ");
    for (const std::string& line : in.UncertaintyLines) {
      lines.push_back(forFile ? ForCodePage(line) : line);
    }
  }
  if (!forFile) {
    AppendDecisionSection(lines, in.DecisionSection);
    return;
  }
  std::vector<std::string> section;
  for (const std::string& line : in.DecisionSection) section.push_back(ForCodePage(line));
  AppendDecisionSection(lines, section);
}

std::vector<std::string> ScreenReportLines(const TacReportInput& in) {
  const char mark = in.DecimalMark;
  const model::ModelFit& fit = in.Fit;
  std::vector<std::string> lines;
  AppendHeadLines(in, lines);
  lines.push_back("ПАРАМЕТРЫ МОДЕЛИ");
  lines.push_back(ScreenRule());
  if (const auto line = ModelLine(in.ModelChoiceText)) lines.push_back(*line);
  AppendParameterLines(in, lines);
  lines.push_back(" ");
  lines.push_back("ОРИЕНТИРЫ УПРАВЛЕНИЯ");
  lines.push_back(ScreenRule());
  lines.push_back("Управление: " + in.RuleText);
  lines.push_back("MSY  " + General(fit.MSY, mark));
  lines.push_back("BMSY  " + General(fit.BMSY, mark));
  lines.push_back("Btr  " + General(fit.BTarget, mark));
  lines.push_back(BlimLine(in.Rule, fit, mark));
  lines.push_back("EMSY  " + General(RoundTo(fit.EMSY, -2), mark));
  lines.push_back("Etr  " + General(RoundTo(fit.ETarget, -2), mark));
  lines.push_back("FMSY  " + General(RoundTo(fit.FMSY, -2), mark));
  lines.push_back("Ftr  " + General(RoundTo(fit.FTarget, -2), mark));
  lines.push_back(" ");
  AppendForecastLines(in, lines);
  AppendClosingSections(in, false, lines);
  return lines;
}

std::vector<std::string> ScreenTableLines(const TacReportInput& in) {
  std::vector<std::string> lines;
  lines.push_back("ГОД\tБИОМАССА ЗАПАСА\tУЛОВЫ");
  lines.push_back(ScreenRule());
  for (std::string& row : TableRows(in.Biomass, in.Catch, in.DecimalMark)) lines.push_back(row);
  return lines;
}

std::vector<std::string> TacReportFileLines(const TacReportInput& in) {
  const char mark = in.DecimalMark;
  const model::ModelFit& fit = in.Fit;
  std::vector<std::string> lines;
  AppendHeadLines(in, lines);
  if (const auto line = ModelLine(in.ModelChoiceText)) lines.push_back(*line);
  lines.push_back(" ");
  lines.push_back("ПАРАМЕТРЫ МОДЕЛИ");
  lines.push_back(FileRule());
  AppendParameterLines(in, lines);
  lines.push_back(" ");
  lines.push_back("Управление: " + in.RuleText);
  lines.push_back(" ");
  lines.push_back("ОРИЕНТИРЫ УПРАВЛЕНИЯ");
  lines.push_back(FileRule());
  lines.push_back("MSY  " + General(fit.MSY, mark));
  lines.push_back(" ");
  lines.push_back("BMSY  " + General(fit.BMSY, mark));
  lines.push_back("Btr  " + General(fit.BTarget, mark));
  lines.push_back(BlimLine(in.Rule, fit, mark));
  lines.push_back(" ");
  lines.push_back("EMSY  " + General(RoundTo(fit.EMSY, -2), mark));
  lines.push_back("Etr  " + General(RoundTo(fit.ETarget, -2), mark));
  lines.push_back(" ");
  lines.push_back("FMSY  " + General(RoundTo(fit.FMSY, -2), mark));
  lines.push_back("Ftr  " + General(RoundTo(fit.FTarget, -2), mark));
  lines.push_back(" ");
  AppendForecastLines(in, lines);
  lines.push_back(" ");
  lines.push_back("ГОД\tБИОМАССА ЗАПАСА\t\tУЛОВЫ");
  lines.push_back(FileRule());
  for (std::string& row : TableRows(in.Biomass, in.Catch, mark)) lines.push_back(row);
  lines.push_back(" ");
  // After the closing line, so that a reader that stops there, and every
  // line before it, stays as it was.
  AppendClosingSections(in, true, lines);
  return lines;
}

void AppendDecisionSection(std::vector<std::string>& lines,
                           const std::vector<std::string>& section) {
  if (section.empty()) return;
  lines.push_back(" ");
  lines.insert(lines.end(), section.begin(), section.end());
}

std::string EncodeReportFile(const std::vector<std::string>& lines) {
  std::string bytes;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string bad;
    const auto encoded = Utf8ToCp1251(lines[i], &bad);
    if (!encoded) {
      throw Error("Строка " + std::to_string(i + 1) + " отчёта содержит символ «" + bad +
                  "», которого нет в кодировке Windows-1251");
    }
    bytes += *encoded;
    bytes += "\r\n";
  }
  return bytes;
}

void CheckReportPath(const std::string& path, const std::string& dataFileName) {
  namespace fs = std::filesystem;
  if (path.empty()) throw Error("Не задано имя файла отчёта");
  const fs::path target = PathFromUtf8(path);
  std::error_code ec;
  if (fs::is_directory(target, ec)) {
    throw Error("Отчёт об ОДУ нельзя записать в «" + path + "»: это папка, а не файл");
  }
  const fs::path folder = target.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, ec)) {
    throw Error("Отчёт об ОДУ нельзя записать в «" + path + "»: папки «" + folder.string() +
                "» нет");
  }
  RefuseDataFile(path, dataFileName, "Отчёт об ОДУ");
  RefuseDataFile(ReportImageFileName(path), dataFileName, "Рисунок прогноза к отчёту");
  RefuseDataFile(KobeImageFileName(path), dataFileName, "Рисунок диаграммы Кобе к отчёту");
}

void SaveTacReport(const std::string& path, const TacReportInput& input) {
  CheckReportPath(path, input.DataFileName);
  WriteFileAtomically(path, EncodeReportFile(TacReportFileLines(input)));
}

namespace {

// The report's path with its ".txt" extension (any case) replaced by `ending`,
// or with `ending` appended when it has none.
std::string BesideReport(const std::string& reportPath, const char* ending) {
  if (reportPath.size() >= 4) {
    std::string tail = reportPath.substr(reportPath.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (tail == ".txt") return reportPath.substr(0, reportPath.size() - 4) + ending;
  }
  return reportPath + ending;
}

}  // namespace

std::string ReportImageFileName(const std::string& reportPath) {
  return BesideReport(reportPath, ".jpg");
}

std::string KobeImageFileName(const std::string& reportPath) {
  return BesideReport(reportPath, "_kobe.png");
}

std::string ForecastImageFileName(const std::string& dataFileName) {
  if (dataFileName.empty()) return ".bmp";
  const std::size_t slash = dataFileName.find_last_of("/\\");
  const std::size_t dot = dataFileName.find_last_of('.');
  const bool hasExtension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  const std::string image =
      hasExtension ? dataFileName.substr(0, dot) + ".bmp" : dataFileName + ".bmp";
  RefuseDataFile(image, dataFileName, "Рисунок прогноза");
  return image;
}

}  // namespace tarvik::projection
