// tarvik-cli: the assessment workflow without windows. Each subcommand lives
// in its own file; this dispatcher parses the arguments, runs the chosen
// subcommand and turns every failure into a message on stderr and exit code 2
// (nothing is printed on stdout then).
#include <CLI/CLI.hpp>
#include <cerrno>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/assess_command.h"
#include "cli/diagnose_command.h"
#include "cli/estimate_command.h"
#include "cli/optimise_command.h"
#include "cli/parse_errors.h"
#include "cli/replay_command.h"
#include "cli/retro_command.h"
#include "cli/russian_help.h"
#include "cli/surface_command.h"
#include "cli/uncertainty_command.h"
#include "common/error.h"
#include "common/platform.h"
#include "tarvik_version.h"

namespace {

constexpr int kFailure = 2;

int Fail(const std::string& message) {
  std::cerr << "Ошибка: " << message << std::endl;
  return kFailure;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace tarvik::cli;
  // UTF-8 in and out on every system (on Windows the arguments come from the
  // UTF-16 command line and the console takes UTF-8).
  tarvik::platform::UseUtf8Console();
  const std::vector<std::string> arguments = tarvik::platform::Utf8Arguments(argc, argv);
  std::vector<const char*> utf8Argv;
  for (const std::string& argument : arguments) utf8Argv.push_back(argument.c_str());
  CLI::App app{"Tarvik 4.0 — оценка запаса по продукционным моделям"};
  UseRussianHelp(app, std::string("tarvik-cli ") + tarvik::kVersion);
  app.require_subcommand(0, 1);

  EstimateOptions estimateOptions;
  CLI::App* estimate = AddEstimateCommand(app, estimateOptions);
  RetrospectiveCommandOptions retrospectiveOptions;
  CLI::App* retrospective = AddRetrospectiveCommand(app, retrospectiveOptions);
  SurfaceCommandOptions surfaceOptions;
  CLI::App* surface = AddSurfaceCommand(app, surfaceOptions);
  AssessOptions assessOptions;
  CLI::App* assess = AddAssessCommand(app, assessOptions);
  OptimiseCommandOptions optimiseOptions;
  CLI::App* optimise = AddOptimiseCommand(app, optimiseOptions);
  UncertaintyCommandOptions uncertaintyOptions;
  CLI::App* uncertainty = AddUncertaintyCommand(app, uncertaintyOptions);
  DiagnoseOptions diagnoseOptions;
  CLI::App* diagnose = AddDiagnoseCommand(app, diagnoseOptions);
  ReplayCommandOptions replayOptions;
  CLI::App* replay = AddReplayCommand(app, replayOptions);
  RussianSubcommandGroup(app);

  try {
    app.parse(static_cast<int>(utf8Argv.size()), utf8Argv.data());
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    return Fail(RussianParseError(e, app));
  }

  try {
    std::string output;
    int exitCode = 0;
    if (estimate->parsed()) {
      output = RunEstimateCommand(estimateOptions);
    } else if (retrospective->parsed()) {
      output = RunRetrospectiveCommand(retrospectiveOptions);
    } else if (surface->parsed()) {
      output = RunSurfaceCommand(surfaceOptions);
    } else if (assess->parsed()) {
      output = RunAssessCommand(assessOptions);
    } else if (optimise->parsed()) {
      output = RunOptimiseCommand(optimiseOptions);
    } else if (uncertainty->parsed()) {
      output = RunUncertaintyCommand(uncertaintyOptions);
    } else if (diagnose->parsed()) {
      output = RunDiagnoseCommand(diagnoseOptions);
    } else if (replay->parsed()) {
      ReplayCommandResult result = RunReplayCommand(replayOptions);
      output = std::move(result.Output);
      exitCode = result.ExitCode;
    } else {
      // No subcommand: nothing was done, which a script must not take for
      // success.
      std::cerr << app.help();
      return kFailure;
    }
    errno = 0;
    std::cout << output << std::flush;
    if (!std::cout) {
      // A full disk or a closed pipe: the result did not arrive.
      return Fail("не удалось вывести результат" +
                  (errno != 0 ? ": " + tarvik::SystemErrorText(errno) : std::string()));
    }
    return exitCode;
  } catch (const std::exception& e) {
    // The core's errors as they stand; the system's (lack of memory, file
    // system) in Russian words.
    return Fail(tarvik::UserMessage(e));
  } catch (...) {
    return Fail("непредвиденная ошибка");
  }
}
