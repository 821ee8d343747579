#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "rbridge/r_runner.h"

namespace tarvik::rbridge {
namespace {

using Folders = std::vector<std::string>;

struct CandidateCase {
  const char* name;
  std::string registry;
  std::string programFiles;
  Folders entries;
  Folders expected;
};

class WindowsR : public ::testing::TestWithParam<CandidateCase> {};

TEST_P(WindowsR, OrdersTheRegistryFirstThenTheNewestVersion) {
  const CandidateCase& c = GetParam();
  EXPECT_EQ(WindowsRCandidates(c.registry, c.programFiles, c.entries), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Candidates, WindowsR,
    ::testing::Values(
        CandidateCase{"NothingInstalled", "", "C:\\Program Files", {}, {}},
        // Versions compare as numbers: 4.10.0 is newer than 4.9.3, 4.2.10
        // than 4.2.9; Rtools is no R.
        CandidateCase{"NewestVersionFirst",
                      "",
                      "C:\\Program Files",
                      {"R-4.2.9", "Rtools", "R-4.10.0", "R-4.2.10", "R-4.9.3"},
                      {"C:\\Program Files\\R\\R-4.10.0\\bin", "C:\\Program Files\\R\\R-4.9.3\\bin",
                       "C:\\Program Files\\R\\R-4.2.10\\bin", "C:\\Program Files\\R\\R-4.2.9\\bin"}},
        // The registry names the version the user chose, even an older one;
        // the same folder in other letter case is not tried twice.
        CandidateCase{"RegistryFirstAndOnce",
                      "C:\\Program Files\\R\\R-4.1.3\\",
                      "C:\\Program Files\\",
                      {"R-4.3.1", "r-4.1.3"},
                      {"C:\\Program Files\\R\\R-4.1.3\\bin", "C:\\Program Files\\R\\R-4.3.1\\bin"}},
        // A build without a version number goes after the numbered ones.
        CandidateCase{"UnnumberedLast",
                      "D:\\\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B\\R",
                      "C:\\Program Files",
                      {"R-devel", "R-4.3.1"},
                      {"D:\\Программы\\R\\bin", "C:\\Program Files\\R\\R-4.3.1\\bin",
                       "C:\\Program Files\\R\\R-devel\\bin"}}),
    [](const ::testing::TestParamInfo<CandidateCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::rbridge
