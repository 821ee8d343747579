#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include <unistd.h>

namespace tarvik::rbridge::testing {

// Width and height from a BMP file's header (BITMAPINFOHEADER: offsets 18
// and 22, little-endian; a negative height means top-down rows).
inline std::pair<std::int32_t, std::int32_t> BmpSize(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char header[26] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  if (!in || header[0] != 'B' || header[1] != 'M') return {-1, -1};
  const auto at = [&](int offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(header[offset]) |
                                     static_cast<std::uint32_t>(header[offset + 1]) << 8 |
                                     static_cast<std::uint32_t>(header[offset + 2]) << 16 |
                                     static_cast<std::uint32_t>(header[offset + 3]) << 24);
  };
  const std::int32_t height = at(22);
  return {at(18), height < 0 ? -height : height};
}

// A fresh empty folder under the temp folder, removed at the end of the test.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    path_ = std::filesystem::temp_directory_path() /
            ("tarvik_rbridge_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++)) /
            name;
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_.parent_path(), ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string str() const { return path_.string(); }

 private:
  inline static int counter_ = 0;
  std::filesystem::path path_;
};

inline std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

}  // namespace tarvik::rbridge::testing
