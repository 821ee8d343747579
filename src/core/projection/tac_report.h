#pragma once

// The texts of the TAC report: the pieces shared by the on-screen report and
// the report file, the report file itself (Windows-1251, CR LF) and the names
// of the chart images.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/files.h"
#include "common/point.h"
#include "model/model_fit.h"
#include "rules/harvest_rule.h"

namespace tarvik::projection {

// The model line of a model-choice label ("Продукционная модель Шефера,
// целевая функция: сумма квадратов" for "Шефер СК"; the median labels of any
// cut-off list, "Шефер М4#3", name the median objective); nothing for a text
// that is no label of the variants (estimation::ParseVariantLabel).
std::optional<std::string> ModelLine(const std::string& modelChoiceText);

// "Blim  0" for a logistic rule or alpha 0, otherwise "Blim  " +
// RoundTo((1 − 1/alpha)·BTarget, −2), written 0 when negative.
std::string BlimLine(const rules::HarvestRule& rule, const model::ModelFit& fit,
                     char decimalMark = '.');

// One line of the interval estimate of the TAC per forecast year, from the
// points of the chart series "Интервал" (upper end, then lower end, per
// year): X + "\t" + lower + " - " + upper, each RoundTo(·, −1); a lower end
// that is not positive is written "0". With m points there are
// Round((m − 2)/2) + 1 lines (none for m < 2).
std::vector<std::string> IntervalLines(const PointList& interval, char decimalMark = '.');

// The year table rows from the points of "Биомасса" and "Улов / ОДУ":
// X + "\t\t" + Y + "\t\t" + Yc, each RoundTo(·, −2).
std::vector<std::string> TableRows(const PointList& biomass, const PointList& catches,
                                   char decimalMark = '.');

// The year table as cells, for copying and CSV: the header row ("ГОД",
// "БИОМАССА ЗАПАСА", "УЛОВЫ"), then per year the three texts of TableRows.
std::vector<std::vector<std::string>> TableCells(const PointList& biomass, const PointList& catches,
                                                 char decimalMark = '.');

// 59 and 91 hyphens, the rules of the file and of the screen.
std::string FileRule();
std::string ScreenRule();

// The last line of both reports when the chosen variant's values were
// adopted from the refinement of the search; without it the reports are
// exactly as before.
inline constexpr std::string_view kRefinedParametersLine =
    "Параметры уточнены локальной оптимизацией";
// The same for values adopted from the observation-error estimator.
inline constexpr std::string_view kObservationErrorParametersLine =
    "Параметры оценены по модели ошибки наблюдения";
// The same for values adopted from the state-space estimator.
inline constexpr std::string_view kStateSpaceParametersLine =
    "Параметры оценены по модели пространства состояний";

// The last line of both reports for values that did not come from the
// search: kRefinedParametersLine for adopted refined values,
// kObservationErrorParametersLine for adopted observation-error estimates,
// kStateSpaceParametersLine for adopted state-space estimates;
// nothing for the search's own. Another origin of the values is one more line here.
std::optional<std::string_view> OriginLine(model::FitOrigin origin);

// The texts of the result fields of the chosen variant, as the estimation
// page shows them.
struct ResultFieldTexts {
  std::string R, K, Q, L;
};

// What the report is written from: the page at the moment of writing.
struct TacReportInput {
  std::string Species;
  std::string Stock;
  std::string FirstYearText;  // year cells of the first and last table rows
  std::string LastYearText;
  std::string DataFileName;
  std::string ModelChoiceText;
  ResultFieldTexts Results;
  std::string RuleText;  // the rule selector's item text (the rule-list name)
  model::ModelFit Fit;   // the chosen variant's record (its Origin: OriginLine)
  rules::HarvestRule Rule;
  int Horizon = 5;
  bool AddNoise = true;     // "Добавить шум" as checked now
  PointList CatchInterval;  // "Интервал"
  PointList Biomass;        // "Биомасса"
  PointList Catch;          // "Улов / ОДУ"
  char DecimalMark = '.';
  // The section of the confidence intervals (uncertainty::ReportLines of
  // the chosen variant's bootstrap); empty without one.
  std::vector<std::string> UncertaintyLines;
  // The decision-table section (uncertainty::DecisionSectionOf); empty: none.
  std::vector<std::string> DecisionSection;
};

// The additions after the last line of both reports, in this order: the
// origin line (OriginLine), then the section of the confidence intervals
// after a blank line, then the decision-table section (AppendDecisionSection). In the file (`forFile`) the few signs of its formulas
// that Windows-1251 lacks are written out in ASCII ("−" as "-", "√" as
// "sqrt", a circumflex as "^").
void AppendClosingSections(const TacReportInput& input, bool forFile,
                           std::vector<std::string>& lines);

// The decision-table section after the last line of a report (after the
// origin line and the intervals): a blank line, then `section`; nothing for
// an empty section, so that a report without a decision table stays as it was.
void AppendDecisionSection(std::vector<std::string>& lines,
                           const std::vector<std::string>& section);

// The on-screen report (first memo), line by line.
std::vector<std::string> ScreenReportLines(const TacReportInput& input);

// The year table (second memo): header, 91 hyphens, table rows.
std::vector<std::string> ScreenTableLines(const TacReportInput& input);

// The lines of the report file, in its own layout (model line after the
// header block, 59 hyphens, single-space lines, the header with two tabs
// before "УЛОВЫ").
std::vector<std::string> TacReportFileLines(const TacReportInput& input);

// The file bytes: the lines in Windows-1251, each ended by CR LF. A character
// with no place in the code page raises Error naming it.
std::string EncodeReportFile(const std::vector<std::string>& lines);

// Raises Error, before anything is written, when the report at `path` or an
// image beside it (ReportImageFileName, KobeImageFileName) would replace the
// data file
// `dataFileName` (the files themselves are compared, however the paths are
// spelt), or when `path` is a folder or names a folder that does not exist.
void CheckReportPath(const std::string& path, const std::string& dataFileName);

// Writes the report file (EncodeReportFile) to `path` with
// WriteFileAtomically, so an existing report is either replaced whole or left
// untouched. CheckReportPath with input.DataFileName comes first: a report
// never replaces the data file. Errors raise Error with the path.
void SaveTacReport(const std::string& path, const TacReportInput& input);

using tarvik::WriteFileAtomically;

// The chart image beside a report: the report's ".txt" extension (any case)
// replaced by ".jpg"; a name without that extension gets ".jpg" appended, so
// the image never overwrites the report.
std::string ReportImageFileName(const std::string& reportPath);

// The Kobe plot's image beside a report: the report's ".txt" extension (any
// case) replaced by "_kobe.png"; a name without that extension gets
// "_kobe.png" appended ("/tmp/r.txt" → "/tmp/r_kobe.png").
std::string KobeImageFileName(const std::string& reportPath);

// The chart image beside the data file: its extension replaced by ".bmp"
// (".bmp" appended when it has none); with no data file ".bmp". A data file
// that is itself named so (".bmp") raises Error: the image would replace it.
std::string ForecastImageFileName(const std::string& dataFileName);

}  // namespace tarvik::projection
