#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace tarvik::cli {

// JSON documents of the command line are built as ordered objects (keys stay
// in the order they were added).
using Json = nlohmann::ordered_json;

// A double as JSON text with 17 significant digits ("%.17g"), so that it
// reads back to exactly the same bits. A value that is not finite raises
// tarvik::Error (JSON has no text for it).
std::string JsonDouble(double x);

// The document as text: like nlohmann's dump(indent) but every floating-point
// number written by JsonDouble. Ends without a line break.
std::string DumpJson(const Json& document, int indent = 2);

}  // namespace tarvik::cli
