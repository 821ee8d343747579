#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tarvik::cli {

// Number of characters (code points) of a UTF-8 text.
std::size_t DisplayWidth(std::string_view utf8);

// A plain-text table: the header, a rule and the rows, each column padded to
// its widest cell (counted in characters), two blanks between columns; the
// first two columns are aligned left, the others right. Lines end with "\n".
std::string FormatTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows);

}  // namespace tarvik::cli
