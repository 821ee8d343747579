#pragma once

#include <string>
#include <vector>

#include "rules/optimisation_grid.h"

namespace tarvik::rules {

// The names of the files for R and of the pictures "Graph.R" draws.
inline constexpr const char* kOptimisationMatrixFile = "OutMatrix.txt";
inline constexpr const char* kOptimisationScriptFile = "Graph.R";
inline const std::vector<std::string> kOptimisationPictures = {"graph.bmp", "graph2.bmp",
                                                               "graph3.bmp", "graph4.bmp"};

// "OutMatrix.txt" of a logistic sweep: four blocks (mean catch 10:2, mean
// biomass 10:0, catch variability 10:4, risk 10:4), each a header line "0"
// followed by the betas as 10:2, then one line per alpha (alpha as 5:2, then
// that row's values); an empty line between blocks; every line ends in CR LF.
// Fields are fixed-point with a point, right-aligned and not otherwise
// separated; a number that fills its field or needs more room gets one blank
// before it, so that R still reads it as a number of its own. `cells` is
// alpha-major: cells[i·betas + j].
std::string FormatOptimisationMatrix(const std::vector<double>& alphas,
                                     const std::vector<double>& betas,
                                     const std::vector<CandidateIndicators>& cells);

// "Graph.R": the script that reads `directory`/OutMatrix.txt and draws
// graph.bmp … graph4.bmp (250 × 193) as filled contours of the four matrices
// over alpha (across) and beta (up). Catch, biomass and catch variability are
// masses in units of 10^catchUnitExponent tonnes: each is shown scaled with
// its unit in the title ("Улов, тыс. т", MassScale of its largest cell);
// margins and labels come from RContourHelpers, so that every label is whole
// and distinct. The folder and the Cyrillic titles are written as R escapes
// (see RStringContent), so the script is ASCII; lines end in CR LF.
std::string FormatOptimisationScript(const std::string& directory,
                                     const std::vector<CandidateIndicators>& cells,
                                     int catchUnitExponent);

// Writes text to a file (bytes as given), replacing it whole or leaving it as
// it was (WriteFileAtomically). A failure raises tarvik::Error naming the
// file.
void WriteTextFile(const std::string& path, const std::string& text);

// The files of a logistic sweep in its folder: what is written, what R writes
// and what it draws.
std::vector<std::string> OptimisationWorkFiles();

// Writes "OutMatrix.txt" and "Graph.R" of a logistic sweep into `directory`
// and returns the path of the script; the catch unit of the data is
// 10^catchUnitExponent tonnes.
std::string WriteOptimisationFiles(const std::string& directory, const std::vector<double>& alphas,
                                   const std::vector<double>& betas,
                                   const std::vector<CandidateIndicators>& cells,
                                   int catchUnitExponent);

// directory + separator + name.
std::string JoinPath(const std::string& directory, const std::string& name);

}  // namespace tarvik::rules
