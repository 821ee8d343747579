#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

namespace tarvik::testing_support {

// A path under the temp folder that no other test process uses: CTest runs
// test cases in parallel processes, so fixed names would collide.
inline std::filesystem::path ScratchPath(const std::string& stem) {
  return std::filesystem::temp_directory_path() / (stem + "_" + std::to_string(::getpid()));
}

}  // namespace tarvik::testing_support
