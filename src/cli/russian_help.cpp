#include "cli/russian_help.h"

#include <memory>
#include <string>

namespace tarvik::cli {
namespace {

// Characters of a UTF-8 text (its continuation bytes not counted).
std::size_t CharacterCount(const std::string& text) {
  std::size_t count = 0;
  for (const char byte : text) count += (static_cast<unsigned char>(byte) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

// The parser's formatter pads the option column by bytes, which misaligns
// Cyrillic labels; this one pads by characters and is otherwise the same.
class RussianFormatter final : public CLI::Formatter {
 public:
  std::string make_option(const CLI::Option* option, bool isPositional) const override {
    // What an option needs or excludes goes under its description, where it
    // reads as a sentence, not beside its name, where it pushed the column.
    std::string opts = make_option_opts(option);
    std::string relations;
    for (const char* label : {" Требует:", " Исключает:"}) {
      const std::size_t at = opts.find(label);
      if (at == std::string::npos) continue;
      relations += "\n" + opts.substr(at + 1);
      opts.erase(at);
    }
    const std::string name = "  " + make_option_name(option, isPositional) + opts;
    const std::string description = make_option_desc(option) + relations;
    const std::size_t width = CharacterCount(name);
    std::string line = name;
    if (!description.empty()) {
      if (width >= column_width_) {
        line += "\n" + std::string(column_width_, ' ');
      } else {
        line += std::string(column_width_ - width, ' ');
      }
      for (const char ch : description) {
        line += ch;
        if (ch == '\n') line += std::string(column_width_, ' ');
      }
    }
    return line + "\n";
  }

  // The positional argument's name in the user's words.
  std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override {
    std::string help = CLI::Formatter::make_help(app, std::move(name), mode);
    for (std::size_t at = help.find("FILE"); at != std::string::npos; at = help.find("FILE", at)) {
      help.replace(at, 4, "ФАЙЛ");
    }
    return help;
  }
};

}  // namespace

void UseRussianHelp(CLI::App& app, const std::string& version) {
  auto formatter = std::make_shared<RussianFormatter>();
  // The keys are the parser's own words; every one it prints goes through
  // these labels, the type names of the options included.
  const std::pair<const char*, const char*> labels[] = {
      {"Usage", "Использование"},
      {"OPTIONS", "ПАРАМЕТРЫ"},
      {"SUBCOMMAND", "ПОДКОМАНДА"},
      {"SUBCOMMANDS", "ПОДКОМАНДЫ"},
      {"Positionals", "Позиционные аргументы"},
      {"REQUIRED", "(обязательный)"},
      {"TEXT", "ТЕКСТ"},
      {"INT", "ЦЕЛОЕ"},
      {"UINT", "ЦЕЛОЕ"},
      {"FLOAT", "ЧИСЛО"},
      {"Needs", "Требует"},
      {"Excludes", "Исключает"},
      {"Env", "Переменная окружения"},
  };
  for (const auto& [key, text] : labels) formatter->label(key, text);
  formatter->column_width(32);
  app.formatter(formatter);
  app.option_defaults()->group("Параметры");
  // Made again so that they fall into the Russian group.
  app.set_help_flag("-h,--help", "Показать эту справку и выйти");
  app.set_version_flag("--version", version, "Показать версию программы и выйти");
}

void RussianSubcommandGroup(CLI::App& app) {
  for (CLI::App* sub : app.get_subcommands({})) {
    sub->group("Подкоманды");
    // A subcommand makes its help flag before it takes over the group.
    if (CLI::Option* help = sub->get_help_ptr()) help->group("Параметры");
  }
}

}  // namespace tarvik::cli
