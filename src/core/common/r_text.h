#pragma once

#include <string>
#include <string_view>

namespace tarvik {

// Text placed between the double quotes of a string in an R script, written
// so that R reads the same characters whatever its locale: a backslash and a
// double quote are escaped, every character outside ASCII becomes a \uXXXX
// escape (\U{XXXXX} beyond U+FFFF), control characters and bytes that are not
// well-formed UTF-8 become \xNN. The script itself stays pure ASCII, so its
// Cyrillic titles read correctly both in a UTF-8 locale and under Windows-1251.
std::string RStringContent(std::string_view utf8);

// A folder (UTF-8) as R wants it inside a string: on Windows every backslash
// is replaced by "/" first; then as RStringContent.
std::string RPathContent(std::string_view utf8Folder);

}  // namespace tarvik
