#pragma once

// A table as the window shows it, turned into text for a spreadsheet: the
// clipboard's tab-separated text and the bytes of a CSV file. Every table of
// the program that can be copied or saved goes through these two functions
// with the rows it shows.

#include <string>
#include <vector>

namespace tarvik {

// The cells' texts row by row, exactly as shown (numbers already written with
// the user's decimal mark); the header row, when there is one, comes first.
// Rows may have different lengths: each is written as long as it is.
using TextTable = std::vector<std::vector<std::string>>;

// Text for the clipboard, as spreadsheets copy and paste it: cells separated
// by TAB, every row ended by LF. A cell that holds a TAB, a line break or a
// double quote is enclosed in double quotes, its quotes doubled (Excel and
// LibreOffice read such a cell back whole).
std::string TabSeparatedText(const TextTable& table);

// The bytes of a CSV file that Excel in a Russian locale opens with a double
// click and LibreOffice reads too: UTF-8 with a byte-order mark (without it
// Excel reads the Cyrillic as Windows-1251), ";" between cells (the list
// separator of such a locale, never the decimal mark), CR LF after every row,
// and quoting per RFC 4180: a cell that holds ";", a double quote, CR or LF
// is enclosed in double quotes with its quotes doubled.
std::string CsvFileBytes(const TextTable& table);

}  // namespace tarvik
