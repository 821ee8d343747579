#pragma once

#include <CLI/CLI.hpp>

namespace tarvik::cli {

// Makes the help of `app` Russian: the headings ("Использование",
// "Параметры", "Позиционные аргументы", "Подкоманды"), the type and
// requirement labels and the help and version flags' own descriptions. Call
// it before the subcommands are added (they inherit the formatter, the help
// flag and the option group), then RussianSubcommandGroup once they are.
void UseRussianHelp(CLI::App& app, const std::string& version);

// Files the subcommands of `app` under the Russian heading "Подкоманды".
void RussianSubcommandGroup(CLI::App& app);

}  // namespace tarvik::cli
