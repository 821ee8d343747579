#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "assessment/rules.h"
#include "rbridge/r_runner.h"
#include "rules/optimisation.h"

namespace tarvik::rbridge {

// The R step of a run that ends in pictures: where the files went and what R
// did.
struct PictureRun {
  bool FilesWritten = false;  // the matrix file and the script were written
  std::string Directory;      // where they were written
  std::string ScriptPath;
  std::vector<std::string> Pictures;  // full paths of the pictures the script draws
  RScriptResult R;                    // Status RNotFound when R was not run
};

// After a logistic rule optimisation: writes "OutMatrix.txt" and "Graph.R"
// (for a catch unit of 10^catchUnitExponent tonnes) into `directory` and,
// unless rDirectory is kRNotFound, runs R, which draws "graph.bmp" …
// "graph4.bmp" there. A piecewise-linear (or empty) result
// writes nothing and runs nothing. A data file (result.DataFileName) that is
// one of these files in `directory` raises tarvik::Error before anything is
// written or removed. File errors raise tarvik::Error; R's own failures are
// reported in R.
PictureRun DrawOptimisationPictures(const std::string& directory,
                                    const rules::OptimisationResult& result, int catchUnitExponent,
                                    const std::string& rDirectory,
                                    std::chrono::milliseconds timeLimit = kDefaultRTimeLimit);

// After the objective-surface analysis has written "OutMatrix.txt" and
// "Graph2.R" into `directory`: runs R on "Graph2.R" unless rDirectory is
// kRNotFound; R draws "graph5.bmp" and "graph6.bmp" there.
PictureRun DrawSurfacePictures(const std::string& directory, const std::string& rDirectory,
                               std::chrono::milliseconds timeLimit = kDefaultRTimeLimit);

}  // namespace tarvik::rbridge
