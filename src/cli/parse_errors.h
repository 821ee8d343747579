#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace tarvik::cli {

// The Russian message of a command-line parse error (an unknown or extra
// argument, a missing value or option, a value that does not convert), with
// the option and the value it names; the parser's own English text never
// reaches the user. `app` is the parsed program (its arguments left over name
// the extra ones in their order).
std::string RussianParseError(const CLI::ParseError& error, const CLI::App& app);

}  // namespace tarvik::cli
