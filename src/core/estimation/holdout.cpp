#include "estimation/holdout.h"

#include <cmath>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "estimation/variants.h"
#include "model/checked.h"
#include "model/production.h"

namespace tarvik::estimation {
namespace {

using data::DataTable;
using model::ProductionModelKind;

double Finite(double x, const char* what) {
  if (!std::isfinite(x)) {
    throw Error(std::string("Переполнение при проверке на отсечённых годах (") + what + ")");
  }
  return x;
}

}  // namespace

HoldOutResult HoldOutCheck(const data::CatchEffortSeries& series,
                           const std::vector<model::ModelFit>& fits,
                           const std::vector<std::uint8_t>& active, const DataTable& table,
                           int heldOutYears, char decimalMark) {
  const int N = heldOutYears;
  const int R = table.RowCount();
  if (N < 2) {
    throw Error("Для проверки на отсечённых годах нужно отсечь не менее 2 лет (отсечено " +
                std::to_string(N) + ")");
  }
  const int fitted = R - 1 - N;
  if (fitted < 2) {
    throw Error("Для проверки на отсечённых годах нужно не менее 2 лет до отсечённых");
  }
  if (static_cast<int>(series.size()) != fitted) {
    throw Error("Ряд для оценки (" + std::to_string(series.size()) +
                " лет) не совпадает с таблицей без отсечённых лет (" + std::to_string(fitted) +
                " лет)");
  }
  const auto U = [&](int row) {
    return data::CellNumber(table, DataTable::kCpue, row, decimalMark);
  };
  const auto C = [&](int row) {
    return data::CellNumber(table, DataTable::kCatch, row, decimalMark);
  };
  const auto year = [&](int row) { return static_cast<double>(data::CellYear(table, row)); };

  HoldOutResult result;
  result.HeldOutYears = N;
  for (int k = 2; k <= R - 1; ++k) {
    result.Original.push_back({year(k), (U(k - 1) + U(k)) / 2.0});
  }
  // Observations and the pairs of CPUE they average, k = 0 … N.
  std::vector<double> pairSum(static_cast<std::size_t>(N) + 1);
  for (int k = 0; k <= N; ++k) {
    pairSum[static_cast<std::size_t>(k)] = U(R + k - N - 2) + U(R + k - N - 1);
  }
  for (int k = 1; k <= N; ++k) {
    result.Observed.push_back((U(R + k - N - 2) + U(R + k - N - 1)) / 2.0);
  }

  for (std::uint8_t v : active) {
    model::ModelFit fit = fits.at(v);  // the record stays as it is
    model::ReferenceMsy(fit);
    const double q = fit.Q;
    const double p = fit.Exponent;
    const double bmsy = fit.BMSY;
    HoldOutVariant out;
    out.Index = v;
    out.Label = VariantLabel(fits, v);
    double x = model::Log(model::Divide(pairSum[0], 2.0 * q * bmsy, "проверке на отсечённых годах"),
                          "относительной биомассы в начале отсечённых лет");
    double ss = 0.0;
    for (int k = 1; k <= N; ++k) {
      double h = 0.0;
      switch (fit.Kind) {
        case ProductionModelKind::Schaefer:
          h = 2.0 - elementary::Exp(x);
          break;
        case ProductionModelKind::Fox:
          h = 1.0 - x;
          break;
        case ProductionModelKind::PellaTomlinson:
          h = model::Divide(p + 1.0 - elementary::Exp(p * x), p, "проверке на отсечённых годах");
          break;
      }
      const double catchTerm =
          model::Divide(2.0 * q * C(R - N + k - 1), pairSum[static_cast<std::size_t>(k)],
                        "проверке на отсечённых годах");
      x = Finite(x + model::Divide(h * fit.MSY, bmsy, "проверке на отсечённых годах") - catchTerm,
                 "логарифм относительной биомассы");
      const double predicted = Finite(elementary::Exp(x) * q * bmsy, "прогноз улова на усилие");
      out.Predicted.push_back(predicted);
      const double deviation = result.Observed[static_cast<std::size_t>(k - 1)] - predicted;
      ss += deviation * deviation;
      out.Points.push_back({year(R - N + k - 1), predicted});
    }
    out.SD = Finite(std::sqrt(ss / static_cast<double>(N - 1)), "стандартное отклонение");
    out.SeriesTitle = out.Label + " StdDev=" + FormatGeneral(RoundDecimals(out.SD, 1), decimalMark);
    result.Variants.push_back(std::move(out));
  }
  return result;
}

}  // namespace tarvik::estimation
