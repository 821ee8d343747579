#include "cli/parse_errors.h"

#include <string_view>

#include "common/error.h"

namespace tarvik::cli {
namespace {

// The text of `message` after `prefix`, when it starts so.
bool After(std::string_view message, std::string_view prefix, std::string_view& rest) {
  if (message.substr(0, prefix.size()) != prefix) return false;
  rest = message.substr(prefix.size());
  return true;
}

// `message` split at the first `separator`.
bool SplitAtFirst(std::string_view message, std::string_view separator, std::string_view& before,
                  std::string_view& after) {
  const std::size_t at = message.find(separator);
  if (at == std::string_view::npos) return false;
  before = message.substr(0, at);
  after = message.substr(at + separator.size());
  return true;
}

// An option's name as the help shows it (the data file's positional
// argument is «ФАЙЛ» there).
std::string Option(std::string_view name) {
  return name == "FILE" ? std::string("ФАЙЛ") : MessageExcerpt(name);
}
std::string Value(std::string_view value) {
  return "«" + MessageExcerpt(value) + "»";
}

std::string Conversion(std::string_view message) {
  std::string_view rest, name, value;
  if (After(message, "Could not convert: ", rest) && SplitAtFirst(rest, " = ", name, value)) {
    // Every option of the program that is not a text takes a whole number.
    return "параметр " + Option(name) + ": значение " + Value(value) +
           " не является целым числом допустимой величины";
  }
  if (After(message, "The value ", rest) &&
      SplitAtFirst(rest, " is not an allowed value for ", value, name)) {
    return "параметр " + Option(name) + ": недопустимое значение " + Value(value);
  }
  if (SplitAtFirst(message, ": too many inputs for a flag", name, rest) ||
      SplitAtFirst(message, ": Should be true/false or a number", name, rest)) {
    return "флаг " + Option(name) + " задаётся без значения";
  }
  return "значение параметра не удалось прочитать";
}

std::string Extras(const CLI::App& app) {
  std::string list;
  for (const std::string& argument : app.remaining(true)) {
    list += (list.empty() ? "" : " ") + MessageExcerpt(argument);
  }
  return "лишние или неизвестные аргументы" + (list.empty() ? std::string() : ": " + list);
}

std::string Required(std::string_view message) {
  std::string_view name, rest;
  if (message == "A subcommand" || After(message, "Requires at least", rest)) {
    return "не указана подкоманда (estimate, retrospective, surface, assess или optimise)";
  }
  if (SplitAtFirst(message, " is required", name, rest) && rest.empty()) {
    return "не задан обязательный параметр " + Option(name);
  }
  return "не заданы обязательные параметры";
}

std::string Mismatch(std::string_view message) {
  std::string_view rest, count, name;
  if (After(message, "Expected exactly ", rest) &&
      SplitAtFirst(rest, " arguments to ", count, name)) {
    std::string_view got;
    SplitAtFirst(name, ", got ", name, got);
    if (count == "1") return "параметру " + Option(name) + " нужно значение";
    return "параметру " + Option(name) + " нужно значений: " + std::string(count);
  }
  if (After(message, "Expected at least ", rest) &&
      SplitAtFirst(rest, " arguments to ", count, name)) {
    std::string_view got;
    SplitAtFirst(name, ", got ", name, got);
    return "параметру " + Option(name) + " нужно значений не менее " + std::string(count);
  }
  if (SplitAtFirst(message, ":", name, rest)) {
    if (rest.size() >= 8 && rest.substr(rest.size() - 8) == " missing") {
      return "параметру " + Option(name) + " нужно значение";
    }
    return "параметру " + Option(name) + " задано неверное число значений";
  }
  return "неверное число значений параметра";
}

}  // namespace

std::string RussianParseError(const CLI::ParseError& error, const CLI::App& app) {
  const std::string_view message = error.what();
  std::string text;
  if (dynamic_cast<const CLI::ConversionError*>(&error)) {
    text = Conversion(message);
  } else if (dynamic_cast<const CLI::ExtrasError*>(&error)) {
    text = Extras(app);
  } else if (dynamic_cast<const CLI::RequiredError*>(&error)) {
    text = Required(message);
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
    text = Mismatch(message);
  } else if (dynamic_cast<const CLI::ExcludesError*>(&error) ||
             dynamic_cast<const CLI::RequiresError*>(&error)) {
    text = "параметры несовместимы друг с другом";
  } else {
    text = "разобрать командную строку не удалось";
  }
  return "неверные аргументы командной строки: " + text + " (справка: tarvik-cli --help)";
}

}  // namespace tarvik::cli
