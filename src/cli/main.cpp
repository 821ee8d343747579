#include <CLI/CLI.hpp>
#include <iostream>

int main(int argc, char** argv) {
  CLI::App app{"Tarvik 4.0 — оценка запаса по продукционным моделям"};
  app.set_version_flag("--version", "tarvik-cli 4.0.0");
  CLI11_PARSE(app, argc, argv);
  if (argc == 1) std::cout << app.help();
  return 0;
}
