#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/progress.h"
#include "data/catch_effort_series.h"
#include "model/kinds.h"
#include "model/model_fit.h"

namespace tarvik::estimation {

// The objective of the chosen variant over two 50 × 50 grids around its
// estimate, as written to "OutMatrix.txt" for R.
struct SurfaceGrids {
  static constexpr int kSize = 50;

  std::size_t Variant = 0;
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  model::ObjectiveKind Objective = model::ObjectiveKind::SumOfSquares;
  std::uint8_t KeepCount = 0;
  double R = 0.0, K = 0.0, Q = 0.0, P = 0.0;  // the estimate (P = 0 unless Pella-Tomlinson)
  double BMSY = 0.0, MSY = 0.0, FMSY = 0.0;   // recomputed from it

  // Block 1: rows r_i, columns K_j; block 2: rows MSY_i, columns FMSY_j.
  // Each coordinate starts at 0.8 × the estimate and grows by repeated
  // addition of 0.4 × the estimate / 50.
  std::array<double, kSize> RValues{}, KValues{};
  std::array<double, kSize> MsyValues{}, FmsyValues{};
  // Objective values, row-major: Block1[i·50 + j] at (r_i, K_j); Block2[i·50 + j]
  // at the (r, K) that give MSY_i and FMSY_j (SurfaceParameters).
  std::vector<double> Block1, Block2;
  // The data file the analysis ran on: the files for R never replace it.
  std::string DataFileName;
};

// r and K for which the model `kind` (exponent p) has MSY = msy and
// FMSY = fmsy: Schaefer r = 2F, K = 2M/F; Fox r = F, K = e·M/F;
// Pella-Tomlinson r = F·(p + 1)/p, K = (p + 1)^(1/p)·M/F.
struct RK {
  double r = 0.0;
  double K = 0.0;
};
RK SurfaceParameters(model::ProductionModelKind kind, double msy, double fmsy, double p);

// Progress and memo of the surface analysis.
struct SurfaceOptions {
  // Progress: (rows done × 2, 200) after each of the 100 matrix rows.
  ProgressCallback OnProgress;
  // The progress log's complete contents each time they change: cleared, then
  // "Расчёт окончен".
  std::function<void(const std::vector<std::string>& lines)> OnMemo;
};

// The analysis of variant `variant` (an index of `fits`) on `series`: the
// keep count of trimPosition (as the search takes it) and the record's
// BMSY, MSY and FMSY go into the grids, and both grids are evaluated with
// them. The records are only read. `dataFileName` is the data file the
// analysis ran on. Faults (an unknown variant, F = 0, p = 0, objective
// faults) raise tarvik::Error.
SurfaceGrids ComputeObjectiveSurface(const data::CatchEffortSeries& series,
                                     const std::vector<model::ModelFit>& fits, std::size_t variant,
                                     int trimPosition, const std::string& dataFileName,
                                     const SurfaceOptions& options = {});

// The text of "OutMatrix.txt" (lines ended by CR LF):
//   "0" and K_j as fields (10, 0); 50 rows r_i (10, 6) and L (10, 3);
//   an empty line; "0" and FMSY_j (10, 6); 50 rows MSY_i (10, 3) and L (10, 3).
// A field (w, d) is fixed-point with d decimals and a point, right-aligned in
// w characters, wider when the number needs it; a field after the first of
// its line gets a blank before it when it fills its width (FormatMatrixField),
// so that R never reads two numbers joined.
std::string FormatOutMatrix(const SurfaceGrids& grids);

// The text of "Graph2.R" (lines ended by CR LF) reading
// `<directory>/OutMatrix.txt` and drawing "graph5.bmp" (r across, K up) and
// "graph6.bmp" (MSY across, FMSY up), 460 × 330, as filled contours of the
// objective L. K and MSY are masses in units of 10^catchUnitExponent tonnes:
// they are shown scaled with their unit in the axis title ("K, млн т",
// MassScale); L is scaled by PlainScale. Margins and labels come from
// RContourHelpers, so that every label is whole and distinct.
// `directory` is written as the inside of an R string literal (RStringContent),
// so the script stays ASCII and no folder name can end the literal.
std::string FormatGraph2Script(std::string_view directory, const SurfaceGrids& grids,
                               int catchUnitExponent);

// The directory as the script names it: absolute, without a trailing
// separator, with backslashes turned into forward slashes on Windows.
std::string ScriptDirectory(const std::filesystem::path& directory);

// The switch between the two surface pictures: each click inverts
// `showingMsyFmsy` (false at program start); the picture to load and the new
// caption follow: true → "graph6.bmp", caption "r/K"; false → "graph5.bmp",
// caption "MSY/FMSY". The analysis itself always shows "graph5.bmp" with the
// caption "MSY/FMSY" and leaves the flag as it is.
struct SurfacePicture {
  std::string Image;
  std::string Caption;
};
SurfacePicture ToggleSurfacePicture(bool& showingMsyFmsy);

struct SurfaceFiles {
  std::filesystem::path Matrix;  // <directory>/OutMatrix.txt
  std::filesystem::path Script;  // <directory>/Graph2.R
};

// The files of the surface analysis in its folder: what is written, what R
// writes and what it draws.
const std::vector<std::string>& SurfaceWorkFiles();

// Writes "OutMatrix.txt" and "Graph2.R" (FormatGraph2Script with the catch
// unit 10^catchUnitExponent t of the data) into `directory` (each replaced
// whole or left as it was, WriteFileAtomically). Running R on the script is the
// caller's business. Before anything is written, a data file
// (grids.DataFileName) that is one of SurfaceWorkFiles in that folder raises
// tarvik::Error; so do unwritable files, naming the path.
SurfaceFiles WriteSurfaceFiles(const std::filesystem::path& directory, const SurfaceGrids& grids,
                               int catchUnitExponent);

}  // namespace tarvik::estimation
