#include "cli/common_options.h"

#include <iostream>

#include "assessment/state.h"
#include "assessment/variants.h"
#include "common/error.h"
#include "estimation/variants.h"

namespace tarvik::cli {

std::vector<std::string> SplitAt(const std::string& text, char separator) {
  std::vector<std::string> fields;
  std::string field;
  for (char ch : text) {
    if (ch == separator) {
      fields.push_back(field);
      field.clear();
    } else {
      field.push_back(ch);
    }
  }
  fields.push_back(field);
  return fields;
}

std::optional<int> Choice(const std::string& text, const std::vector<std::string>& items,
                          const char* option) {
  if (text.empty()) return std::nullopt;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (text == items[i]) return static_cast<int>(i);
  }
  std::string list;
  for (const std::string& item : items) list += (list.empty() ? "" : ", ") + item;
  throw Error(std::string("Параметр ") + option + ": «" + MessageExcerpt(text) + "» не из " + list);
}

void AddReferenceSelectorOptions(CLI::App& sub, ReferenceSelectorTexts& texts) {
  sub.add_option("--btr", texts.Btr, "Целевая биомасса: BMSY, B0.1 или BMSY+st");
  sub.add_option("--etr", texts.Etr, "Целевое усилие: EMSY, E0,1 или EMSY+st");
  sub.add_option("--blim", texts.Blim, "Граничная биомасса: 0.1, 0.2, 0.3 или 0.5 BMSY");
}

refpoints::SelectorChanges ParseReferenceSelectors(const ReferenceSelectorTexts& texts) {
  refpoints::SelectorChanges changes;
  changes.TargetBiomass = Choice(texts.Btr, {"BMSY", "B0.1", "BMSY+st"}, "--btr");
  changes.TargetEffort = Choice(texts.Etr, {"EMSY", "E0,1", "EMSY+st"}, "--etr");
  changes.LimitBiomass = Choice(texts.Blim, {"0.1", "0.2", "0.3", "0.5"}, "--blim");
  return changes;
}

Json ReferencePointsJson(const model::ModelFit& fit) {
  return {{"msy", fit.MSY},     {"bmsy", fit.BMSY},   {"fmsy", fit.FMSY},   {"emsy", fit.EMSY},
          {"btr", fit.BTarget}, {"ftr", fit.FTarget}, {"etr", fit.ETarget}, {"blim", fit.BLimit}};
}

void RequireVariantLabel(const std::string& cutOffs, const std::string& label) {
  AssessmentState probe;
  estimation::BuildModelFits(probe, cutOffs);
  estimation::VariantIndexByLabel(probe.ModelFits, label);
}

void AddRTimeLimitOption(CLI::App& sub, int& seconds) {
  sub.add_option("--r-time-limit", seconds, "Наибольшее время работы R, с")->default_val(120);
}

std::chrono::seconds RTimeLimit(int seconds) {
  constexpr int kDay = 24 * 60 * 60;
  if (seconds < 1 || seconds > kDay) {
    throw Error("Параметр --r-time-limit: время работы R от 1 до " + std::to_string(kDay) +
                " с, задано " + std::to_string(seconds));
  }
  return std::chrono::seconds(seconds);
}

void WarnWhenRFailed(const rbridge::PictureRun& pictures) {
  if (!pictures.R.Ok && pictures.R.Status != rbridge::RRunStatus::RNotFound) {
    std::cerr << "Предупреждение: " << pictures.R.Message << std::endl;
  }
}

const char* RStatusKey(rbridge::RRunStatus status) {
  switch (status) {
    case rbridge::RRunStatus::Done:
      return "done";
    case rbridge::RRunStatus::RNotFound:
      return "r_not_found";
    case rbridge::RRunStatus::StartFailed:
      return "start_failed";
    case rbridge::RRunStatus::TimedOut:
      return "timed_out";
    case rbridge::RRunStatus::PicturesMissing:
      return "pictures_missing";
    case rbridge::RRunStatus::RFailed:
      return "r_failed";
    case rbridge::RRunStatus::NothingToDraw:
      return "nothing_to_draw";
  }
  return "unknown";
}

void WritePictureLines(std::ostream& out, const rbridge::PictureRun& pictures) {
  if (pictures.R.Ok) {
    out << "Рисунки:";
    for (const auto& picture : pictures.Pictures) out << " " << picture;
    out << "\n";
  } else {
    out << pictures.R.Message << "\n";
  }
}

}  // namespace tarvik::cli
