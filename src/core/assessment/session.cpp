#include "assessment/session.h"

#include "assessment/state.h"

namespace tarvik {

Session::Session() : state_(std::make_unique<AssessmentState>()) {}

Session::~Session() = default;

}  // namespace tarvik
