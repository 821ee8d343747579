// Replays the committed corpus of a fuzz target through the same property
// checks as the harness, built with the normal compiler: every input that
// ever found a fault stays a test.
//   tarvik_fuzz_replay TARGET FOLDER…
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "properties.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s TARGET FOLDER...\n", argv[0]);
    return 2;
  }
  const std::string target = argv[1];
  std::vector<fs::path> inputs;
  for (int i = 2; i < argc; ++i) {
    for (const auto& entry : fs::recursive_directory_iterator(argv[i])) {
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    }
  }
  std::sort(inputs.begin(), inputs.end());
  if (inputs.empty()) {
    std::fprintf(stderr, "%s: no inputs\n", target.c_str());
    return 1;
  }
  for (const fs::path& input : inputs) {
    std::ifstream in(input, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    tarvik::fuzz::SetInputName(input.string());
    if (!tarvik::fuzz::CheckTarget(target, bytes)) {
      std::fprintf(stderr, "unknown target %s\n", target.c_str());
      return 2;
    }
  }
  std::printf("%s: %zu inputs, every property holds\n", target.c_str(), inputs.size());
  return 0;
}
