#include "rules/optimisation_files.h"
#include "support/scratch_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/r_picture.h"
#include "common/r_text.h"

namespace tarvik::rules {
namespace {

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "every line ends in CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// Cell (i, j) = recognisable values: catch 100·i + j, biomass 1000·i + j,
// variability i + j/100, risk j/1000.
std::vector<CandidateIndicators> NumberedCells(std::size_t rows, std::size_t columns) {
  std::vector<CandidateIndicators> cells;
  for (std::size_t i = 0; i < rows; ++i) {
    for (std::size_t j = 0; j < columns; ++j) {
      cells.push_back({100.0 * i + j, 1000.0 * i + j, i + j / 100.0, j / 1000.0});
    }
  }
  return cells;
}

TEST(FormatOptimisationMatrix, LaysOutTheFourBlocksOfTheLogisticSweep) {
  const auto alphas = LogisticAlphas();
  const auto betas = LogisticBetas();
  const auto lines = SplitCrLf(FormatOptimisationMatrix(alphas, betas, NumberedCells(51, 51)));
  ASSERT_EQ(lines.size(), 211u);

  // Line 1: "0", then the betas as 10:2.
  EXPECT_EQ(lines[0].substr(0, 21), "0      0.00      0.02");
  EXPECT_EQ(lines[0].size(), 1u + 51u * 10u);
  EXPECT_EQ(lines[0].substr(lines[0].size() - 10), "      1.00");
  // Lines 2–52: alpha as 5:2, mean catch as 10:2.
  EXPECT_EQ(lines[1].substr(0, 25), " 1.00      0.00      1.00");
  EXPECT_EQ(lines[51].substr(0, 15), "11.00   5000.00");  // alpha 10.999999999999993
  EXPECT_EQ(lines[1].size(), 5u + 510u);
  // Empty separators at lines 53, 106, 159; the header repeats after each.
  EXPECT_EQ(lines[52], "");
  EXPECT_EQ(lines[105], "");
  EXPECT_EQ(lines[158], "");
  EXPECT_EQ(lines[53], lines[0]);
  EXPECT_EQ(lines[106], lines[0]);
  EXPECT_EQ(lines[159], lines[0]);
  // Mean biomass 10:0, variability 10:4, risk 10:4.
  EXPECT_EQ(lines[55].substr(0, 25), " 1.20      1000      1001");
  EXPECT_EQ(lines[108].substr(0, 25), " 1.20    1.0000    1.0100");
  EXPECT_EQ(lines[210].substr(0, 25), "11.00    0.0000    0.0010");
}

TEST(FormatOptimisationMatrix, KeepsABlankBeforeANumberThatFillsItsField) {
  // 1234567.00 and 20016.1215 take all ten places of their fields; written
  // bare they would join the number before them and R would read one number
  // (or a line too short). 999999.99 and 9999.9999 still leave a blank.
  std::vector<CandidateIndicators> cells = {{1234567.0, 1.0, 20016.1215, 0.0},
                                            {999999.99, 2.0, 9999.9999, 0.0}};
  const auto lines = SplitCrLf(FormatOptimisationMatrix({1.0}, {0.0, 0.02}, cells));
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[1], " 1.00 1234567.00 999999.99");
  EXPECT_EQ(lines[7], " 1.00 20016.1215 9999.9999");
  EXPECT_EQ(lines[4], " 1.00         1         2");
}

TEST(FormatOptimisationMatrix, RejectsAMatrixThatDoesNotFitTheGrid) {
  EXPECT_THROW(FormatOptimisationMatrix({1.0, 1.2}, {0.0}, NumberedCells(1, 1)), Error);
}

TEST(FormatOptimisationMatrix, RefusesNumbersThatAreNotFinite) {
  std::vector<CandidateIndicators> cells = {{1.0, 1.0, std::nan(""), 0.0}};
  EXPECT_THROW(FormatOptimisationMatrix({1.0}, {0.0}, cells), Error);
}

TEST(FormatOptimisationScript, DrawsTheFourMatricesScaledAndTitledInTheCatchUnit) {
  // Catch up to 5050 and variability up to 50.5 stay as they are; biomass up
  // to 50050 is shown in thousands.
  const std::vector<CandidateIndicators> cells = NumberedCells(51, 51);
  const std::string script = FormatOptimisationScript("/home/u/data", cells, 0);
  const auto lines = SplitCrLf(script);
  const std::vector<std::string>& helpers = RContourHelpers();
  ASSERT_EQ(lines.size(), 1 + helpers.size() + 2 + 4 * 6);
  EXPECT_EQ(lines[0],
            "dannie<-as.matrix(read.table(file=\"/home/u/data/OutMatrix.txt\",header=FALSE)) ");
  EXPECT_TRUE(std::equal(helpers.begin(), helpers.end(), lines.begin() + 1));
  const std::vector<std::string> pictures(lines.begin() + 1 + helpers.size(), lines.end());
  const std::string axes =
      "par(cex.axis = 1.2,font.axis = 1,cex.main = 1.2,bg = \"gray90\", font.main = 2, "
      "mgp = c(3, 0.5, 0), tcl = -0.3) ";
  const auto contour = [](const std::string& matrix, const std::string& levels,
                          const std::string& colours, const char* title) {
    return "filled.contour(alpha, beta, " + matrix + ", " + levels + " = 7,col= " + colours +
           ", plot.axes = draw.axes(alpha, beta, \"alpha\", \"beta\", 1, 3), key.axes = draw.key(" +
           matrix + ", 7, \"\", 1, 3), plot.title = draw.title(\"" + RStringContent(title) +
           "\", \"beta\", 1, 3)) ";
  };
  const auto margins = [](const std::string& matrix) {
    return "par(mar = fit.margins(c(2.8, 0, 1.5, 4.1), beta, " + matrix + ", 7)) ";
  };
  const std::vector<std::string> expected = {
      "alpha = as.vector(dannie[2:52,1]) ",
      "beta= as.vector(dannie[1,2:52]) ",
      "x= as.matrix(dannie[2:52,2:52]) ",
      "bmp (\"graph.bmp\", width = 250, height = 193 ) ",
      axes,
      margins("x"),
      contour("x", "nlevels", "heat.colors(10)", "Улов, т"),
      "dev.off() ",
      "x2= as.matrix(dannie[54:104,2:52]) / 1e3 ",
      "bmp (\"graph2.bmp\", width = 250, height = 193) ",
      axes,
      margins("x2"),
      contour("x2", "nlevels", "terrain.colors(10)", "Биомасса, тыс. т"),
      "dev.off() ",
      "x3= as.matrix(dannie[106:156,2:52]) ",
      "bmp (\"graph3.bmp\", width = 250, height = 193) ",
      axes,
      margins("x3"),
      contour("x3", "nlevels", "topo.colors(10)", "Вариаб-ть улова, т"),
      "dev.off() ",
      "x4= as.matrix(dannie[158:208,2:52]) ",
      "bmp (\"graph4.bmp\", width = 250, height = 193) ",
      axes,
      margins("x4"),
      contour("x4", "n", "rainbow(10,v=0.9)", "Риск B< Bср"),
      "dev.off() ",
  };
  EXPECT_EQ(pictures, expected);
  for (unsigned char ch : script) EXPECT_LT(ch, 0x80u) << "the script is plain ASCII";

  // A catch unit of thousands of tonnes names the scaled biomass in millions.
  const auto thousands = SplitCrLf(FormatOptimisationScript("/d", cells, 3));
  EXPECT_EQ(thousands[1 + helpers.size() + 12],
            contour("x2", "nlevels", "terrain.colors(10)", "Биомасса, млн т"));
  EXPECT_EQ(thousands[1 + helpers.size() + 6],
            contour("x", "nlevels", "heat.colors(10)", "Улов, тыс. т"));
}

TEST(FormatOptimisationScript, EscapesTheFolderName) {
  const auto lines =
      SplitCrLf(FormatOptimisationScript("/tmp/Мои \"данные\"", NumberedCells(1, 1), 0));
  EXPECT_EQ(lines[0],
            "dannie<-as.matrix(read.table(file=\"/tmp/\\u041c\\u043e\\u0438 "
            "\\\"\\u0434\\u0430\\u043d\\u043d\\u044b\\u0435\\\"/OutMatrix.txt\",header=FALSE)) ");
}

TEST(WriteOptimisationFiles, WritesBothFilesAndRaisesAReadableErrorOnFailure) {
  const auto dir = tarvik::testing_support::ScratchPath("tarvik_optimisation_files_test");
  std::filesystem::create_directories(dir);
  const std::string script =
      WriteOptimisationFiles(dir.string(), {1.0}, {0.0}, {{1.0, 2.0, 3.0, 0.5}}, 0);
  EXPECT_EQ(script, (dir / "Graph.R").string());
  std::ifstream matrix(dir / "OutMatrix.txt", std::ios::binary);
  std::stringstream text;
  text << matrix.rdbuf();
  EXPECT_EQ(text.str(),
            "0      0.00\r\n 1.00      1.00\r\n\r\n0      0.00\r\n 1.00         2\r\n\r\n"
            "0      0.00\r\n 1.00    3.0000\r\n\r\n0      0.00\r\n 1.00    0.5000\r\n");
  matrix.close();  // Windows removes no open file
  std::filesystem::remove_all(dir);

  try {
    WriteOptimisationFiles("/proc/no such folder", {1.0}, {0.0}, {{1.0, 2.0, 3.0, 0.5}}, 0);
    FAIL() << "writing into a missing folder must fail";
  } catch (const Error& error) {
    // The folder and the name joined by the system's separator.
    const std::string named =
        (std::filesystem::path("/proc/no such folder") / "OutMatrix.txt").string();
    EXPECT_NE(std::string(error.what()).find(named), std::string::npos) << error.what();
  }
}

}  // namespace
}  // namespace tarvik::rules
