#include "common/r_text.h"

#include <cstdint>
#include <cstdio>

namespace tarvik {

namespace {

// Decodes one well-formed UTF-8 sequence at text[i]; returns its length, or 0
// when the bytes there are not one.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, std::uint32_t& code) {
  const auto byte = [&](std::size_t k) { return static_cast<std::uint8_t>(text[k]); };
  const std::uint8_t lead = byte(i);
  std::size_t length = 0;
  std::uint32_t min = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1Fu, min = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0Fu, min = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07u, min = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string RStringContent(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  char buffer[16];
  for (std::size_t i = 0; i < utf8.size();) {
    const auto ch = static_cast<unsigned char>(utf8[i]);
    if (ch == '\\' || ch == '"') {
      out.push_back('\\');
      out.push_back(static_cast<char>(ch));
      ++i;
    } else if (ch >= 0x20 && ch < 0x7F) {
      out.push_back(static_cast<char>(ch));
      ++i;
    } else if (ch < 0x80) {
      std::snprintf(buffer, sizeof buffer, "\\x%02x", ch);
      out += buffer;
      ++i;
    } else {
      std::uint32_t code = 0;
      const std::size_t length = DecodeUtf8(utf8, i, code);
      if (length == 0) {
        std::snprintf(buffer, sizeof buffer, "\\x%02x", ch);
        ++i;
      } else {
        std::snprintf(buffer, sizeof buffer, code <= 0xFFFF ? "\\u%04x" : "\\U{%x}",
                      static_cast<unsigned>(code));
        i += length;
      }
      out += buffer;
    }
  }
  return out;
}

std::string RPathContent(std::string_view utf8Folder) {
#ifdef _WIN32
  std::string folder(utf8Folder);
  for (char& ch : folder) {
    if (ch == '\\') ch = '/';
  }
  return RStringContent(folder);
#else
  return RStringContent(utf8Folder);
#endif
}

}  // namespace tarvik
