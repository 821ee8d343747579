#pragma once

#include <string>
#include <string_view>

#include "data/catch_effort_series.h"
#include "data/data_table.h"

namespace tarvik::data {

// The description of a data set (block «СПРАВКА» and «РАЗМЕРНОСТЬ» of the data
// file). Texts are UTF-8.
struct DataDescription {
  std::string species;      // «ВИД»
  std::string stock;        // «ЗАПАС»
  std::string season;       // «СЕЗОН»
  std::string area;         // «РАЙОН»
  bool scientific = false;  // «ДАННЫЕ»: "научные" (true) or "промысловые"
  std::string source;       // «ИСТОЧНИК»
  std::string effortUnit;   // unit of fishing effort (free text)
  int catchUnitExponent = 0;  // the catch is in 10^N tonnes, N = −6 … 5

  bool operator==(const DataDescription&) const = default;
};

// The two kinds of data, as the description names them.
inline constexpr std::string_view kScientificData = "научные";
inline constexpr std::string_view kCommercialData = "промысловые";

// A data file as read: the description, the table (rows 1 … n from the file's
// lines 24 … 23 + n, decimal marks normalised) and the series rebuilt from
// that table (what RebuildLoadedSeries gives), so the caller can take over all
// three at once together with the path as DataFileName.
struct DataFile {
  DataDescription description;
  DataTable table;
  CatchEffortSeries series;
};

// Every "." and "," of the field replaced by `decimalMark`; all other
// characters unchanged.
std::string NormaliseDecimalMark(std::string_view field, char decimalMark);

// Parses the bytes of a data file. Encoding: a file that is valid UTF-8 with
// non-ASCII characters (or begins with a UTF-8 byte-order mark) is read as
// UTF-8, anything else as Windows-1251. Lines end with CR LF, LF or CR.
// Lines 1 … 23 are the description block (only lines 3, 6, 9, 12, 15, 18, 20
// and 21 are read; the others are counted, not compared); line 15 exactly
// "научные" means scientific data, any other text commercial; line 21 is the
// catch unit exponent, an integer −6 … 5. Lines 24 … are the data rows: fields
// separated by a TAB, any run of TABs and blanks after a TAB counting as one
// separator; each field goes through NormaliseDecimalMark; fields after the
// fourth are ignored. Empty lines at the end are ignored.
// Raises tarvik::Error, with the line number, for: fewer than 24 lines, a line
// 21 that is not an integer in range, an empty line among the data, a data
// line of fewer than four fields, more than 255 data lines, a year that is
// not an integer or does not follow the year above by one (both years named),
// a cell that does not convert. A file in UTF-16 or UTF-32 (byte-order mark)
// is refused naming its encoding, one with NUL bytes naming the line. Nothing
// is returned half-built.
DataFile ParseDataFile(std::string_view bytes, char decimalMark);

// Reads the file at `path` (UTF-8 path) with ParseDataFile. Only a regular
// file of at most 4 MB is read (ReadRegularFile: a folder, a device or a pipe
// is refused before it is opened); an unreadable file raises tarvik::Error
// naming the path. The caller sets DataFileName and takes over the table and
// the series.
DataFile ReadDataFile(const std::string& path, char decimalMark);

// The bytes of a data file: 23 description lines and one line per data row
// (the four cell texts joined by single TABs), Windows-1251, every line ended
// by CR LF. Raises tarvik::Error naming the field or cell when a text cannot be
// written: a character Windows-1251 has no place for, a line break inside a
// text, a TAB inside a cell; also when the table has no data row.
std::string FormatDataFile(const DataDescription& description, const DataTable& table);

// Writes FormatDataFile to `path` (UTF-8 path) with WriteFileAtomically: a
// temporary file beside it then replaces the old file, which keeps its
// permissions (a link stays a link; a read-only file is refused). On any
// failure tarvik::Error is raised and the previous file at `path` is
// untouched.
void WriteDataFile(const std::string& path, const DataDescription& description,
                   const DataTable& table);

}  // namespace tarvik::data
