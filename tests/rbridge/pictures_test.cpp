#include "rbridge/pictures.h"

#include <gtest/gtest.h>

#include <filesystem>

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
  const auto run = DrawOptimisationPictures(folder.str(),
                                            FlatResult(rules::RuleKind::PiecewiseLinear),
                                            LocateR());
  EXPECT_FALSE(run.FilesWritten);
  EXPECT_EQ(run.R.Status, RRunStatus::NothingToDraw);
  EXPECT_TRUE(fs::is_empty(folder.path()));
}

TEST(DrawOptimisationPictures, WithoutRWritesTheFilesAndNamesThePictures) {
  ScratchFolder folder("logistic");
  const auto run =
      DrawOptimisationPictures(folder.str(), FlatResult(rules::RuleKind::Logistic), kRNotFound);
  EXPECT_TRUE(run.FilesWritten);
  EXPECT_EQ(run.R.Status, RRunStatus::RNotFound);
  EXPECT_EQ(run.ScriptPath, folder.str() + "/Graph.R");
  EXPECT_TRUE(fs::exists(folder.path() / "OutMatrix.txt"));
  EXPECT_TRUE(fs::exists(folder.path() / "Graph.R"));
  ASSERT_EQ(run.Pictures.size(), 4u);
  EXPECT_EQ(run.Pictures[3], folder.str() + "/graph4.bmp");
  EXPECT_FALSE(fs::exists(run.Pictures[0]));
}

}  // namespace
}  // namespace tarvik::rbridge
