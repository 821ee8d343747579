#include "assessment/assessment_file.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

#include "common/error.h"
#include "common/files.h"

namespace tarvik::assessment {
namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// Deeper nesting than any assessment needs is refused before parsing, so that
// no input can exhaust the stack of a reader.
constexpr int kMaxDepth = 64;
// The longest text one field may hold (a cell, a description line, a label).
constexpr std::size_t kMaxTextBytes = 64 * 1024;
constexpr int kPages = 6;

[[noreturn]] void Fail(const std::string& where, const std::string& what) {
  throw Error("Файл оценки, " + where + ": " + what);
}

// A double as the shortest text that reads back to it.
std::string ExactText(double x) {
  char buffer[32];
  const std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, x);
  return std::string(buffer, written.ptr);
}

// Whether every number in `value` is finite.
bool AllFinite(const Json& value) {
  if (value.is_number_float()) return std::isfinite(value.get<double>());
  if (value.is_structured()) {
    for (const auto& item : value) {
      if (!AllFinite(item)) return false;
    }
  }
  return true;
}

void CheckDepth(std::string_view bytes) {
  int depth = 0;
  bool inString = false, escaped = false;
  for (const char ch : bytes) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (ch == '\\') {
        escaped = true;
      } else if (ch == '"') {
        inString = false;
      }
      continue;
    }
    if (ch == '"') inString = true;
    if (ch == '[' || ch == '{') {
      if (++depth > kMaxDepth) {
        throw Error("Файл оценки повреждён: вложенность глубже " + std::to_string(kMaxDepth) +
                    " уровней");
      }
    }
    if (ch == ']' || ch == '}') --depth;
  }
}

// Line and column (from 1) of the byte at `offset`.
std::string Position(std::string_view bytes, std::size_t offset) {
  offset = std::min(offset, bytes.size());
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    if (bytes[i] == '\n') {
      ++line;
      column = 1;
    } else if ((static_cast<unsigned char>(bytes[i]) & 0xC0) != 0x80) {
      ++column;
    }
  }
  return "строка " + std::to_string(line) + ", столбец " + std::to_string(column);
}

const Json& Member(const Json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end()) Fail(where, "нет поля «" + std::string(key) + "»");
  return *it;
}

std::string Text(const Json& value, const std::string& where) {
  if (!value.is_string()) Fail(where, "ожидается текст");
  std::string text = value.get<std::string>();
  if (text.size() > kMaxTextBytes) {
    Fail(where, "текст длиннее " + std::to_string(kMaxTextBytes / 1024) + " КиБ");
  }
  return text;
}

long long Integer(const Json& value, const std::string& where, long long low, long long high) {
  if (!value.is_number_integer()) Fail(where, "ожидается целое число");
  const long long n = value.is_number_unsigned()
                          ? static_cast<long long>(std::min<std::uint64_t>(
                                value.get<std::uint64_t>(),
                                static_cast<std::uint64_t>(std::numeric_limits<long long>::max())))
                          : value.get<long long>();
  if (n < low || n > high) {
    Fail(where, "значение " + std::to_string(n) + " вне допустимого диапазона " +
                    std::to_string(low) + " … " + std::to_string(high));
  }
  return n;
}

double Number(const Json& value, const std::string& where) {
  if (!value.is_number()) Fail(where, "ожидается число");
  const double x = value.get<double>();
  if (!std::isfinite(x)) Fail(where, "число вне диапазона");
  return x;
}

std::optional<double> OptionalNumber(const Json& object, const char* key, const std::string& where) {
  const auto it = object.find(key);
  if (it == object.end() || it->is_null()) return std::nullopt;
  return Number(*it, where + "." + key);
}

data::DataDescription ReadDescription(const Json& d) {
  const std::string where = "поле «data.description»";
  if (!d.is_object()) Fail(where, "ожидается объект");
  data::DataDescription out;
  out.species = Text(Member(d, "species", where), where + ".species");
  out.stock = Text(Member(d, "stock", where), where + ".stock");
  out.season = Text(Member(d, "season", where), where + ".season");
  out.area = Text(Member(d, "area", where), where + ".area");
  const Json& scientific = Member(d, "scientific", where);
  if (!scientific.is_boolean()) Fail(where + ".scientific", "ожидается true или false");
  out.scientific = scientific.get<bool>();
  out.source = Text(Member(d, "source", where), where + ".source");
  out.effortUnit = Text(Member(d, "effort_unit", where), where + ".effort_unit");
  out.catchUnitExponent =
      static_cast<int>(Integer(Member(d, "catch_unit_exponent", where), where + ".catch_unit_exponent", -6, 5));
  return out;
}

data::DataTable ReadTable(const Json& rows, char fileMark, char decimalMark) {
  const std::string where = "поле «data.table»";
  if (!rows.is_array()) Fail(where, "ожидается список строк таблицы");
  if (rows.empty() || rows.size() > static_cast<std::size_t>(data::DataTable::kMaxDataRows)) {
    Fail(where, "строк " + std::to_string(rows.size()) + ", допускается от 1 до " +
                    std::to_string(data::DataTable::kMaxDataRows));
  }
  std::vector<std::array<std::string, data::DataTable::kColumns>> cells(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string row = where + ", строка " + std::to_string(r + 1);
    if (!rows[r].is_array() || rows[r].size() != data::DataTable::kColumns) {
      Fail(row, "ожидаются 4 ячейки (год, U, E, C)");
    }
    for (int c = 0; c < data::DataTable::kColumns; ++c) {
      std::string text = Text(rows[r][static_cast<std::size_t>(c)], row + ", столбец " + std::to_string(c + 1));
      if (c != data::DataTable::kYear && fileMark != decimalMark) {
        text = data::NormaliseDecimalMark(text, decimalMark);
      }
      cells[r][static_cast<std::size_t>(c)] = std::move(text);
    }
  }
  return data::DataTable::FromRows(cells);
}

std::vector<Step> ReadSteps(const Json& steps) {
  const std::string where = "поле «steps»";
  if (!steps.is_array()) Fail(where, "ожидается список шагов");
  if (steps.size() > kMaxSteps) Fail(where, "шагов больше " + std::to_string(kMaxSteps));
  const std::vector<std::string_view>& known = KnownTransitions();
  std::vector<Step> out;
  out.reserve(steps.size());
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const std::string step = "шаг " + std::to_string(i + 1);
    if (!steps[i].is_object()) Fail(step, "ожидается объект");
    Step s;
    s.Transition = Text(Member(steps[i], "transition", step), step + ", поле «transition»");
    if (std::find(known.begin(), known.end(), s.Transition) == known.end()) {
      Fail(step, "неизвестное действие «" + MessageExcerpt(s.Transition) +
                     "» (файл записан более новой версией программы?)");
    }
    const auto inputs = steps[i].find("inputs");
    if (inputs != steps[i].end()) {
      if (!inputs->is_object()) Fail(step + " («" + s.Transition + "»)", "поле «inputs» должно быть объектом");
      if (!AllFinite(*inputs)) Fail(step + " («" + s.Transition + "»)", "число вне диапазона в поле «inputs»");
      s.Inputs = *inputs;
    }
    out.push_back(std::move(s));
  }
  return out;
}

Fingerprint ReadFingerprint(const Json& f) {
  const std::string where = "поле «fingerprint»";
  if (!f.is_object()) Fail(where, "ожидается объект");
  Fingerprint out;
  if (const auto variants = f.find("variants"); variants != f.end()) {
    if (!variants->is_array()) Fail(where + ".variants", "ожидается список");
    for (std::size_t i = 0; i < variants->size(); ++i) {
      const Json& v = (*variants)[i];
      const std::string item = where + ".variants, элемент " + std::to_string(i + 1);
      if (!v.is_object()) Fail(item, "ожидается объект");
      out.Variants.push_back({Text(Member(v, "label", item), item + ".label"),
                              Number(Member(v, "r", item), item + ".r"),
                              Number(Member(v, "K", item), item + ".K"),
                              Number(Member(v, "q", item), item + ".q"),
                              Number(Member(v, "L", item), item + ".L")});
    }
  }
  out.ChosenMsy = OptionalNumber(f, "chosen_msy", where);
  if (const auto tac = f.find("tac_interval"); tac != f.end() && !tac->is_null()) {
    if (!tac->is_array() || tac->size() != 2) Fail(where + ".tac_interval", "ожидаются два числа");
    out.TacLow = Number((*tac)[0], where + ".tac_interval");
    out.TacHigh = Number((*tac)[1], where + ".tac_interval");
  }
  out.DecisionMaxCatch = OptionalNumber(f, "decision_max_catch", where);
  return out;
}

OrderedJson ToOrdered(const Json& value) {
  return OrderedJson::parse(value.dump());
}

OrderedJson OptionalJson(const std::optional<double>& x) {
  return x ? OrderedJson(*x) : OrderedJson(nullptr);
}

void CompareNumber(std::vector<FingerprintDifference>& out, const std::string& what,
                   const std::optional<double>& expected, const std::optional<double>& actual) {
  if (!expected && !actual) return;
  if (expected && actual) {
    if (*expected == *actual) return;
    const double scale = std::max(std::fabs(*expected), std::fabs(*actual));
    out.push_back({what, ExactText(*expected), ExactText(*actual),
                   scale > 0.0 ? std::optional<double>(std::fabs(*expected - *actual) / scale)
                               : std::nullopt});
    return;
  }
  out.push_back({what, expected ? ExactText(*expected) : "нет", actual ? ExactText(*actual) : "нет",
                 std::nullopt});
}

}  // namespace

const std::vector<std::string_view>& KnownTransitions() {
  static const std::vector<std::string_view> known = {
      "open_data_set",        "edit_cell",         "paste_data_set",
      "replace_data_set",     "rebuild_variants",  "enable_variant",
      "enable_model",         "suitability_check", "search",
      "choose_model",         "adopt_refinement",  "estimate_observation_error",
      "adopt_observation_error", "estimate_state_space", "adopt_state_space",
      "reference_points",     "change_selector",   "confidence_intervals",
      "add_rule",             "delete_rule",       "choose_rule",
      "optimise_rule",        "evaluate_rules",    "forecast",
      "sensitivity",          "decision_table",    "retrospective"};
  return known;
}

std::string FormatAssessmentFile(const AssessmentFile& file) {
  OrderedJson description = {{"species", file.Description.species},
                             {"stock", file.Description.stock},
                             {"season", file.Description.season},
                             {"area", file.Description.area},
                             {"scientific", file.Description.scientific},
                             {"source", file.Description.source},
                             {"effort_unit", file.Description.effortUnit},
                             {"catch_unit_exponent", file.Description.catchUnitExponent}};
  OrderedJson table = OrderedJson::array();
  for (int row = 1; row < file.Table.RowCount(); ++row) {
    OrderedJson cells = OrderedJson::array();
    for (int column = 0; column < data::DataTable::kColumns; ++column) {
      cells.push_back(file.Table.Cell(column, row));
    }
    table.push_back(std::move(cells));
  }
  OrderedJson steps = OrderedJson::array();
  for (std::size_t i = 0; i < file.Steps.size(); ++i) {
    const Step& step = file.Steps[i];
    if (!AllFinite(step.Inputs)) {
      throw Error("Файл оценки не записан: шаг " + std::to_string(i + 1) + " («" + step.Transition +
                  "») содержит число, не являющееся конечным");
    }
    steps.push_back({{"transition", step.Transition}, {"inputs", ToOrdered(step.Inputs)}});
  }
  OrderedJson variants = OrderedJson::array();
  for (const Fingerprint::Variant& v : file.Results.Variants) {
    for (const double x : {v.R, v.K, v.Q, v.L}) {
      if (!std::isfinite(x)) {
        throw Error("Файл оценки не записан: параметры варианта «" + v.Label +
                    "» не являются конечными числами");
      }
    }
    variants.push_back({{"label", v.Label}, {"r", v.R}, {"K", v.K}, {"q", v.Q}, {"L", v.L}});
  }
  OrderedJson fingerprint = {{"variants", std::move(variants)},
                             {"chosen_msy", OptionalJson(file.Results.ChosenMsy)}};
  fingerprint["tac_interval"] =
      file.Results.TacLow && file.Results.TacHigh
          ? OrderedJson::array({*file.Results.TacLow, *file.Results.TacHigh})
          : OrderedJson(nullptr);
  fingerprint["decision_max_catch"] = OptionalJson(file.Results.DecisionMaxCatch);
  for (const std::optional<double>& x : {file.Results.ChosenMsy, file.Results.TacLow,
                                         file.Results.TacHigh, file.Results.DecisionMaxCatch}) {
    if (x && !std::isfinite(*x)) {
      throw Error("Файл оценки не записан: результат оценки не является конечным числом");
    }
  }

  OrderedJson document = {
      {"format", kFormatName},
      {"format_version", kFormatVersion},
      {"program_version", file.ProgramVersion},
      {"data",
       {{"file_name", file.DataFileName},
        {"decimal_mark", std::string(1, file.DecimalMark)},
        {"description", std::move(description)},
        {"table", std::move(table)}}},
      {"random_seed_at_start", file.RandomSeedAtStart},
      {"steps", std::move(steps)},
      {"window", {{"page", file.FrontPage}}},
      {"fingerprint", std::move(fingerprint)}};
  return document.dump(1, '\t', false, Json::error_handler_t::strict) + "\n";
}

AssessmentFile ParseAssessmentFile(std::string_view bytes, char decimalMark) {
  if (bytes.empty()) throw Error("Файл оценки пуст");
  CheckDepth(bytes);
  Json document;
  try {
    document = Json::parse(bytes.begin(), bytes.end());
  } catch (const Json::parse_error& e) {
    const bool truncated = e.byte >= bytes.size();
    throw Error(std::string(truncated ? "Файл оценки обрезан" : "Файл оценки повреждён") + ": " +
                (truncated ? "текст кончается" : "ошибка разметки JSON") + " (" +
                Position(bytes, e.byte == 0 ? 0 : e.byte - 1) + ")");
  } catch (const Json::out_of_range&) {
    throw Error("Файл оценки повреждён: в нём есть число вне диапазона чисел с плавающей точкой");
  }
  if (!document.is_object()) throw Error("Файл оценки повреждён: это не объект JSON");
  const auto format = document.find("format");
  if (format == document.end() || !format->is_string() || format->get<std::string>() != kFormatName) {
    throw Error("Это не файл оценки Tarvik (нет поля «format»: \"" + std::string(kFormatName) + "\")");
  }
  const Json& version = Member(document, "format_version", "заголовок");
  if (!version.is_number_integer()) Fail("поле «format_version»", "ожидается целое число");
  if (version.get<long long>() > kFormatVersion) {
    throw Error("Файл оценки записан в формате версии " + std::to_string(version.get<long long>()) +
                ", а эта программа читает версии до " + std::to_string(kFormatVersion) +
                ": откройте его более новой версией программы");
  }
  Integer(version, "поле «format_version»", 1, kFormatVersion);

  AssessmentFile file;
  if (const auto program = document.find("program_version"); program != document.end()) {
    file.ProgramVersion = Text(*program, "поле «program_version»");
  }
  const Json& data = Member(document, "data", "заголовок");
  if (!data.is_object()) Fail("поле «data»", "ожидается объект");
  if (const auto name = data.find("file_name"); name != data.end()) {
    file.DataFileName = Text(*name, "поле «data.file_name»");
  }
  const std::string mark = Text(Member(data, "decimal_mark", "поле «data»"), "поле «data.decimal_mark»");
  if (mark != "." && mark != ",") Fail("поле «data.decimal_mark»", "ожидается \".\" или \",\"");
  file.DecimalMark = decimalMark;
  file.Description = ReadDescription(Member(data, "description", "поле «data»"));
  file.Table = ReadTable(Member(data, "table", "поле «data»"), mark[0], decimalMark);
  file.RandomSeedAtStart = static_cast<std::uint32_t>(
      Integer(Member(document, "random_seed_at_start", "заголовок"), "поле «random_seed_at_start»", 0,
              std::numeric_limits<std::uint32_t>::max()));
  file.Steps = ReadSteps(Member(document, "steps", "заголовок"));
  if (const auto window = document.find("window"); window != document.end()) {
    if (!window->is_object()) Fail("поле «window»", "ожидается объект");
    if (const auto page = window->find("page"); page != window->end()) {
      file.FrontPage = static_cast<int>(Integer(*page, "поле «window.page»", 0, kPages - 1));
    }
  }
  if (const auto fingerprint = document.find("fingerprint"); fingerprint != document.end()) {
    file.Results = ReadFingerprint(*fingerprint);
  }
  return file;
}

AssessmentFile ReadAssessmentFile(const std::string& path, char decimalMark) {
  return ParseAssessmentFile(ReadRegularFile(path, kMaxAssessmentFileBytes, "Файл оценки"),
                             decimalMark);
}

void WriteAssessmentFile(const std::string& path, const AssessmentFile& file,
                         const std::string& dataFileName) {
  RefuseDataFile(path, dataFileName, "Файл оценки");
  const std::string bytes = FormatAssessmentFile(file);
  std::error_code ec;
  if (std::filesystem::exists(PathFromUtf8(path), ec)) {
    // Only an assessment file (or an empty file) is written over: a data
    // file, a report or anything else under that name stays.
    const std::string old = ReadRegularFile(path, kMaxAssessmentFileBytes, "Файл оценки");
    bool ours = old.empty();
    if (!ours) {
      const Json existing = Json::parse(old, nullptr, false);
      const auto format = existing.is_object() ? existing.find("format") : existing.end();
      ours = existing.is_object() && format != existing.end() && format->is_string() &&
             format->get<std::string>() == kFormatName;
    }
    if (!ours) {
      throw Error("Файл оценки нельзя записать в «" + path +
                  "»: там уже есть файл другого рода (данные, отчёт или другой документ), он был "
                  "бы потерян; выберите другое имя файла");
    }
  }
  WriteFileAtomically(path, bytes);
}

std::vector<FingerprintDifference> CompareFingerprints(const Fingerprint& expected,
                                                       const Fingerprint& actual) {
  std::vector<FingerprintDifference> out;
  const std::size_t n = std::max(expected.Variants.size(), actual.Variants.size());
  for (std::size_t i = 0; i < n; ++i) {
    const Fingerprint::Variant* e = i < expected.Variants.size() ? &expected.Variants[i] : nullptr;
    const Fingerprint::Variant* a = i < actual.Variants.size() ? &actual.Variants[i] : nullptr;
    const std::string name = "вариант " + std::to_string(i + 1) + " «" + (e ? e->Label : a->Label) + "»";
    if (!e || !a || e->Label != a->Label) {
      out.push_back({name, e ? e->Label : "нет", a ? a->Label : "нет", std::nullopt});
      continue;
    }
    CompareNumber(out, name + ", r", e->R, a->R);
    CompareNumber(out, name + ", K", e->K, a->K);
    CompareNumber(out, name + ", q", e->Q, a->Q);
    CompareNumber(out, name + ", L", e->L, a->L);
  }
  CompareNumber(out, "MSY выбранного варианта", expected.ChosenMsy, actual.ChosenMsy);
  CompareNumber(out, "нижняя граница интервала ОДУ", expected.TacLow, actual.TacLow);
  CompareNumber(out, "верхняя граница интервала ОДУ", expected.TacHigh, actual.TacHigh);
  CompareNumber(out, "наибольший улов таблицы решений", expected.DecisionMaxCatch,
                actual.DecisionMaxCatch);
  return out;
}

namespace {

// An absolute Windows path: C:\… or C:/… (a drive and a separator) or \\server\… (a network path).
bool IsAbsoluteWindowsPath(const std::string& path) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  if (path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
      path[1] == ':' && separator(path[2]))
    return true;
  return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

std::string UnderWindowsFolder(std::string folder, const char* below) {
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return folder + below;
}

}  // namespace

std::string RecoveryFilePath(std::string (*environment)(const char* name), DataFolderRule rule) {
  if (rule == DataFolderRule::Windows) {
    for (const char* name : {"LOCALAPPDATA", "APPDATA"}) {
      const std::string folder = environment(name);
      if (IsAbsoluteWindowsPath(folder)) return UnderWindowsFolder(folder, "Tarvik\\recovery.tarvik");
    }
    const std::string profile = environment("USERPROFILE");
    if (IsAbsoluteWindowsPath(profile))
      return UnderWindowsFolder(profile, "AppData\\Local\\Tarvik\\recovery.tarvik");
    return {};
  }
  const std::string data = environment("XDG_DATA_HOME");
  if (!data.empty() && data.front() == '/') return data + "/tarvik/recovery.tarvik";
  const std::string home = environment("HOME");
  if (!home.empty()) return home + "/.local/share/tarvik/recovery.tarvik";
  return {};
}

}  // namespace tarvik::assessment
