#pragma once

#include <functional>

namespace tarvik {

// How a long computation reports how far it got: `done` of `total` steps
// (each computation says what a step is). Called on the computing thread,
// from 0 on, never with a smaller `done` than before.
using ProgressCallback = std::function<void(int done, int total)>;

}  // namespace tarvik
