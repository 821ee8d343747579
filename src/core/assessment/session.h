#pragma once

// The one assessment of a window or of a command run, as the code outside
// this folder holds it. Headers of the window and the command line name only
// this handle and never include state.h: their interfaces take what a page
// or a command shows (views, results), and their source files reach the
// state through State() after including state.h.

#include <memory>

namespace tarvik {

struct AssessmentState;

// Owns one assessment state (fresh: nothing loaded, the random source at 0).
class Session {
 public:
  Session();
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  AssessmentState& State() { return *state_; }
  const AssessmentState& State() const { return *state_; }

 private:
  std::unique_ptr<AssessmentState> state_;
};

}  // namespace tarvik
