#pragma once

#include <string>
#include <string_view>

namespace tarvik::fuzz {

// Property checks of the program's readers and formatters for bytes from
// anywhere (a fuzzer, a corpus file). Each returns when every property holds
// and otherwise writes what failed to stderr and aborts, which a fuzzer
// counts as a finding and a test run as a failure. The properties, beyond
// "no crash": only tarvik::Error escapes, with a short, whole, valid UTF-8
// message; after an error nothing has changed; what is written reads back
// the same; no non-finite number becomes text.

// ParseDataFile with either decimal mark; a file it takes is written back
// (FormatDataFile) and read again.
void CheckDataFileReader(std::string_view bytes);

// PasteClipboardRows into a filled table; the first byte chooses the decimal
// mark, the rest is the clipboard text.
void CheckPasteParser(std::string_view bytes);

// The number formats (general, masks, fields for R, rounding) of a double
// made of the first eight bytes, and the readers of the remaining text.
void CheckNumbers(std::string_view bytes);

// The cut-off list of the results panel (ParseCutOffList, BuildModelFits).
void CheckCutOffList(std::string_view bytes);

// ParseAssessmentFile with either decimal mark; a file it takes is written
// back (FormatAssessmentFile) and read again to the same assessment.
void CheckAssessmentFileReader(std::string_view bytes);

// Runs the check named `target` ("data_file", "paste", "numbers",
// "cutoffs", "assessment_file"); false for an unknown name.
bool CheckTarget(std::string_view target, std::string_view bytes);

// The name of the input being checked, for the report of a failure.
void SetInputName(std::string name);

}  // namespace tarvik::fuzz
