#include "rbridge/pictures.h"

#include "common/files.h"
#include "rules/optimisation_files.h"

namespace tarvik::rbridge {

namespace {

PictureRun RunScript(PictureRun run, const std::vector<std::string>& names,
                     const std::string& rDirectory, std::chrono::milliseconds timeLimit) {
  for (const auto& name : names) run.Pictures.push_back(rules::JoinPath(run.Directory, name));
  run.R = RunRScript({rDirectory, run.ScriptPath, names, timeLimit});
  return run;
}

}  // namespace

PictureRun DrawOptimisationPictures(const std::string& directory,
                                    const rules::OptimisationResult& result, int catchUnitExponent,
                                    const std::string& rDirectory,
                                    std::chrono::milliseconds timeLimit) {
  PictureRun run;
  run.Directory = directory;
  if (result.Kind != rules::RuleKind::Logistic || result.Candidates.empty()) {
    run.R.Status = RRunStatus::NothingToDraw;
    return run;
  }
  RefuseDataFileAmong(PathFromUtf8(directory), rules::OptimisationWorkFiles(), result.DataFileName);
  run.ScriptPath = rules::WriteOptimisationFiles(directory, result.Alphas, result.Betas,
                                                 result.Candidates, catchUnitExponent);
  run.FilesWritten = true;
  return RunScript(std::move(run), rules::kOptimisationPictures, rDirectory, timeLimit);
}

PictureRun DrawSurfacePictures(const std::string& directory, const std::string& rDirectory,
                               std::chrono::milliseconds timeLimit) {
  PictureRun run;
  run.Directory = directory;
  run.ScriptPath = rules::JoinPath(directory, "Graph2.R");
  run.FilesWritten = true;
  return RunScript(std::move(run), {"graph5.bmp", "graph6.bmp"}, rDirectory, timeLimit);
}

}  // namespace tarvik::rbridge
