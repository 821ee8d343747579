#pragma once

#include <cstdint>
#include <string>

namespace tarvik::model {

// The three surplus-production models.
enum class ProductionModelKind : std::uint8_t { Schaefer = 0, Fox = 1, PellaTomlinson = 2 };

// The three trimmed objective functions compared by the search.
enum class ObjectiveKind : std::uint8_t { SumOfSquares = 0, LogSumOfSquares = 1, Median = 2 };

// Russian genitive name of a model, as used after "модель": "Шефера", "Фокса",
// "Пелла-Томлинсона".
std::string ModelName(ProductionModelKind kind);

// Russian name of an objective, with its leading blank: " Сумма квадратов",
// " Лог. сумма кв.", " Медианная".
std::string ObjectiveName(ObjectiveKind objective);

}  // namespace tarvik::model
