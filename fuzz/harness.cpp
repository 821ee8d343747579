// The libFuzzer harness of one target of properties.h; the build compiles it
// once per target with TARVIK_FUZZ_TARGET set to the target's name.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tarvik::fuzz::CheckTarget(TARVIK_FUZZ_TARGET,
                            std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}
