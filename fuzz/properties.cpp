#include "properties.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <set>
#include <tuple>
#include <typeinfo>
#include <utility>
#include <vector>

#include "assessment/assessment_file.h"
#include "assessment/state.h"
#include "assessment/variants.h"
#include "common/cp1251.h"
#include "common/error.h"
#include "common/numbers.h"
#include "data/data_file.h"
#include "data/data_table.h"
#include "estimation/variants.h"

namespace tarvik::fuzz {
namespace {

using data::CatchEffortSeries;
using data::DataFile;
using data::DataTable;

std::string& InputName() {
  static std::string name;
  return name;
}

[[noreturn]] void Violated(std::string_view target, const std::string& what) {
  std::fprintf(stderr, "Нарушено свойство (%.*s%s%s): %s\n", static_cast<int>(target.size()),
               target.data(), InputName().empty() ? "" : ", ", InputName().c_str(), what.c_str());
  std::fflush(stderr);
  std::abort();
}

// A message the user reads: whole (no NUL can cut it), short (a quoted text
// is an excerpt), valid UTF-8, not empty.
constexpr std::size_t kMaxMessageBytes = 600;

void CheckMessage(std::string_view target, const std::string& message) {
  if (message.empty()) Violated(target, "empty error message");
  if (message.size() > kMaxMessageBytes) {
    Violated(target, "error message of " + std::to_string(message.size()) + " bytes");
  }
  if (!IsValidUtf8(message)) Violated(target, "error message is not UTF-8: " + message);
}

// Runs `f`: nothing when it returns, the message of the tarvik::Error it
// raises; any other exception is a finding.
template <typename F>
std::optional<std::string> ErrorFrom(std::string_view target, F&& f) {
  try {
    f();
    return std::nullopt;
  } catch (const Error& e) {
    std::string message = e.what();
    CheckMessage(target, message);
    return message;
  } catch (const std::exception& e) {
    Violated(target, std::string("an exception other than tarvik::Error: ") + typeid(e).name() +
                         ": " + e.what());
  } catch (...) {
    Violated(target, "an exception of no known type");
  }
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::bit_cast<std::uint64_t>(a[i]) != std::bit_cast<std::uint64_t>(b[i])) return false;
  }
  return true;
}

bool SameSeries(const CatchEffortSeries& a, const CatchEffortSeries& b) {
  return SameBits(a.U, b.U) && SameBits(a.E, b.E) && SameBits(a.C, b.C) &&
         a.FirstYear == b.FirstYear;
}

void RequireFinite(std::string_view target, const std::vector<double>& values) {
  for (double v : values) {
    if (!std::isfinite(v)) Violated(target, "a non-finite number in the series");
  }
}

void RequireNoNonFiniteText(std::string_view target, const std::string& text) {
  for (const char* word : {"inf", "nan", "INF", "NAN"}) {
    if (text.find(word) != std::string::npos) Violated(target, "non-finite text: " + text);
  }
}

// What every table the program takes satisfies: 1 … 255 rows, each cell one
// line without a TAB, the series rebuilt from it finite and its years
// consecutive.
void CheckTakenTable(std::string_view target, const DataTable& table,
                     const CatchEffortSeries& series, char mark) {
  const int rows = table.DataRowCount();
  if (rows < 1 || rows > DataTable::kMaxDataRows) {
    Violated(target, "a table of " + std::to_string(rows) + " rows");
  }
  if (series.size() != static_cast<std::size_t>(rows) || series.E.size() != series.size() ||
      series.C.size() != series.size()) {
    Violated(target, "series and table differ in length");
  }
  RequireFinite(target, series.U);
  RequireFinite(target, series.E);
  RequireFinite(target, series.C);
  if (auto message = ErrorFrom(target, [&] { data::CheckYearSequence(table); })) {
    Violated(target, "a table taken with years out of sequence: " + *message);
  }
  if (series.FirstYear != data::CellYear(table, 1)) Violated(target, "FirstYear is not row 1");
  CatchEffortSeries rebuilt;
  if (auto message = ErrorFrom(target, [&] { rebuilt = data::RebuildLoadedSeries(table, mark); })) {
    Violated(target, "the taken table does not rebuild: " + *message);
  }
  if (!SameSeries(rebuilt, series)) Violated(target, "the series is not the table's");
  for (int row = 1; row <= rows; ++row) {
    for (int column = 0; column < DataTable::kColumns; ++column) {
      if (table.Cell(column, row).find_first_of("\t\r\n") != std::string::npos) {
        Violated(target, "a cell holds a TAB or a line end");
      }
    }
  }
}

// ------------------------------------------------------------ data file

constexpr std::string_view kDataFile = "data_file";

void CheckDataFileWithMark(std::string_view bytes, char mark) {
  DataFile file;
  if (ErrorFrom(kDataFile, [&] { file = data::ParseDataFile(bytes, mark); })) return;
  CheckTakenTable(kDataFile, file.table, file.series, mark);
  const char other = mark == '.' ? ',' : '.';
  for (int row = 1; row <= file.table.DataRowCount(); ++row) {
    for (int column = 0; column < DataTable::kColumns; ++column) {
      if (file.table.Cell(column, row).find(other) != std::string::npos) {
        Violated(kDataFile, "a cell keeps the other decimal mark");
      }
    }
  }
  const data::DataDescription& d = file.description;
  if (d.catchUnitExponent < -6 || d.catchUnitExponent > 5) {
    Violated(kDataFile, "catch unit exponent out of range");
  }
  for (const std::string* text :
       {&d.species, &d.stock, &d.season, &d.area, &d.source, &d.effortUnit}) {
    if (text->find_first_of("\r\n") != std::string::npos) {
      Violated(kDataFile, "a description text holds a line end");
    }
    if (!IsValidUtf8(*text)) Violated(kDataFile, "a description text is not UTF-8");
  }

  // What the program writes it reads back the same.
  std::string written;
  if (ErrorFrom(kDataFile, [&] { written = data::FormatDataFile(d, file.table); })) return;
  DataFile again;
  if (auto message = ErrorFrom(kDataFile, [&] { again = data::ParseDataFile(written, mark); })) {
    Violated(kDataFile, "a written file does not read back: " + *message);
  }
  if (!(again.description == d)) Violated(kDataFile, "the description does not read back");
  if (!(again.table == file.table)) Violated(kDataFile, "the table does not read back");
  if (!SameSeries(again.series, file.series)) Violated(kDataFile, "the series does not read back");
}

// --------------------------------------------------------------- paste

constexpr std::string_view kPaste = "paste";

DataTable FilledTable(char mark) {
  const std::string half = std::string("0") + mark + "5";
  return DataTable::FromRows({{"1995", "2" + std::string(1, mark) + "5", "10", "25"},
                              {"1996", " 2 ", "12" + std::string(1, mark) + "5", "25"},
                              {"1997", "1" + std::string(1, mark) + "5", "15", half}});
}

std::string AsClipboard(const DataTable& table) {
  std::string text;
  for (int row = 1; row <= table.DataRowCount(); ++row) {
    for (int column = 0; column < DataTable::kColumns; ++column) {
      if (column > 0) text += '\t';
      text += table.Cell(column, row);
    }
    text += "\r\n";
  }
  return text;
}

// ------------------------------------------------------------- numbers

constexpr std::string_view kNumbers = "numbers";

// 10^-decimals as the literal the program uses.
double Scale(int decimals) {
  return std::strtod(("1e" + std::to_string(-decimals)).c_str(), nullptr);
}

// Whether the rounding of x to `decimals` as written has a finite value.
bool Roundable(double x, int decimals) {
  return std::isfinite(x) && std::isfinite(std::nearbyint(x / Scale(decimals)) * Scale(decimals));
}

// |y − x| within half a unit of the last decimal, plus the rounding of the
// division and multiplication.
void RequireClose(const char* what, double x, double y, int decimals) {
  const double bound = 0.5 * Scale(decimals) * (1.0 + 1e-12) + 1e-15 * std::fabs(x) + 1e-300;
  if (!(std::fabs(y - x) <= bound)) {
    char text[128];
    std::snprintf(text, sizeof text, "%s: %.17g became %.17g (%d decimals)", what, x, y, decimals);
    Violated(kNumbers, text);
  }
}

void CheckGeneral(double x, char mark) {
  std::string text;
  const auto error = ErrorFrom(kNumbers, [&] { text = FormatGeneral(x, mark); });
  if (error.has_value() == std::isfinite(x)) {
    Violated(kNumbers, "FormatGeneral: finite and raised, or non-finite and wrote text");
  }
  if (error) return;
  RequireNoNonFiniteText(kNumbers, text);
  // Fifteen digits round the largest doubles (above 1.79769313486231e308) up
  // beyond the range: such a text is refused when read, never misread.
  if (std::fabs(x) > 1.79769313486231e308) return;
  const std::optional<double> back = TryParseDouble(text, mark);
  if (!back) Violated(kNumbers, "FormatGeneral wrote «" + text + "», which does not read back");
  if (FormatGeneral(*back, mark) != text)
    Violated(kNumbers, "FormatGeneral is not stable: " + text);
  if (std::fabs(x) >= std::numeric_limits<double>::min()) {
    if (!(std::fabs(*back - x) <= 1e-14 * std::fabs(x))) {
      Violated(kNumbers, "FormatGeneral lost more than 15 digits: " + text);
    }
  }
}

void CheckFixed(double x, int decimals, char mark) {
  std::string text;
  const auto error = ErrorFrom(kNumbers, [&] { text = FormatFixed(x, decimals, mark); });
  if (error.has_value() == Roundable(x, decimals)) {
    Violated(kNumbers, "FormatFixed: raised for a roundable value, or wrote an unroundable one");
  }
  if (error) return;
  RequireNoNonFiniteText(kNumbers, text);
  std::size_t i = text[0] == '-' ? 1 : 0;
  const std::size_t digits = text.find_first_not_of("0123456789", i);
  const bool shaped =
      digits != i &&
      (decimals == 0 ? digits == std::string::npos
                     : digits != std::string::npos && text[digits] == mark &&
                           text.size() - digits - 1 == static_cast<std::size_t>(decimals) &&
                           text.find_first_not_of("0123456789", digits + 1) == std::string::npos);
  if (!shaped)
    Violated(kNumbers, "FormatFixed wrote «" + text + "» for " + std::to_string(decimals));
  const std::optional<double> back = TryParseDouble(text, mark);
  if (!back) Violated(kNumbers, "FormatFixed wrote «" + text + "», which does not read back");
  RequireClose("FormatFixed", x, *back, decimals);
}

void CheckRounding(double x, int decimals) {
  double rounded = 0.0;
  const auto error = ErrorFrom(kNumbers, [&] { rounded = RoundDecimals(x, decimals); });
  if (error.has_value() == Roundable(x, decimals)) {
    Violated(kNumbers,
             "RoundDecimals: raised for a roundable value, or returned an unroundable one");
  }
  if (error) return;
  if (!std::isfinite(rounded)) Violated(kNumbers, "RoundDecimals returned a non-finite number");
  RequireClose("RoundDecimals", x, rounded, decimals);
}

void CheckField(double x, int width, int decimals) {
  std::string text;
  const auto error = ErrorFrom(kNumbers, [&] { text = FormatField(x, width, decimals); });
  if (error.has_value() == std::isfinite(x)) {
    Violated(kNumbers, "FormatField: finite and raised, or non-finite and wrote text");
  }
  if (error) return;
  RequireNoNonFiniteText(kNumbers, text);
  if (text.size() < static_cast<std::size_t>(width))
    Violated(kNumbers, "a field narrower than its width");
  const std::optional<double> back = TryParseDouble(text, '.');
  if (!back) Violated(kNumbers, "FormatField wrote «" + text + "», which does not read back");
  // The field is written from x itself (no rounding step of its own).
  RequireClose("FormatField", x, *back, decimals);
  const std::string matrix = FormatMatrixField(x, width, decimals);
  if (matrix.empty() || matrix[0] != ' ' || (matrix != text && matrix != " " + text)) {
    Violated(kNumbers, "a matrix field can join the one before it: «" + matrix + "»");
  }
}

void CheckReaders(std::string_view text, char mark) {
  if (const std::optional<double> value = TryParseDouble(text, mark)) {
    if (!std::isfinite(*value)) Violated(kNumbers, "TryParseDouble gave a non-finite number");
    CheckGeneral(*value, mark);
  }
  if (const std::optional<long long> value = TryParseInteger(text)) {
    if (TryParseInteger(std::to_string(*value)) != value) {
      Violated(kNumbers, "TryParseInteger does not read its own text");
    }
  }
}

// --------------------------------------------------------------- cut-offs

constexpr std::string_view kCutOffs = "cutoffs";

struct FitsView {
  std::vector<std::tuple<int, int, int, int>> Records;  // kind, objective, cut-off, enabled
  std::vector<std::uint8_t> CutOffs, Active;
  bool operator==(const FitsView&) const = default;
};

FitsView View(const AssessmentState& state) {
  FitsView view;
  for (const model::ModelFit& fit : state.ModelFits) {
    view.Records.emplace_back(static_cast<int>(fit.Kind), static_cast<int>(fit.Objective),
                              fit.CutOff, fit.Enabled);
  }
  view.CutOffs = state.CutOffValues;
  view.Active = state.ActiveVariants;
  return view;
}

}  // namespace

void SetInputName(std::string name) {
  InputName() = std::move(name);
}

void CheckDataFileReader(std::string_view bytes) {
  CheckDataFileWithMark(bytes, '.');
  CheckDataFileWithMark(bytes, ',');
}

void CheckPasteParser(std::string_view bytes) {
  const char mark = !bytes.empty() && (static_cast<unsigned char>(bytes[0]) & 1) ? ',' : '.';
  const std::string_view text = bytes.empty() ? bytes : bytes.substr(1);
  DataTable table = FilledTable(mark);
  CatchEffortSeries series = data::RebuildLoadedSeries(table, mark);
  const DataTable tableBefore = table;
  const CatchEffortSeries seriesBefore = series;
  if (ErrorFrom(kPaste, [&] { data::PasteClipboardRows(table, text, mark, series); })) {
    if (!(table == tableBefore) || !SameSeries(series, seriesBefore)) {
      Violated(kPaste, "a refused paste changed the table or the series");
    }
    return;
  }
  CheckTakenTable(kPaste, table, series, mark);
  // The table copied out and pasted again is the same table.
  DataTable again = FilledTable(mark);
  CatchEffortSeries againSeries;
  if (auto message = ErrorFrom(kPaste, [&] {
        data::PasteClipboardRows(again, AsClipboard(table), mark, againSeries);
      })) {
    Violated(kPaste, "the pasted table does not paste again: " + *message);
  }
  if (!(again == table) || !SameSeries(againSeries, series)) {
    Violated(kPaste, "the pasted table pastes again differently");
  }
}

void CheckNumbers(std::string_view bytes) {
  if (bytes.size() < 10) {
    CheckReaders(bytes, '.');
    return;
  }
  double x = 0.0;
  std::memcpy(&x, bytes.data(), sizeof x);
  const auto code = static_cast<unsigned char>(bytes[8]);
  const char mark = (code & 1) ? ',' : '.';
  const int decimals = (code >> 1) % 21;                        // masks: 0 … 20
  const int digit = static_cast<int>(code % 41) - 20;           // rounding: −20 … 20
  const int width = static_cast<unsigned char>(bytes[9]) % 32;  // fields for R
  CheckGeneral(x, mark);
  CheckFixed(x, decimals, mark);
  CheckRounding(x, digit);
  CheckField(x, width, decimals);
  CheckReaders(bytes.substr(10), mark);
}

void CheckCutOffList(std::string_view bytes) {
  AssessmentState state;
  estimation::BuildModelFits(state, "4");
  const FitsView before = View(state);
  std::vector<std::uint8_t> parsed;
  const auto parseError = ErrorFrom(kCutOffs, [&] { parsed = estimation::ParseCutOffList(bytes); });
  const auto buildError = ErrorFrom(kCutOffs, [&] { estimation::BuildModelFits(state, bytes); });
  if (buildError) {
    if (!(View(state) == before)) Violated(kCutOffs, "a refused list changed the variants");
    return;
  }
  if (parseError) Violated(kCutOffs, "BuildModelFits took a list ParseCutOffList refuses");
  const std::size_t perModel = estimation::VariantsPerModelFor(parsed);
  if (state.ModelFits.size() != 3 * perModel || state.ModelFits.size() > 255) {
    Violated(kCutOffs, "wrong number of variants");
  }
  if (state.CutOffValues != parsed) Violated(kCutOffs, "the stored list is not the parsed one");
  if (state.ActiveVariants.size() != state.ModelFits.size()) {
    Violated(kCutOffs, "not every variant is active");
  }
  const std::vector<std::string> labels = estimation::VariantLabels(state.ModelFits);
  std::set<std::string> distinct(labels.begin(), labels.end());
  if (distinct.size() != labels.size()) Violated(kCutOffs, "two variants share a label");
  for (std::size_t i = 0; i < labels.size(); ++i) {
    if (estimation::VariantIndexByLabel(state.ModelFits, labels[i]) != i) {
      Violated(kCutOffs, "a label names another variant: " + labels[i]);
    }
    const std::size_t slot = i % perModel;
    if (slot >= 2 && state.ModelFits[i].CutOff != parsed[slot - 2]) {
      Violated(kCutOffs, "a median variant carries another cut-off");
    }
  }
}

void CheckAssessmentFileReader(std::string_view bytes) {
  constexpr std::string_view target = "assessment_file";
  for (const char mark : {'.', ','}) {
    assessment::AssessmentFile file;
    if (ErrorFrom(target, [&] { file = assessment::ParseAssessmentFile(bytes, mark); })) continue;
    std::string written;
    if (const auto error = ErrorFrom(target, [&] { written = assessment::FormatAssessmentFile(file); })) {
      Violated(target, "a file that was read cannot be written: " + *error);
    }
    assessment::AssessmentFile again;
    if (const auto error = ErrorFrom(target, [&] { again = assessment::ParseAssessmentFile(written, mark); })) {
      Violated(target, "what was written does not read back: " + *error);
    }
    if (again.Table != file.Table || !(again.Description == file.Description) ||
        again.Steps != file.Steps || !(again.Results == file.Results) ||
        again.RandomSeedAtStart != file.RandomSeedAtStart || again.FrontPage != file.FrontPage ||
        again.DataFileName != file.DataFileName || again.ProgramVersion != file.ProgramVersion) {
      Violated(target, "what was written reads back as another assessment");
    }
  }
}

bool CheckTarget(std::string_view target, std::string_view bytes) {
  if (target == "assessment_file") {
    CheckAssessmentFileReader(bytes);
    return true;
  }
  if (target == kDataFile) {
    CheckDataFileReader(bytes);
  } else if (target == kPaste) {
    CheckPasteParser(bytes);
  } else if (target == kNumbers) {
    CheckNumbers(bytes);
  } else if (target == kCutOffs) {
    CheckCutOffList(bytes);
  } else {
    return false;
  }
  return true;
}

}  // namespace tarvik::fuzz
