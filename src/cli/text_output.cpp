#include "cli/text_output.h"

#include <algorithm>

namespace tarvik::cli {

std::size_t DisplayWidth(std::string_view utf8) {
  std::size_t width = 0;
  for (char ch : utf8) {
    if ((static_cast<unsigned char>(ch) & 0xC0) != 0x80) ++width;
  }
  return width;
}

std::string FormatTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths(header.size(), 0);
  const auto measure = [&widths](const std::vector<std::string>& row) {
    for (std::size_t c = 0; c < row.size() && c < widths.size(); ++c) {
      widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
  };
  measure(header);
  for (const auto& row : rows) measure(row);
  const auto line = [&widths](const std::vector<std::string>& row) {
    std::string out;
    for (std::size_t c = 0; c < widths.size(); ++c) {
      const std::string cell = c < row.size() ? row[c] : std::string();
      const std::string pad(widths[c] - DisplayWidth(cell), ' ');
      if (c > 0) out += "  ";
      out += c < 2 ? cell + pad : pad + cell;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    return out + "\n";
  };
  std::string out = line(header);
  std::size_t total = 0;
  for (std::size_t w : widths) total += w;
  total += 2 * (widths.empty() ? 0 : widths.size() - 1);
  std::string rule;
  for (std::size_t i = 0; i < total; ++i) rule += "─";
  out += rule + "\n";
  for (const auto& row : rows) out += line(row);
  return out;
}

}  // namespace tarvik::cli
