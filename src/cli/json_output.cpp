#include "cli/json_output.h"

#include <cmath>
#include <charconv>
#include <string>

#include "common/error.h"

namespace tarvik::cli {
namespace {

void Dump(const Json& j, int indent, int depth, std::string& out) {
  const auto newline = [&](int level) {
    if (indent < 0) return;
    out += '\n';
    out.append(static_cast<std::size_t>(indent * level), ' ');
  };
  const char* colon = indent < 0 ? ":" : ": ";
  switch (j.type()) {
    case Json::value_t::object: {
      if (j.empty()) {
        out += "{}";
        return;
      }
      out += '{';
      bool first = true;
      for (const auto& [key, value] : j.items()) {
        if (!first) out += ',';
        first = false;
        newline(depth + 1);
        out += Json(key).dump(-1, ' ', false, Json::error_handler_t::replace);
        out += colon;
        Dump(value, indent, depth + 1, out);
      }
      newline(depth);
      out += '}';
      return;
    }
    case Json::value_t::array: {
      if (j.empty()) {
        out += "[]";
        return;
      }
      out += '[';
      bool first = true;
      for (const Json& value : j) {
        if (!first) out += ',';
        first = false;
        newline(depth + 1);
        Dump(value, indent, depth + 1, out);
      }
      newline(depth);
      out += ']';
      return;
    }
    case Json::value_t::number_float:
      out += JsonDouble(j.get<double>());
      return;
    default:
      out += j.dump(-1, ' ', false, Json::error_handler_t::replace);
      return;
  }
}

}  // namespace

std::string JsonDouble(double x) {
  if (!std::isfinite(x)) throw Error("Нечисловое значение при выводе JSON");
  // std::to_chars is printf's "%.17g" in the "C" locale, whatever the
  // C library's numeric locale is.
  char buffer[32];
  const std::to_chars_result written =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, 17);
  return std::string(buffer, written.ptr);
}

std::string DumpJson(const Json& document, int indent) {
  std::string out;
  Dump(document, indent, 0, out);
  return out;
}

}  // namespace tarvik::cli
