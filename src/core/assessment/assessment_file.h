#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/data_file.h"
#include "data/data_table.h"

namespace tarvik::assessment {

// The assessment file (*.tarvik): a whole assessment as UTF-8 JSON, meant to
// be kept beside the report and shared. It holds the data set as the table's
// text cells, the transitions the user ran on it in order with their inputs,
// the state of the procedure's random source where this data set's work
// began, and a fingerprint of the results, so that replaying the steps can
// prove that it gave the same numbers.
//
//   {"format": "tarvik-assessment", "format_version": 1,
//    "program_version": "4.0.0",
//    "data": {"file_name": …, "decimal_mark": ".", "description": {…},
//             "table": [["1934", "10361.1158360265", "5.879", "60913"], …]},
//    "random_seed_at_start": 0,
//    "steps": [{"transition": "suitability_check", "inputs": {…}}, …],
//    "window": {"page": 2},
//    "fingerprint": {…}}

inline constexpr std::string_view kFormatName = "tarvik-assessment";
inline constexpr int kFormatVersion = 1;
// The largest assessment file read (a whole road is a few tens of kilobytes).
inline constexpr std::uintmax_t kMaxAssessmentFileBytes = 16u * 1024u * 1024u;
// The most steps one assessment may hold.
inline constexpr std::size_t kMaxSteps = 100000;

// The transitions an assessment file may name, in the words of the file.
// A file naming another one is refused.
const std::vector<std::string_view>& KnownTransitions();

// One transition as the user ran it: its name and its inputs (an object
// whose keys each transition reads and checks when it is replayed).
struct Step {
  std::string Transition;
  nlohmann::json Inputs = nlohmann::json::object();

  bool operator==(const Step&) const = default;
};

// The results a replay must reproduce. Each part is absent when the
// assessment had not reached it.
struct Fingerprint {
  struct Variant {
    std::string Label;  // "Шефер СК"
    double R = 0.0, K = 0.0, Q = 0.0, L = 0.0;
    bool operator==(const Variant&) const = default;
  };
  std::vector<Variant> Variants;  // the fitted variants, in the order of the records
  std::optional<double> ChosenMsy;
  std::optional<double> TacLow, TacHigh;     // the forecast's 90 % interval of the TAC
  std::optional<double> DecisionMaxCatch;   // the decision table's largest catch within its risk

  bool operator==(const Fingerprint&) const = default;
};

struct AssessmentFile {
  std::string ProgramVersion;   // of the program that wrote the file
  std::string DataFileName;     // the data file the table came from (UTF-8), may be empty
  char DecimalMark = '.';       // the mark the table's cells are written with
  data::DataDescription Description;
  data::DataTable Table;        // row 0 is the header row
  std::uint32_t RandomSeedAtStart = 0;
  std::vector<Step> Steps;
  int FrontPage = 0;            // the page in front when the file was written
  Fingerprint Results;
};

// The file's bytes: indented UTF-8 JSON ending with a line break. Numbers
// are written so that they read back to the same double. Raises
// tarvik::Error for a value JSON cannot hold (a number that is not finite).
std::string FormatAssessmentFile(const AssessmentFile& file);

// Reads and checks the whole file before anything is returned: JSON syntax
// (the line and column of a fault), the format name and version (a newer
// version is refused with both versions named), every field's type and range
// (the table's shape and size, the years, the seed, the page), every step's
// transition among KnownTransitions. The table's cells are given in
// `decimalMark`, whatever mark the file was written with. Every fault raises
// tarvik::Error with a Russian message naming the field ("шаг 3
// («choose_model»): …"); nothing is returned half-read.
AssessmentFile ParseAssessmentFile(std::string_view bytes, char decimalMark);

// ParseAssessmentFile of the file at `path` (at most kMaxAssessmentFileBytes).
AssessmentFile ReadAssessmentFile(const std::string& path, char decimalMark);

// Writes the file atomically (WriteFileAtomically). Never over the data file
// `dataFileName` nor over any file that is not an assessment file already (a
// data file, a report, anything else): those are refused, naming the file.
void WriteAssessmentFile(const std::string& path, const AssessmentFile& file,
                         const std::string& dataFileName);

// One result that a replay did not reproduce: what (in Russian), the value
// the file holds and the one the replay gave (as text), and the relative
// difference where both are numbers.
struct FingerprintDifference {
  std::string What;
  std::string Expected, Actual;
  std::optional<double> Relative;
};

// The results of `actual` that are not bit for bit those of `expected`.
std::vector<FingerprintDifference> CompareFingerprints(const Fingerprint& expected,
                                                       const Fingerprint& actual);

// Where a system keeps a user's program data.
enum class DataFolderRule {
  // XDG_DATA_HOME (if absolute), else HOME/.local/share.
  Xdg,
  // LOCALAPPDATA, else APPDATA, else USERPROFILE\AppData\Local (each only
  // if absolute: a drive and a separator, or a network path).
  Windows,
};

#ifdef _WIN32
inline constexpr DataFolderRule kThisSystemsDataFolderRule = DataFolderRule::Windows;
#else
inline constexpr DataFolderRule kThisSystemsDataFolderRule = DataFolderRule::Xdg;
#endif

// The recovery file the program keeps its open assessment in after every
// completed transition: <data folder>/tarvik/recovery.tarvik under XDG,
// <data folder>\Tarvik\recovery.tarvik on Windows. `environment` looks a
// variable up (empty: not set). Empty when no variable gives a folder.
std::string RecoveryFilePath(std::string (*environment)(const char* name),
                             DataFolderRule rule = kThisSystemsDataFolderRule);

}  // namespace tarvik::assessment
