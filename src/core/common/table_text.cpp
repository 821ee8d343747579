#include "common/table_text.h"

namespace tarvik {
namespace {

// `cell` as written between separators: quoted when it holds a character of
// `special`.
std::string Field(const std::string& cell, const char* special) {
  if (cell.find_first_of(special) == std::string::npos) return cell;
  std::string quoted = "\"";
  for (const char ch : cell) {
    if (ch == '"') quoted += '"';
    quoted += ch;
  }
  return quoted + '"';
}

std::string Joined(const TextTable& table, char separator, const char* special,
                   const char* rowEnd) {
  std::string text;
  for (const std::vector<std::string>& row : table) {
    for (std::size_t column = 0; column < row.size(); ++column) {
      if (column > 0) text += separator;
      text += Field(row[column], special);
    }
    text += rowEnd;
  }
  return text;
}

}  // namespace

std::string TabSeparatedText(const TextTable& table) {
  return Joined(table, '\t', "\t\r\n\"", "\n");
}

std::string CsvFileBytes(const TextTable& table) {
  return "\xEF\xBB\xBF" + Joined(table, ';', ";\r\n\"", "\r\n");
}

}  // namespace tarvik
