#include "rbridge/pictures.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "common/error.h"
#include "test_support.h"

namespace tarvik::rbridge {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;

rules::OptimisationResult FlatResult(rules::RuleKind kind) {
  rules::OptimisationResult result;
  result.Kind = kind;
  if (kind == rules::RuleKind::Logistic) {
    result.Alphas = rules::LogisticAlphas();
    result.Betas = rules::LogisticBetas();
  } else {
    result.Alphas = rules::PiecewiseLinearAlphas();
    result.Betas = {0.0};
  }
  result.Candidates.assign(result.Alphas.size() * result.Betas.size(), {1.0, 2.0, 0.5, 0.25});
  return result;
}

TEST(DrawOptimisationPictures, PiecewiseLinearRunWritesNeitherFileAndRunsNoR) {
  ScratchFolder folder("piecewise");
  const auto run = DrawOptimisationPictures(
      folder.str(), FlatResult(rules::RuleKind::PiecewiseLinear), 0, LocateR());
  EXPECT_FALSE(run.FilesWritten);
  EXPECT_EQ(run.R.Status, RRunStatus::NothingToDraw);
  EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(DrawOptimisationPictures, WithoutRWritesTheFilesAndNamesThePictures) {
  ScratchFolder folder("logistic");
  const auto run =
      DrawOptimisationPictures(folder.str(), FlatResult(rules::RuleKind::Logistic), 0, kRNotFound);
  EXPECT_TRUE(run.FilesWritten);
  EXPECT_EQ(run.R.Status, RRunStatus::RNotFound);
  EXPECT_EQ(run.ScriptPath, folder.str() + "/Graph.R");
  EXPECT_TRUE(fs::exists(folder.path() / "OutMatrix.txt"));
  EXPECT_TRUE(fs::exists(folder.path() / "Graph.R"));
  ASSERT_EQ(run.Pictures.size(), 4u);
  EXPECT_EQ(run.Pictures[3], folder.str() + "/graph4.bmp");
  EXPECT_FALSE(fs::exists(run.Pictures[0]));
}

TEST(DrawOptimisationPictures, ADataFileNamedLikeAPictureIsNeitherReplacedNorRemoved) {
  ScratchFolder folder("data named graph");
  // R's run removes old pictures first: a data file of that name would go.
  testing::WriteFile(folder.path() / "graph2.bmp", "data");
  rules::OptimisationResult result = FlatResult(rules::RuleKind::Logistic);
  result.DataFileName = (folder.path() / "graph2.bmp").string();
  EXPECT_THROW(DrawOptimisationPictures(folder.str(), result, 0, LocateR()), Error);
  EXPECT_EQ(testing::ReadFile(folder.path() / "graph2.bmp"), "data");
  EXPECT_FALSE(fs::exists(folder.path() / "OutMatrix.txt"));
}

}  // namespace
}  // namespace tarvik::rbridge

#include "assessment/fit_checks.h"
#include "estimation/surface.h"

namespace tarvik::rbridge {
namespace {

// Surface grids with a smooth made-up objective: the pictures only need
// values that vary over both grids.
estimation::SurfaceGrids MadeUpSurface() {
  estimation::SurfaceGrids grids;
  grids.R = 0.5, grids.K = 10000.0, grids.Q = 0.001;
  grids.MSY = 1250.0, grids.FMSY = 0.25, grids.BMSY = 5000.0;
  const int n = estimation::SurfaceGrids::kSize;
  double r = 0.4, K = 8000.0, M = 1000.0, F = 0.2;
  for (int i = 0; i < n; ++i, r += 0.004, K += 80.0, M += 10.0, F += 0.002) {
    grids.RValues[i] = r, grids.KValues[i] = K, grids.MsyValues[i] = M, grids.FmsyValues[i] = F;
  }
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      grids.Block1.push_back(1.0 + (i - 25) * (i - 25) + 0.5 * (j - 20) * (j - 20));
      grids.Block2.push_back(3.0 + 0.2 * (i - 10) * (i - 10) + (j - 30) * (j - 30));
    }
  }
  return grids;
}

TEST(DrawSurfacePictures, RDrawsBothPicturesFromTheSurfaceFiles) {
  if (LocateR() == kRNotFound) GTEST_SKIP() << "R is not installed";
  ScratchFolder folder("surface \"L\" pictures");
  estimation::WriteSurfaceFiles(folder.path(), MadeUpSurface(), 0);
  const auto run = DrawSurfacePictures(folder.str(), LocateR());
  ASSERT_TRUE(run.R.Ok) << run.R.Message;
  ASSERT_EQ(run.Pictures.size(), 2u);
  EXPECT_EQ(testing::BmpSize(run.Pictures[0]), std::make_pair(460, 330));
  EXPECT_EQ(testing::BmpSize(run.Pictures[1]), std::make_pair(460, 330));
  EXPECT_EQ(run.Pictures[1], folder.str() + "/graph6.bmp");
}

TEST(DrawSurfacePictures, WithoutRLeavesTheFilesAndDrawsNothing) {
  ScratchFolder folder("surface without R");
  estimation::WriteSurfaceFiles(folder.path(), MadeUpSurface(), 0);
  const auto run = DrawSurfacePictures(folder.str(), LocateR({folder.str()}));
  EXPECT_EQ(run.R.Status, RRunStatus::RNotFound);
  EXPECT_TRUE(fs::exists(folder.path() / "Graph2.R"));
  EXPECT_TRUE(fs::exists(folder.path() / "OutMatrix.txt"));
  EXPECT_FALSE(fs::exists(folder.path() / "graph5.bmp"));
  EXPECT_FALSE(fs::exists(folder.path() / "Graph2.Rout"));
}

}  // namespace
}  // namespace tarvik::rbridge
