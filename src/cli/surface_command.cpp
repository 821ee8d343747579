#include "cli/surface_command.h"

#include <filesystem>
#include <optional>
#include <sstream>

#include "assessment/fit_checks.h"
#include "assessment/search.h"
#include "assessment/variants.h"
#include "cli/common_options.h"
#include "common/error.h"
#include "common/numbers.h"
#include "estimation/surface.h"
#include "estimation/variants.h"
#include "rbridge/pictures.h"
#include "rbridge/r_runner.h"
#include "rbridge/work_directory.h"

namespace tarvik::cli {

CLI::App* AddSurfaceCommand(CLI::App& app, SurfaceCommandOptions& options) {
  CLI::App* sub = AddVariantCommand(
      app, "surface", "Оценка параметров, выбор модели и файлы анализа целевой функции для R",
      options.Estimate, options.Variant);
  sub->add_option("--dir", options.Directory,
                  "Папка для OutMatrix.txt, Graph2.R и рисунков (по умолчанию папка файла "
                  "данных)");
  AddRTimeLimitOption(*sub, options.TimeLimit);
  AddEstimatorOption(*sub, options.Estimate);
  return sub;
}

std::string RunSurfaceCommand(const SurfaceCommandOptions& options) {
  // Arguments are checked before the long estimation runs.
  if (!options.Directory.empty()) {
    std::error_code error;
    if (!std::filesystem::is_directory(options.Directory, error)) {
      throw Error("Каталог «" + options.Directory + "» не существует");
    }
  }
  RequireVariantLabel(options.Estimate.CutOffs, options.Variant);
  const std::chrono::seconds timeLimit = RTimeLimit(options.TimeLimit);
  Session session;
  AssessmentState& state = session.State();
  const ChosenVariantRun chosen = EstimateAndChoose(session, options.Estimate, options.Variant);
  const AdoptedEstimate& adopted = chosen.Adopted;
  const std::size_t variant = chosen.Variant;
  const estimation::SurfaceGrids grids =
      estimation::ComputeObjectiveSurface(state, variant, options.Estimate.Trim);
  // Without --dir the files go beside the data file, or into a per-user
  // folder when that one cannot be written (the note then says where).
  std::filesystem::path directory = options.Directory;
  std::string directoryNote;
  if (options.Directory.empty()) {
    const rbridge::WorkDirectoryChoice where = rbridge::ChooseWorkDirectory(state.DataFileName);
    directory =
        std::filesystem::path(std::u8string(where.Directory.begin(), where.Directory.end()));
    directoryNote = where.Message;
  }
  const estimation::SurfaceFiles files =
      estimation::WriteSurfaceFiles(directory, grids, chosen.Run.File.description.catchUnitExponent);
  // R draws graph5.bmp and graph6.bmp beside the script.
  const rbridge::PictureRun pictures = rbridge::DrawSurfacePictures(
      files.Script.parent_path().string(), rbridge::LocateR(), timeLimit);
  WarnWhenRFailed(pictures);

  if (options.Estimate.Json) {
    Json j = {{"variant", variant},
              {"label", estimation::VariantLabel(state.ModelFits, variant)},
              {"r", grids.R},
              {"K", grids.K},
              {"q", grids.Q},
              {"p", grids.P},
              {"bmsy", grids.BMSY},
              {"msy", grids.MSY},
              {"fmsy", grids.FMSY},
              {"keep_count", grids.KeepCount},
              {"directory", files.Matrix.parent_path().string()},
              {"directory_note", directoryNote},
              {"matrix", files.Matrix.string()},
              {"script", files.Script.string()},
              {"pictures", pictures.Pictures},
              {"r_status", RStatusKey(pictures.R.Status)},
              {"r_message", pictures.R.Message}};
    AddAdoptedEstimateJson(j, adopted);
    j["random_seed_after"] = state.Random.Seed();
    return DumpJson(j) + "\n";
  }
  std::ostringstream out;
  out << AdoptedEstimateText(adopted);
  out << "Вариант: " << estimation::VariantLabel(state.ModelFits, variant) << "\n"
      << "r = " << FormatGeneral(grids.R) << ", K = " << FormatGeneral(grids.K)
      << ", q = " << FormatGeneral(grids.Q) << "\n"
      << "BMSY = " << FormatGeneral(grids.BMSY) << ", MSY = " << FormatGeneral(grids.MSY)
      << ", FMSY = " << FormatGeneral(grids.FMSY) << "\n"
      << (directoryNote.empty() ? "" : directoryNote + "\n")
      << "Записаны файлы: " << files.Matrix.string() << ", " << files.Script.string() << "\n";
  WritePictureLines(out, pictures);
  return out.str();
}

}  // namespace tarvik::cli
