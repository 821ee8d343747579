#include "common/table_text.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

// Cells that need quoting in one format but not in the other, a quote, an
// empty cell and rows of unequal length.
TEST(TableText, ClipboardAndCsvQuoteOnlyWhatTheirSeparatorsNeed) {
  const TextTable table{{"Год", "U; т", ""}, {"1995", "1,25", "a\"b", "x\ty"}, {"line\nbreak"}};
  EXPECT_EQ(TabSeparatedText(table),
            "Год\tU; т\t\n"
            "1995\t1,25\t\"a\"\"b\"\t\"x\ty\"\n"
            "\"line\nbreak\"\n");
  EXPECT_EQ(CsvFileBytes(table),
            "\xEF\xBB\xBF"
            "Год;\"U; т\";\r\n"
            "1995;1,25;\"a\"\"b\";x\ty\r\n"
            "\"line\nbreak\"\r\n");
  EXPECT_EQ(CsvFileBytes({}), "\xEF\xBB\xBF");
}

}  // namespace
}  // namespace tarvik
