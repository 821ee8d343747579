#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarvik {

// Windows-1251, the single-byte Cyrillic code page of the data and report
// files. The program keeps text as UTF-8 and converts at the file boundary.

// Converts UTF-8 to Windows-1251. Returns nothing when a character has no
// place in the code page (or the UTF-8 is malformed); `badCharacter` then
// receives that character as UTF-8.
std::optional<std::string> Utf8ToCp1251(std::string_view utf8, std::string* badCharacter = nullptr);

// Converts Windows-1251 bytes to UTF-8 (every byte has a meaning, except
// 0x98, which becomes U+FFFD).
std::string Cp1251ToUtf8(std::string_view bytes);

// True when the bytes are well-formed UTF-8 (ASCII text included).
bool IsValidUtf8(std::string_view bytes);

// Length of the well-formed UTF-8 character that begins at text[i] (1 … 4),
// or 0 when the bytes there are not one.
std::size_t Utf8CharacterLength(std::string_view text, std::size_t i);

}  // namespace tarvik
