#include "common/r_text.h"

#include <gtest/gtest.h>

namespace tarvik {
namespace {

TEST(RStringContent, KeepsPlainAsciiAsItIs) {
  EXPECT_EQ(RStringContent("graph.bmp, width = 250"), "graph.bmp, width = 250");
}

TEST(RStringContent, EscapesQuotesAndBackslashes) {
  EXPECT_EQ(RStringContent(R"(a "b" c\d)"), R"(a \"b\" c\\d)");
}

TEST(RStringContent, WritesCyrillicAsUnicodeEscapes) {
  // У = U+0423, л = U+043B, о = U+043E, в = U+0432, т = U+0442.
  EXPECT_EQ(RStringContent("Улов, т"), "\\u0423\\u043b\\u043e\\u0432, \\u0442");
  // A hex digit right after an escape stays a character of its own, since
  // every escape has all four digits.
  EXPECT_EQ(RStringContent("Bср"), "B\\u0441\\u0440");
}

TEST(RStringContent, WritesCharactersBeyondTheBasicPlaneWithBraces) {
  EXPECT_EQ(RStringContent("\xF0\x9F\x90\x9F"), "\\U{1f41f}");  // U+1F41F fish
}

TEST(RStringContent, WritesControlCharactersAndBrokenUtf8AsByteEscapes) {
  EXPECT_EQ(RStringContent("a\tb"), "a\\x09b");
  EXPECT_EQ(RStringContent("\xC0\xAF"), "\\xc0\\xaf");  // overlong '/', not UTF-8
  EXPECT_EQ(RStringContent("\xD0"), "\\xd0");           // cut-off sequence
}

TEST(RStringContent, TextCannotEndTheLiteralOrInjectCode) {
  EXPECT_EQ(RStringContent("/tmp/a\"b\\c"), "/tmp/a\\\"b\\\\c");
  EXPECT_EQ(RStringContent("/tmp/x\"); system(\"rm -rf ~"), "/tmp/x\\\"); system(\\\"rm -rf ~");
  EXPECT_EQ(RStringContent("/tmp/line\nbreak"), "/tmp/line\\x0abreak");
  // Д = U+0414, а = U+0430, н = U+043D, ы = U+044B, е = U+0435.
  EXPECT_EQ(RStringContent("/home/Данные"), "/home/\\u0414\\u0430\\u043d\\u043d\\u044b\\u0435");
  EXPECT_EQ(RStringContent("/x/\xC4\xE0"), "/x/\\xc4\\xe0");  // Windows-1251 bytes, not UTF-8
}

TEST(RPathContent, EscapesAFolderForAnRString) {
#ifdef _WIN32
  EXPECT_EQ(RPathContent("C:\\Данные\\a"), "C:/\\u0414\\u0430\\u043d\\u043d\\u044b\\u0435/a");
#else
  EXPECT_EQ(RPathContent("/home/u/my \"opt\""), "/home/u/my \\\"opt\\\"");
#endif
}

}  // namespace
}  // namespace tarvik
