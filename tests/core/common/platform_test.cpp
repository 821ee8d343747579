#include "common/platform.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvik::platform {
namespace {

struct Utf16Case {
  const char* name;
  std::string utf8;
  std::u16string utf16;
};

class Utf16RoundTrip : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16RoundTrip, ConvertsBothWaysUnitForUnit) {
  const Utf16Case& c = GetParam();
  EXPECT_EQ(Utf16FromUtf8(c.utf8), c.utf16);
  EXPECT_EQ(Utf8FromUtf16(c.utf16), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Names, Utf16RoundTrip,
    ::testing::Values(
        Utf16Case{"Ascii", "catch.txt", u"catch.txt"},
        // Two-byte UTF-8, one UTF-16 unit each: Щ is U+0429, ё U+0451.
        Utf16Case{"Cyrillic", "\xD0\xA9\xD1\x83\xD0\xBA\xD0\xB0 \xD1\x91.txt",
                  std::u16string{0x0429, 0x0443, 0x043A, 0x0430, u' ', 0x0451, u'.', u't', u'x',
                                 u't'}},
        Utf16Case{"CyrillicFolder", "C:\\\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5\\"
                                    "\xD0\xA1\xD0\xB5\xD0\xBB\xD1\x8C\xD0\xB4\xD1\x8C.txt",
                  u"C:\\Данные\\Сельдь.txt"},
        // Three bytes, one unit: the euro sign; four bytes, a surrogate pair.
        Utf16Case{"ThreeBytes", "\xE2\x82\xAC", std::u16string{0x20AC}},
        Utf16Case{"SurrogatePair", "\xF0\x9F\x90\x9F", std::u16string{0xD83D, 0xDC1F}},
        Utf16Case{"Empty", "", u""}),
    [](const ::testing::TestParamInfo<Utf16Case>& info) { return std::string(info.param.name); });

TEST(Utf16, WhatIsNotUtf8BecomesOneReplacementPerBadByte) {
  // A Windows-1251 "Щ" (0xD9) followed by ASCII, a truncated sequence, an
  // overlong "/" and an encoded surrogate.
  EXPECT_EQ(Utf16FromUtf8("\xD9" "a"), (std::u16string{0xFFFD, u'a'}));
  EXPECT_EQ(Utf16FromUtf8("\xD0"), std::u16string{0xFFFD});
  EXPECT_EQ(Utf16FromUtf8("\xC0\xAF"), (std::u16string{0xFFFD, 0xFFFD}));
  EXPECT_EQ(Utf16FromUtf8("\xED\xA0\x80").front(), char16_t{0xFFFD});
}

TEST(Utf16, AnUnpairedSurrogateBecomesAReplacementCharacter) {
  EXPECT_EQ(Utf8FromUtf16(std::u16string{0xD83D, u'a'}), "\xEF\xBF\xBD" "a");
  EXPECT_EQ(Utf8FromUtf16(std::u16string{0xDC1F}), "\xEF\xBF\xBD");
}

TEST(Utf16, PathsCarryCyrillicNamesUnchanged) {
  const std::string name = "\xD0\x9B\xD0\xBE\xD1\x81\xD0\xBE\xD1\x81\xD1\x8C/\xD1\x83\xD0\xBB\xD0"
                           "\xBE\xD0\xB2.txt";  // Лосось/улов.txt
  EXPECT_EQ(Utf8FromPath(PathFromUtf8(name)), name);
  EXPECT_EQ(Utf8FromPath(PathFromUtf8(name).filename()), "\xD1\x83\xD0\xBB\xD0\xBE\xD0\xB2.txt");
}

}  // namespace
}  // namespace tarvik::platform
