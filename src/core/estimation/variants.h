#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/kinds.h"
#include "model/model_fit.h"

namespace tarvik::estimation {

// The model variants of the results panel: every production model paired with
// every objective function. The array ModelFits is kind-major, index =
// kind × VariantsPerModel + slot; slot 0 is the sum of squares, slot 1 the log
// sum of squares, slots 2 … VariantsPerModel − 1 the median objective, one per
// cut-off value in list order.

// Reads the cut-off list of the results panel: numbers separated by ","; two
// numbers joined by "-" stand for the range between them ("2-5,7,9" gives
// 2, 3, 4, 5, 7, 9; "4" gives 4; "" gives nothing). A range whose ends are
// written alike ("3-3") adds nothing and stays open, so the next number closes
// a range from it ("3-3,5" gives 3, 4, 5); a range whose end is below its
// start adds nothing. Each value is held in 8 bits (taken modulo 256).
// A token that is not an integer raises tarvik::Error naming it.
std::vector<std::uint8_t> ParseCutOffList(std::string_view text);

// Number of variants per model for a cut-off list: 2 + its length.
inline std::size_t VariantsPerModelFor(const std::vector<std::uint8_t>& cutOffs) {
  return 2 + cutOffs.size();
}

// VariantsPerModel of an existing array (its size divided by 3).
std::size_t VariantsPerModel(const std::vector<model::ModelFit>& fits);

// The records of the variants of a cut-off list: `fits` resized to
// 3 × VariantsPerModelFor(cutOffs) records (those that exist keep their
// fitted values, but their origin becomes None: they may stand for other
// variants now), every variant enabled, Kind, Objective and, for the median
// slots, CutOff set. More than 255 variants (indices are 8-bit) raise
// tarvik::Error and change nothing.
void ShapeVariants(std::vector<model::ModelFit>& fits, const std::vector<std::uint8_t>& cutOffs);

// The indices of the enabled records, ascending.
std::vector<std::uint8_t> EnabledIndices(const std::vector<model::ModelFit>& fits);

// The short labels of the model-choice list, one per record. With three
// variants per model (a cut-off list of one value, as the default "4") they
// are the nine labels "Шефер СК", "Шефер Лог", "Шефер М", "Фокс СК", …,
// "ПТ М". With other lists every median variant carries its cut-off value
// ("Шефер М4", "Шефер М7"), and a value that repeats within a model gets its
// slot number after "#" ("Шефер М4#3"), so that every label names exactly one
// record.
std::vector<std::string> VariantLabels(const std::vector<model::ModelFit>& fits);

// Label of one record (as VariantLabels).
std::string VariantLabel(const std::vector<model::ModelFit>& fits, std::size_t index);

// The record index whose label is `label`; raises tarvik::Error when no record
// carries it.
std::size_t VariantIndexByLabel(const std::vector<model::ModelFit>& fits, std::string_view label);

// The same, with nothing when no record carries the label.
std::optional<std::size_t> FindVariantByLabel(const std::vector<model::ModelFit>& fits,
                                              std::string_view label);

// The model and the objective a label of VariantLabels names ("Фокс М4#3":
// Fox, median), or nothing for a text that is no such label. The inverse of
// VariantLabel for every cut-off list.
struct VariantKind {
  model::ProductionModelKind Kind = model::ProductionModelKind::Schaefer;
  model::ObjectiveKind Objective = model::ObjectiveKind::SumOfSquares;
};
std::optional<VariantKind> ParseVariantLabel(std::string_view label);

}  // namespace tarvik::estimation
