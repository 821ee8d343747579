#include "estimation/variants.h"

#include <array>
#include <limits>

#include "common/error.h"
#include "common/numbers.h"

namespace tarvik::estimation {
namespace {

using model::ModelFit;
using model::ObjectiveKind;
using model::ProductionModelKind;

constexpr std::size_t kMaxVariants = 255;

// StrToInt of one token, held in 8 bits.
std::uint8_t CutOffValue(const std::string& token) {
  const auto value = TryParseInteger(token);
  if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
      *value > std::numeric_limits<std::int32_t>::max()) {
    throw Error("Значение медианного окна «" + MessageExcerpt(token) +
                "» не является целым числом");
  }
  return static_cast<std::uint8_t>(*value);
}

const char* ModelPrefix(ProductionModelKind kind) {
  switch (kind) {
    case ProductionModelKind::Schaefer:
      return "Шефер";
    case ProductionModelKind::Fox:
      return "Фокс";
    case ProductionModelKind::PellaTomlinson:
      return "ПТ";
  }
  return "";
}

// "4", "4#3": a cut-off value and, after "#", a slot number.
bool IsCutOffTail(std::string_view tail) {
  const std::size_t hash = tail.find('#');
  const auto digits = [](std::string_view part) {
    return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (hash == std::string_view::npos) return digits(tail);
  return digits(tail.substr(0, hash)) && digits(tail.substr(hash + 1));
}

const char* ObjectiveSuffix(ObjectiveKind objective) {
  switch (objective) {
    case ObjectiveKind::SumOfSquares:
      return "СК";
    case ObjectiveKind::LogSumOfSquares:
      return "Лог";
    case ObjectiveKind::Median:
      return "М";
  }
  return "";
}

}  // namespace

std::vector<std::uint8_t> ParseCutOffList(std::string_view text) {
  // The list is scanned character by character; `cur` collects the current
  // token, `from` holds the start of a range until its end is read.
  std::vector<std::uint8_t> values;
  std::string cur;
  std::string from;
  const auto add = [&values](const std::string& token) { values.push_back(CutOffValue(token)); };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const bool last = (i + 1 == text.size());
    if (ch != ',' && ch != '-' && !last) {
      cur.push_back(ch);
      continue;
    }
    if (ch == ',' && from.empty()) add(cur);
    if (ch == '-') from = cur;
    if (last && from.empty()) add(cur + ch);
    if (last && !from.empty()) cur.push_back(ch);
    if (!from.empty() && cur != from) {
      const std::uint8_t a = CutOffValue(from);
      const std::uint8_t b = CutOffValue(cur);
      if (b >= a) {
        for (int v = a; v <= b; ++v) values.push_back(static_cast<std::uint8_t>(v));
      }
      from.clear();
    }
    cur.clear();
  }
  return values;
}

std::size_t VariantsPerModel(const std::vector<ModelFit>& fits) {
  return fits.size() / 3;
}

void ShapeVariants(std::vector<ModelFit>& fits, const std::vector<std::uint8_t>& cutOffs) {
  const std::size_t s = VariantsPerModelFor(cutOffs);
  if (3 * s > kMaxVariants) {
    throw Error("Слишком много значений медианного окна: вариантов моделей было бы " +
                std::to_string(3 * s) + ", допускается не более 255");
  }
  fits.resize(3 * s);
  for (std::size_t i = 0; i < fits.size(); ++i) {
    ModelFit& fit = fits[i];
    const std::size_t slot = i % s;
    fit.Enabled = 1;
    if (slot == 0) {
      fit.Objective = ObjectiveKind::SumOfSquares;
    } else if (slot == 1) {
      fit.Objective = ObjectiveKind::LogSumOfSquares;
    } else {
      fit.Objective = ObjectiveKind::Median;
      fit.CutOff = cutOffs[slot - 2];
    }
    fit.Kind = static_cast<ProductionModelKind>(i / s);
  }
  // The rebuilt records may stand for other variants: where their values
  // came from is no longer known (no adopted refinement is carried over).
  for (ModelFit& fit : fits) fit.Origin = model::FitOrigin::None;
}

std::vector<std::uint8_t> EnabledIndices(const std::vector<ModelFit>& fits) {
  std::vector<std::uint8_t> indices;
  for (std::size_t i = 0; i < fits.size() && i < kMaxVariants; ++i) {
    if (fits[i].Enabled == 1) indices.push_back(static_cast<std::uint8_t>(i));
  }
  return indices;
}

std::string VariantLabel(const std::vector<ModelFit>& fits, std::size_t index) {
  const ModelFit& fit = fits.at(index);
  std::string label = std::string(ModelPrefix(fit.Kind)) + " " + ObjectiveSuffix(fit.Objective);
  const std::size_t s = VariantsPerModel(fits);
  if (fit.Objective != ObjectiveKind::Median || s == 3) return label;
  label += std::to_string(fit.CutOff);
  // A cut-off value that an earlier slot of the same model already carries
  // gets the slot number as well.
  const std::size_t first = index - index % s;
  for (std::size_t j = first; j < index; ++j) {
    if (fits[j].Objective == ObjectiveKind::Median && fits[j].CutOff == fit.CutOff) {
      return label + "#" + std::to_string(index % s);
    }
  }
  return label;
}

std::vector<std::string> VariantLabels(const std::vector<ModelFit>& fits) {
  std::vector<std::string> labels;
  labels.reserve(fits.size());
  for (std::size_t i = 0; i < fits.size(); ++i) labels.push_back(VariantLabel(fits, i));
  return labels;
}

std::size_t VariantIndexByLabel(const std::vector<ModelFit>& fits, std::string_view label) {
  if (const std::optional<std::size_t> index = FindVariantByLabel(fits, label)) return *index;
  throw Error("Нет варианта модели «" + MessageExcerpt(label) + "»");
}

std::optional<std::size_t> FindVariantByLabel(const std::vector<ModelFit>& fits,
                                              std::string_view label) {
  for (std::size_t i = 0; i < fits.size(); ++i) {
    if (VariantLabel(fits, i) == label) return i;
  }
  return std::nullopt;
}

std::optional<VariantKind> ParseVariantLabel(std::string_view label) {
  for (ProductionModelKind kind : {ProductionModelKind::Schaefer, ProductionModelKind::Fox,
                                   ProductionModelKind::PellaTomlinson}) {
    const std::string prefix = std::string(ModelPrefix(kind)) + " ";
    if (label.substr(0, prefix.size()) != prefix) continue;
    const std::string_view rest = label.substr(prefix.size());
    for (ObjectiveKind objective :
         {ObjectiveKind::SumOfSquares, ObjectiveKind::LogSumOfSquares, ObjectiveKind::Median}) {
      const std::string_view suffix = ObjectiveSuffix(objective);
      if (rest == suffix) return VariantKind{kind, objective};
      // A median label may carry its cut-off value and a slot number.
      if (objective == ObjectiveKind::Median && rest.substr(0, suffix.size()) == suffix &&
          IsCutOffTail(rest.substr(suffix.size()))) {
        return VariantKind{kind, objective};
      }
    }
  }
  return std::nullopt;
}

}  // namespace tarvik::estimation
