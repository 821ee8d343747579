#include "assessment/fit_checks.h"
#include "estimation/surface.h"
#include "support/posix_only.h"
#include "support/scratch_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "assessment/variants.h"
#include "common/error.h"
#include "common/r_picture.h"
#include "common/r_text.h"
#include "estimation/variants.h"
#include "model/objective.h"
#include "model/production.h"
#include "test_series.h"

namespace tarvik::estimation {
namespace {

using model::ProductionModelKind;

std::vector<std::string> CrLfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    EXPECT_NE(end, std::string::npos) << "a line without CR LF";
    if (end == std::string::npos) break;
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

// State with a fitted Schaefer record r = 0.5, K = 10000 on a series of a
// stock with those parameters.
AssessmentState SchaeferEstimate() {
  AssessmentState state;
  BuildModelFits(state, "4");
  data::CatchEffortSeries s = testing::FishedStock(22);
  state.AnalysisSeries = s;
  model::ModelFit& fit = state.ModelFits[0];
  fit.R = 0.5;
  fit.K = 10000.0;
  fit.Q = 0.0002;
  fit.EMSY = 123.0;
  return state;
}

TEST(ObjectiveSurface, FirstLinesForTheDocumentedEstimate) {
  AssessmentState state = SchaeferEstimate();
  const SurfaceGrids g = ComputeObjectiveSurface(state, 0, 0);
  const std::vector<std::string> lines = CrLfLines(FormatOutMatrix(g));
  ASSERT_EQ(lines.size(), 103u);
  // K from 8000 by 80 (0.4 · 10000 / 50) to 11920, ten characters each.
  EXPECT_EQ(lines[0].substr(0, 21), "0      8000      8080");
  EXPECT_EQ(lines[0].size(), 1u + 50 * 10);
  EXPECT_EQ(lines[0].substr(lines[0].size() - 10), "     11920");
  // Row 0: r = 0.4, then the objective at (0.4, K_j) with three decimals.
  EXPECT_EQ(lines[1].substr(0, 10), "  0.400000");
  EXPECT_EQ(lines[1].size(), 51u * 10);
  char expected[32];
  std::snprintf(expected, sizeof expected, "%10.3f",
                model::EvaluateObjective(state.AnalysisSeries, model::ObjectiveKind::SumOfSquares,
                                         ProductionModelKind::Schaefer, g.RValues[0], g.KValues[0],
                                         0.0002, 0.0, 20));
  EXPECT_EQ(lines[1].substr(10, 10), expected);
  EXPECT_EQ(lines[51], "");
  // Block 2 header: FMSY = r/2 = 0.25 from 0.2 by 0.002.
  EXPECT_EQ(lines[52].substr(0, 21), "0  0.200000  0.202000");
  // Block 2 rows: MSY = rK/4 = 1250 from 1000 by 10.
  EXPECT_EQ(lines[53].substr(0, 10), "  1000.000");
  EXPECT_EQ(lines[102].substr(0, 10), "  1490.000");
}

TEST(ObjectiveSurface, ValuesThatFillTheirFieldStaySeparatedByABlank) {
  SurfaceGrids g;
  g.RValues.fill(0.4);
  g.KValues.fill(1234567890.0);  // ten digits: fills a (10, 0) field
  g.MsyValues.fill(1000.0);
  g.FmsyValues.fill(0.2);
  g.Block1.assign(50 * 50, 123456.789);  // ten characters at (10, 3)
  g.Block2.assign(50 * 50, 42.0);
  const std::vector<std::string> lines = CrLfLines(FormatOutMatrix(g));
  ASSERT_EQ(lines.size(), 103u);
  EXPECT_EQ(lines[0].substr(0, 23), "0 1234567890 1234567890");
  EXPECT_EQ(lines[0].size(), 1u + 50 * 11);
  // The row's own first field starts the line and stays as it is.
  EXPECT_EQ(lines[1].substr(0, 32), "  0.400000 123456.789 123456.789");
  EXPECT_EQ(lines[1].size(), 10u + 50 * 11);
  // Narrower values keep the plain ten-character layout.
  EXPECT_EQ(lines[53].substr(0, 30), "  1000.000    42.000    42.000");
  EXPECT_EQ(lines[53].size(), 51u * 10);
}

// The grids carry the MSY point and the keep count of the slider; the
// record and the search's keep count stay as they were (the refinement, the
// bootstrap and the adoption read them).
TEST(ObjectiveSurface, TakesTheMsyPointIntoTheGridsAndLeavesTheStateAlone) {
  AssessmentState state = SchaeferEstimate();
  state.MedianKeepCount = 20;
  const AssessmentState before = state;
  const SurfaceGrids g = ComputeObjectiveSurface(state, 0, 3);
  EXPECT_EQ(g.BMSY, 5000.0);
  EXPECT_EQ(g.MSY, 1250.0);
  EXPECT_EQ(g.FMSY, 0.25);
  EXPECT_EQ(g.KeepCount, 14);  // trim position 3 on 20 residuals
  EXPECT_EQ(state.MedianKeepCount, 20);
  const model::ModelFit& fit = state.ModelFits[0];
  const model::ModelFit& was = before.ModelFits[0];
  EXPECT_EQ(fit.BMSY, was.BMSY);
  EXPECT_EQ(fit.MSY, was.MSY);
  EXPECT_EQ(fit.FMSY, was.FMSY);
  EXPECT_EQ(fit.EMSY, 123.0);
}

TEST(ObjectiveSurface, CentreCellsAreTheObjectiveAtTheEstimate) {
  AssessmentState state = SchaeferEstimate();
  const SurfaceGrids g = ComputeObjectiveSurface(state, 0, 0);
  const double atEstimate =
      model::EvaluateObjective(state.AnalysisSeries, model::ObjectiveKind::SumOfSquares,
                               ProductionModelKind::Schaefer, 0.5, 10000.0, 0.0002, 0.0, 20);
  // 0.8 + 25·0.008 = 1.0 up to the rounding of the repeated additions.
  EXPECT_NEAR(g.RValues[25], 0.5, 1e-12);
  EXPECT_NEAR(g.KValues[25], 10000.0, 1e-8);
  EXPECT_NEAR(g.Block1[25 * 50 + 25], atEstimate, 1e-6 * atEstimate);
  // Block 2 of a Schaefer variant at (M̂, F̂): r = 2·F̂ = r̂, K = 2·M̂/F̂ = K̂.
  const RK back = SurfaceParameters(ProductionModelKind::Schaefer, g.MSY, g.FMSY, 0.0);
  EXPECT_DOUBLE_EQ(back.r, 0.5);
  EXPECT_DOUBLE_EQ(back.K, 10000.0);
  EXPECT_NEAR(g.Block2[25 * 50 + 25], atEstimate, 1e-6 * atEstimate);
}

TEST(ObjectiveSurface, FoxAndPellaTomlinsonGridsInvertTheirMsyPoint) {
  for (ProductionModelKind kind : {ProductionModelKind::Fox, ProductionModelKind::PellaTomlinson}) {
    model::ModelFit fit;
    fit.Kind = kind;
    fit.R = 0.3;
    fit.K = 5000.0;
    fit.Q = 0.001;
    fit.Exponent = 2.5;
    model::ReferenceMsy(fit);
    const RK back = SurfaceParameters(kind, fit.MSY, fit.FMSY, 2.5);
    EXPECT_NEAR(back.r, 0.3, 1e-12);
    EXPECT_NEAR(back.K, 5000.0, 1e-9);
  }
  EXPECT_THROW(SurfaceParameters(ProductionModelKind::Schaefer, 1.0, 0.0, 0.0), Error);
  EXPECT_THROW(SurfaceParameters(ProductionModelKind::PellaTomlinson, 1.0, 0.1, 0.0), Error);
}

// The pictures of the documented estimate: K from 8000 to 11920 and MSY from
// 1000 to 1490 in the catch unit.
TEST(Graph2Script, DrawsBothPicturesWithTheirAxesScaledAndNamedInTheCatchUnit) {
  AssessmentState state = SchaeferEstimate();
  const SurfaceGrids g = ComputeObjectiveSurface(state, 0, 0);
  const std::string script = FormatGraph2Script("C:/work/data", g, 0);
  const std::vector<std::string> lines = CrLfLines(script);
  const std::vector<std::string>& helpers = RContourHelpers();
  ASSERT_EQ(lines.size(), 1 + helpers.size() + 16);
  EXPECT_EQ(lines[0],
            "dannie<-as.matrix(read.table(file=\"C:/work/data/OutMatrix.txt\",header=FALSE)) ");
  // The helpers are defined before the first picture uses them.
  EXPECT_TRUE(std::equal(helpers.begin(), helpers.end(), lines.begin() + 1));
  const std::vector<std::string> pictures(lines.begin() + 1 + helpers.size(), lines.end());
  const std::string axes = "par(cex.axis = 1.5,font.axis = 2) ";
  const std::vector<std::string> expected = {
      // r across, K up in thousands of tonnes.
      "alpha = as.vector(dannie[2:51,1]) ",
      "beta= as.vector(dannie[1,2:51]) / 1e3 ",
      "x= as.matrix(dannie[2:51,2:51]) ",
      "bmp (\"graph5.bmp\", width = 460, height = 330 ) ",
      axes,
      "par(mar = fit.margins(c(3.7, 0, 1.5, 0.0), beta, x, 7)) ",
      "filled.contour(alpha, beta, x, nlevels = 7,col= terrain.colors(10), plot.axes = "
      "draw.axes(alpha, beta, \"r\", \"K, " +
          RStringContent("тыс. т") + "\", 1.5, 4), key.axes = draw.key(x, 7, \"L\", 1.5, 4)) ",
      "dev.off() ",
      // MSY across in tonnes, FMSY up.
      "alpha = as.vector(dannie[53:102,1]) ",
      "beta= as.vector(dannie[52,2:51]) ",
      "x2= as.matrix(dannie[53:102,2:51]) ",
      "bmp (\"graph6.bmp\", width = 460, height = 330 ) ",
      axes,
      "par(mar = fit.margins(c(3.7, 0, 1.5, 0.0), beta, x2, 7)) ",
      "filled.contour(alpha, beta, x2, nlevels = 7,col= terrain.colors(10), plot.axes = "
      "draw.axes(alpha, beta, \"MSY, " +
          RStringContent("т") +
          "\", \"FMSY\", 1.5, 4), key.axes = draw.key(x2, 7, \"L\", 1.5, 4)) ",
      "dev.off() ",
  };
  EXPECT_EQ(pictures, expected);
  for (char ch : script) EXPECT_LT(static_cast<unsigned char>(ch), 128u);

  // In thousands of tonnes K is shown in millions and MSY in thousands; a
  // large objective is divided too and says so under the key.
  SurfaceGrids large = g;
  for (double& value : large.Block2) value *= 1e6;
  const std::vector<std::string> thousands = CrLfLines(FormatGraph2Script("/d", large, 3));
  const auto line = [&](std::size_t i) { return thousands[1 + helpers.size() + i]; };
  EXPECT_EQ(line(1), "beta= as.vector(dannie[1,2:51]) / 1e3 ");
  EXPECT_NE(line(6).find("\"K, " + RStringContent("млн т") + "\""), std::string::npos);
  EXPECT_EQ(line(10), "x2= as.matrix(dannie[53:102,2:51]) / 1e6 ");
  EXPECT_NE(line(14).find("\"MSY, " + RStringContent("тыс. т") + "\""), std::string::npos);
  EXPECT_NE(line(14).find("draw.key(x2, 7, \"L, " + RStringContent("×10⁶") + "\""),
            std::string::npos);
}

TEST(Graph2Script, DirectoryCannotBreakTheStringLiteral) {
  AssessmentState state = SchaeferEstimate();
  const SurfaceGrids g = ComputeObjectiveSurface(state, 0, 0);
  const auto firstLine = [&](std::string_view directory) {
    return CrLfLines(FormatGraph2Script(directory, g, 0))[0];
  };
  EXPECT_EQ(firstLine("/tmp/a\"b"),
            "dannie<-as.matrix(read.table(file=\"/tmp/a\\\"b/OutMatrix.txt\",header=FALSE)) ");
  // A folder that would close the literal and run a command stays inside it.
  EXPECT_EQ(firstLine("/tmp/x\"); system(\"rm -rf ~"),
            "dannie<-as.matrix(read.table(file=\"/tmp/x\\\"); system(\\\"rm -rf "
            "~/OutMatrix.txt\",header=FALSE)) ");
  // A Cyrillic folder keeps the script ASCII (Д = U+0414, а = U+0430).
  EXPECT_EQ(firstLine("/home/Да"),
            "dannie<-as.matrix(read.table(file=\"/home/\\u0414\\u0430/OutMatrix.txt\","
            "header=FALSE)) ");
}

TEST(WriteSurfaceFiles, WritesBothFilesIntoTheDirectory) {
  TARVIK_POSIX_ONLY("a double quote in a folder name");
  const std::filesystem::path dir =
      tarvik::testing_support::ScratchPath("tarvik_surface_test") / "with \"quote\" dir";
  std::filesystem::create_directories(dir);
  AssessmentState state = SchaeferEstimate();
  const SurfaceGrids g = ComputeObjectiveSurface(state, 0, 0);
  const SurfaceFiles files = WriteSurfaceFiles(dir, g, 0);
  EXPECT_EQ(files.Matrix, dir / "OutMatrix.txt");
  EXPECT_EQ(files.Script, dir / "Graph2.R");
  const auto read = [](const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  };
  EXPECT_EQ(read(files.Matrix), FormatOutMatrix(g));
  const std::string script = read(files.Script);
  EXPECT_EQ(script, FormatGraph2Script(ScriptDirectory(dir), g, 0));
  EXPECT_NE(script.find("with \\\"quote\\\" dir/OutMatrix.txt"), std::string::npos);
  std::filesystem::remove_all(dir.parent_path());
  EXPECT_THROW(WriteSurfaceFiles(dir / "missing", g, 0), Error);
}

TEST(WriteSurfaceFiles, ADataFileNamedLikeAWorkFileIsLeftAlone) {
  const std::filesystem::path dir = tarvik::testing_support::ScratchPath("tarvik_surface_data");
  std::filesystem::create_directories(dir);
  AssessmentState state = SchaeferEstimate();
  for (const char* name : {"OutMatrix.txt", "graph5.bmp"}) {
    const std::filesystem::path data = dir / name;
    std::ofstream(data, std::ios::binary) << "data";
    state.DataFileName = data.string();
    const SurfaceGrids g = ComputeObjectiveSurface(state, 0, 0);
    EXPECT_EQ(g.DataFileName, data.string());
    try {
      WriteSurfaceFiles(dir, g, 0);
      ADD_FAILURE() << name << " was replaced";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find(std::string("Рабочий файл R «") + name + "»"),
                std::string::npos)
          << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "Graph2.R"));
    std::ifstream in(data, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "data");
    in.close();  // Windows removes no open file
    std::filesystem::remove(data);
  }
  std::filesystem::remove_all(dir);
}

TEST(WriteSurfaceFiles, TheMatrixIsReplacedWholeOrNotAtAll) {
  const std::filesystem::path dir = tarvik::testing_support::ScratchPath("tarvik_surface_whole");
  std::filesystem::create_directories(dir);
  AssessmentState state = SchaeferEstimate();
  const SurfaceGrids g = ComputeObjectiveSurface(state, 0, 0);
  // A matrix the user protected stays as it was, and so does the folder.
  std::ofstream(dir / "OutMatrix.txt", std::ios::binary) << "kept";
  std::filesystem::permissions(dir / "OutMatrix.txt", std::filesystem::perms::owner_read);
  EXPECT_THROW(WriteSurfaceFiles(dir, g, 0), Error);
  std::ifstream in(dir / "OutMatrix.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  in.close();
  // Windows removes no read-only file.
  std::filesystem::permissions(dir / "OutMatrix.txt", std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::add);
  std::filesystem::remove_all(dir);
}

TEST(SurfacePicture, SwitchAlternatesBetweenTheTwoPictures) {
  bool flag = false;
  EXPECT_EQ(ToggleSurfacePicture(flag).Image, "graph6.bmp");
  EXPECT_TRUE(flag);
  const SurfacePicture second = ToggleSurfacePicture(flag);
  EXPECT_EQ(second.Image, "graph5.bmp");
  EXPECT_EQ(second.Caption, "MSY/FMSY");
  EXPECT_EQ(ToggleSurfacePicture(flag).Caption, "r/K");
}

TEST(ScriptDirectory, AbsoluteWithoutTrailingSeparator) {
  TARVIK_POSIX_ONLY("absolute paths beginning with /");
  const std::string d = ScriptDirectory("some/dir/");
  EXPECT_EQ(d.front(), '/');
  EXPECT_NE(d.back(), '/');
  EXPECT_EQ(ScriptDirectory("/"), "");  // the script then names "/OutMatrix.txt"
}

}  // namespace
}  // namespace tarvik::estimation
