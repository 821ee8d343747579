#include "support/scratch_path.h"
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "cli_run.h"

namespace tarvik::cli {
namespace {

namespace fs = std::filesystem;

using testing::BmpSize;

TEST(CliSurface, RDrawsBothSurfacePictures) {
  if (std::system("R --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "R is not installed";
  const fs::path folder = tarvik::testing_support::ScratchPath("tarvik_cli_surface_pictures");
  fs::remove_all(folder);
  fs::create_directories(folder);
  const testing::CliRun run =
      testing::RunCli("surface examples/yellowfin_epo_1934_1955.txt --variant 'Шефер СК' "
                      "--variants 0 --json --dir '" +
                      folder.string() + "'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  EXPECT_EQ(j["r_status"], "done") << j["r_message"];
  ASSERT_EQ(j["pictures"].size(), 2u);
  EXPECT_EQ(BmpSize(folder / "graph5.bmp"), std::make_pair(460, 330));
  EXPECT_EQ(BmpSize(folder / "graph6.bmp"), std::make_pair(460, 330));
  fs::remove_all(folder);
}

TEST(CliSurface, WithoutDirTheFilesGoBesideTheDataFile) {
  const fs::path folder = tarvik::testing_support::ScratchPath("tarvik_cli_surface_default_dir");
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::copy_file(fs::path(TARVIK_SOURCE_DIR) / "examples" / "yellowfin_epo_1934_1955.txt",
                folder / "series.txt");
  const testing::CliRun run = testing::RunCli("surface '" + (folder / "series.txt").string() +
                                              "' --variant 'Шефер СК' --variants 0 --json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const nlohmann::json j = nlohmann::json::parse(run.out);
  EXPECT_EQ(j["directory_note"], "");
  EXPECT_TRUE(fs::equivalent(j["directory"].get<std::string>(), folder));
  ASSERT_TRUE(fs::exists(folder / "OutMatrix.txt"));
  ASSERT_TRUE(fs::exists(folder / "Graph2.R"));
  EXPECT_TRUE(fs::equivalent(j["matrix"].get<std::string>(), folder / "OutMatrix.txt"));
  EXPECT_TRUE(fs::equivalent(j["script"].get<std::string>(), folder / "Graph2.R"));
  fs::remove_all(folder);
}

}  // namespace
}  // namespace tarvik::cli
