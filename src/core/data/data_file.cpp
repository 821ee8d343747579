#include "data/data_file.h"

#include <array>
#include <cmath>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "common/cp1251.h"
#include "common/error.h"
#include "common/files.h"
#include "common/numbers.h"

namespace tarvik::data {
namespace {

constexpr std::size_t kHeaderLines = 23;
// A data file holds 23 short lines and at most 255 rows; anything far larger
// is not a data file, and reading it whole would only waste memory.
constexpr std::uintmax_t kMaxFileBytes = 4u * 1024u * 1024u;

const std::string kLine1 = "-------------СПРАВКА-------------------";
const std::string kLine19 = "---------------РАЗМЕРНОСТЬ---------------";
const std::string kLine22(40, '-');
const std::string kLine23 = "ГОД\tУЛОВ НА УСИЛИЕ\tУСИЛИЕ\tУЛОВ";

bool IsControlOrBlank(char ch) {
  return static_cast<unsigned char>(ch) <= 32;
}

bool IsBlankLine(std::string_view line) {
  for (char ch : line) {
    if (!IsControlOrBlank(ch)) return false;
  }
  return true;
}

bool HasNonAscii(std::string_view bytes) {
  for (char ch : bytes) {
    if (static_cast<unsigned char>(ch) >= 0x80) return true;
  }
  return false;
}

// A text file in UTF-16 or UTF-32 (recognised by its byte-order mark), or
// one with NUL bytes, which no Windows-1251 or UTF-8 text holds, is refused
// with a message that says so.
void RefuseWideText(std::string_view bytes) {
  const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
  const char* encoding = nullptr;
  if (starts(std::string_view("\xFF\xFE\x00\x00", 4)) ||
      starts(std::string_view("\x00\x00\xFE\xFF", 4))) {
    encoding = "UTF-32";
  } else if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
    encoding = "UTF-16";
  }
  if (encoding) {
    throw Error(std::string("Файл данных записан в кодировке ") + encoding +
                "; сохраните его в кодировке Windows-1251 (или UTF-8) и откройте снова");
  }
  const std::size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) {
    const std::size_t line = SplitLines(bytes.substr(0, nul)).size() +
                             (nul == 0 || bytes[nul - 1] == '\n' || bytes[nul - 1] == '\r' ? 1 : 0);
    throw Error("Файл данных, строка " + std::to_string(line) +
                ": нулевой байт; это не текст в кодировке Windows-1251 или UTF-8 (возможно, "
                "файл в кодировке UTF-16 без метки порядка байтов или вовсе не текстовый)");
  }
}

// The text of the file as UTF-8: UTF-8 when the bytes say so (a byte-order
// mark, or valid UTF-8 with non-ASCII characters), Windows-1251 otherwise.
std::string DecodeFileText(std::string_view bytes) {
  RefuseWideText(bytes);
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (bytes.substr(0, kBom.size()) == kBom) {
    bytes.remove_prefix(kBom.size());
    if (IsValidUtf8(bytes)) return std::string(bytes);
    return Cp1251ToUtf8(bytes);
  }
  if (HasNonAscii(bytes) && IsValidUtf8(bytes)) return std::string(bytes);
  return Cp1251ToUtf8(bytes);
}

std::string FileLineError(std::size_t lineNumber, const std::string& what) {
  return "Файл данных, строка " + std::to_string(lineNumber) + ": " + what;
}

std::string FileCellError(std::size_t lineNumber, int column, const std::string& what) {
  return "Файл данных, строка " + std::to_string(lineNumber) + ", столбец \"" +
         TableHeader()[static_cast<std::size_t>(column)] + "\": " + what;
}

// Splits one data line into at most four fields: a TAB ends a field, and the
// blanks and control characters after it are skipped, so a run of TABs and
// blanks counts as one separator. Returns the number of fields found (fields
// beyond the fourth are counted but dropped).
int SplitDataLine(std::string_view line, std::array<std::string, DataTable::kColumns>& cells,
                  char decimalMark) {
  int count = 0;
  while (true) {
    const std::size_t tab = line.find('\t');
    const std::string_view field = line.substr(0, tab);
    if (count < DataTable::kColumns) {
      cells[static_cast<std::size_t>(count)] = NormaliseDecimalMark(field, decimalMark);
    }
    ++count;
    if (tab == std::string_view::npos) break;
    line.remove_prefix(tab + 1);
    while (!line.empty() && IsControlOrBlank(line.front())) line.remove_prefix(1);
  }
  return count;
}

// What reading the file would refuse in data row `row` of the table: a year
// that is no year or does not follow the one above, a number that is no
// number (written with either mark) or is out of range; "" when the row reads.
std::string RowReadProblem(const DataTable& table, int row) {
  for (int column = 0; column < DataTable::kColumns; ++column) {
    const std::string& cell = table.Cell(column, row);
    const char mark = cell.find(',') != std::string::npos ? ',' : '.';
    std::string problem = CellProblem(table, column, row, mark);
    if (!problem.empty()) return problem;
  }
  try {
    SequenceYear(table, row);
  } catch (const Error& error) {
    return error.what();
  }
  return {};
}

void CheckOneLine(std::string_view text, const std::string& what) {
  if (text.find_first_of("\r\n") != std::string_view::npos) {
    throw Error(what + " содержит перевод строки; в файле данных каждое поле занимает одну строку");
  }
}

// Appends `text` converted to Windows-1251, naming `what` when a character
// cannot be written.
void AppendCp1251(std::string& out, std::string_view text, const std::string& what) {
  std::string bad;
  const std::optional<std::string> bytes = Utf8ToCp1251(text, &bad);
  if (!bytes) {
    throw Error(what + ": символ \"" + bad +
                "\" нельзя записать в кодировке Windows-1251; файл не сохранён");
  }
  out += *bytes;
  out += "\r\n";
}

}  // namespace

std::string NormaliseDecimalMark(std::string_view field, char decimalMark) {
  std::string out(field);
  for (char& ch : out) {
    if (ch == '.' || ch == ',') ch = decimalMark;
  }
  return out;
}

DataFile ParseDataFile(std::string_view bytes, char decimalMark) {
  const std::string text = DecodeFileText(bytes);
  std::vector<std::string_view> lines = SplitLines(text);
  while (lines.size() > kHeaderLines && IsBlankLine(lines.back())) lines.pop_back();
  if (lines.size() <= kHeaderLines) {
    throw Error(
        "Файл данных должен содержать 23 строки описания и хотя бы одну строку данных "
        "(с 24-й строки); строк в файле: " +
        std::to_string(lines.size()));
  }

  DataFile file;
  DataDescription& d = file.description;
  d.species = std::string(lines[2]);
  d.stock = std::string(lines[5]);
  d.season = std::string(lines[8]);
  d.area = std::string(lines[11]);
  d.scientific = (lines[14] == kScientificData);
  d.source = std::string(lines[17]);
  d.effortUnit = std::string(lines[19]);
  const std::optional<long long> exponent = TryParseInteger(lines[20]);
  if (!exponent) {
    throw Error(FileLineError(21, "показатель единицы улова \"" + MessageExcerpt(lines[20]) +
                                      "\" не является целым числом"));
  }
  if (*exponent < -6 || *exponent > 5) {
    throw Error(FileLineError(21, "показатель единицы улова " + std::to_string(*exponent) +
                                      " вне допустимого диапазона -6 … 5"));
  }
  d.catchUnitExponent = static_cast<int>(*exponent);

  const std::size_t dataLines = lines.size() - kHeaderLines;
  if (dataLines > static_cast<std::size_t>(DataTable::kMaxDataRows)) {
    throw Error("Слишком много строк данных в файле: " + std::to_string(dataLines) +
                "; таблица вмещает не более " + std::to_string(DataTable::kMaxDataRows) + " лет");
  }
  std::vector<std::array<std::string, DataTable::kColumns>> rows(dataLines);
  for (std::size_t r = 0; r < dataLines; ++r) {
    const std::size_t lineNumber = kHeaderLines + r + 1;
    const std::string_view line = lines[kHeaderLines + r];
    if (IsBlankLine(line)) {
      throw Error(FileLineError(lineNumber, "пустая строка среди данных"));
    }
    const int fields = SplitDataLine(line, rows[r], decimalMark);
    if (fields < DataTable::kColumns) {
      throw Error(FileLineError(lineNumber, "полей " + std::to_string(fields) +
                                                ", нужно 4 (год, U, E, C) через табуляцию"));
    }
    // Every year is an integer, the first becomes FirstYear, and each
    // follows the one above.
    const std::string& year = rows[r][DataTable::kYear];
    const std::optional<long long> value = TryParseInteger(year);
    if (!value || *value < 0 || *value > 65535) {
      throw Error(FileCellError(
          lineNumber, DataTable::kYear,
          "значение \"" + MessageExcerpt(year) + "\" не является годом (целым числом 0 … 65535)"));
    }
    if (r > 0) {
      const long long previous = *TryParseInteger(rows[r - 1][DataTable::kYear]);
      if (*value != previous + 1) {
        throw Error(
            FileLineError(lineNumber, YearSequenceProblem(*value, previous, lineNumber - 1)));
      }
    }
    for (int column = DataTable::kCpue; column <= DataTable::kCatch; ++column) {
      const std::string& cell = rows[r][static_cast<std::size_t>(column)];
      const std::optional<double> number = TryParseDouble(cell, decimalMark);
      if (!number) {
        throw Error(FileCellError(lineNumber, column,
                                  "значение \"" + MessageExcerpt(cell) + "\" не является числом"));
      }
      if (std::fabs(*number) > kMaxCellMagnitude) {
        throw Error(FileCellError(lineNumber, column,
                                  "значение \"" + MessageExcerpt(cell) + "\" по модулю больше " +
                                      kMaxCellMagnitudeText));
      }
    }
  }
  file.table = DataTable::FromRows(rows);
  file.series = RebuildLoadedSeries(file.table, decimalMark);  // every cell checked above
  return file;
}

DataFile ReadDataFile(const std::string& path, char decimalMark) {
  return ParseDataFile(ReadRegularFile(path, kMaxFileBytes, "Файл данных"), decimalMark);
}

std::string FormatDataFile(const DataDescription& description, const DataTable& table) {
  if (table.DataRowCount() < 1) {
    throw Error("В таблице нет ни одной строки данных; файл не сохранён");
  }
  if (description.catchUnitExponent < -6 || description.catchUnitExponent > 5) {
    throw Error("Показатель единицы улова " + std::to_string(description.catchUnitExponent) +
                " вне допустимого диапазона -6 … 5; файл не сохранён");
  }
  const std::array<std::pair<const std::string*, const char*>, 6> fields = {{
      {&description.species, "Поле \"Вид\""},
      {&description.stock, "Поле \"Запас\""},
      {&description.season, "Поле \"Сезон\""},
      {&description.area, "Поле \"Район\""},
      {&description.source, "Поле \"Источник\""},
      {&description.effortUnit, "Поле \"Пром. усилие\""},
  }};
  for (const auto& [text, what] : fields) CheckOneLine(*text, what);

  std::string out;
  const auto constant = [&out](const std::string& line) { AppendCp1251(out, line, "Заголовок"); };
  constant(kLine1);
  // Species, stock, season and area: a heading, the field, an empty line.
  const char* const headings[] = {"ВИД", "ЗАПАС", "СЕЗОН", "РАЙОН"};
  for (std::size_t i = 0; i < std::size(headings); ++i) {
    constant(headings[i]);
    AppendCp1251(out, *fields[i].first, fields[i].second);
    constant("");
  }
  constant("ДАННЫЕ");
  constant(std::string(description.scientific ? kScientificData : kCommercialData));
  constant("");
  constant("ИСТОЧНИК");
  AppendCp1251(out, description.source, fields[4].second);
  constant(kLine19);
  AppendCp1251(out, description.effortUnit, fields[5].second);
  constant(std::to_string(description.catchUnitExponent));
  constant(kLine22);
  constant(kLine23);

  // Only a table that reads back is written: every cell is checked as
  // reading checks it (either decimal mark), so a file the program cannot
  // open again is never made; the table stays as it is for the user to mend.
  for (int row = 1; row <= table.DataRowCount(); ++row) {
    const std::string problem = RowReadProblem(table, row);
    if (!problem.empty()) throw Error(problem + "; файл не сохранён: исправьте ячейку");
  }

  for (int row = 1; row <= table.DataRowCount(); ++row) {
    std::string line;
    for (int column = 0; column < DataTable::kColumns; ++column) {
      const std::string& cell = table.Cell(column, row);
      if (cell.find_first_of("\t\r\n") != std::string::npos) {
        throw Error("Строка " + std::to_string(row) + ", столбец \"" + TableHeader()[column] +
                    "\": ячейка содержит табуляцию или перевод строки; файл не сохранён");
      }
      if (column > 0) line += '\t';
      line += cell;
    }
    AppendCp1251(out, line, "Строка таблицы " + std::to_string(row));
  }
  return out;
}

void WriteDataFile(const std::string& path, const DataDescription& description,
                   const DataTable& table) {
  WriteFileAtomically(path, FormatDataFile(description, table));
}

}  // namespace tarvik::data
