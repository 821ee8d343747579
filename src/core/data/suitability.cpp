#include "data/suitability.h"
#include "common/joined_message.h"

#include <cmath>
#include <string>
#include <utility>

#include "common/elementary.h"
#include "common/error.h"
#include "common/numbers.h"
#include "data/statistics.h"
#include "model/production.h"

namespace tarvik::data {
namespace {

// The equilibrium curves take one point per 0.1 (Fox) or 0.2 (Pella-Tomlinson)
// units of effort. For a wide effort range (effort in hours or days) that would
// be hundreds of thousands of points; beyond this count the step widens so the
// curve keeps this many points.
constexpr int kMaxCurvePoints = 20000;

std::string YearLabel(const DataTable& table, int row) {
  std::string_view year = table.Cell(DataTable::kYear, row);
  while (!year.empty() && (year.front() == ' ' || year.front() == '\t')) year.remove_prefix(1);
  while (!year.empty() && (year.back() == ' ' || year.back() == '\t')) year.remove_suffix(1);
  if (year.empty()) return "строка " + std::to_string(row);
  return std::string(year) + " год (строка " + std::to_string(row) + ")";
}

double CurveStep(double baseStep, double eMin, double eMax) {
  const double range = eMax - eMin;
  if (range / baseStep > kMaxCurvePoints) return range / kMaxCurvePoints;
  return baseStep;
}

}  // namespace

SuitabilityResult CheckSuitability(const DataTable& table, int heldOutYears, char decimalMark) {
  if (heldOutYears < 0) {
    throw Error("Число отсекаемых лет не может быть отрицательным: " +
                std::to_string(heldOutYears));
  }
  const int n = table.DataRowCount() - heldOutYears;
  if (n < 3) {
    std::string message = "Для проверки пригодности данных нужно не менее 3 лет; в расчёт входит " +
                          std::to_string(n < 0 ? 0 : n);
    if (heldOutYears > 0) {
      message += " (лет в таблице: " + std::to_string(table.DataRowCount()) +
                 ", отсекаемых лет: " + std::to_string(heldOutYears) +
                 "): уменьшите «Количество отсекаемых лет» или снимите «Выбор модели»";
    }
    throw Error(message);
  }

  // Step 1: the analysis series from table rows 1 … n. The models step from
  // one year to the next, and every output labels the years from the first
  // one on: the years of the whole table must be consecutive (the held-out
  // rows are checked after the fitted ones).
  CatchEffortSeries series = SeriesOfRows(
      table, n, decimalMark, [&table](int i, std::size_t k, const CatchEffortSeries& read) {
        if (!(read.U[k] > 0.0)) {
          throw Error(YearLabel(table, i) + ": улов на усилие U = " +
                      MessageExcerpt(table.Cell(DataTable::kCpue, i)) + " должен быть больше нуля");
        }
        if (!(read.E[k] > 0.0)) {
          throw Error(YearLabel(table, i) +
                      ": усилие E = " + MessageExcerpt(table.Cell(DataTable::kEffort, i)) +
                      " должно быть больше нуля");
        }
        if (!(read.C[k] >= 0.0)) {
          throw Error(YearLabel(table, i) +
                      ": улов C = " + MessageExcerpt(table.Cell(DataTable::kCatch, i)) +
                      " не может быть отрицательным");
        }
      });
  for (int i = n + 1; i <= table.DataRowCount(); ++i) SequenceYear(table, i);
  const std::vector<double>& U = series.U;
  const std::vector<double>& E = series.E;

  bool sameEffort = true, sameCpue = true;
  for (std::size_t k = 1; k < E.size(); ++k) {
    sameEffort = sameEffort && E[k] == E[0];
    sameCpue = sameCpue && U[k] == U[0];
  }
  if (sameEffort) {
    throw Error(
        "Усилие одинаково во все годы: зависимость улова на усилие от усилия оценить "
        "нельзя (деление на ноль в линейной регрессии)");
  }
  if (sameCpue) {
    throw Error("Улов на усилие одинаков во все годы: коэффициент корреляции не определён");
  }

  SuitabilityResult result;
  result.years = n;

  // Step 2: K start value and bounds, through the edits' text.
  const double cMax = SeriesMax(series.C);
  if (cMax == 0.0) {
    throw Error("Все уловы равны нулю: начальное значение K не может быть определено");
  }
  result.initialKText = FormatGeneral(cMax, decimalMark);
  result.minKText = result.initialKText;
  result.maxKText = FormatGeneral(cMax * 100, decimalMark);
  result.initialK = *TryParseDouble(result.initialKText, decimalMark);
  result.minK = *TryParseDouble(result.minKText, decimalMark);
  result.maxK = *TryParseDouble(result.maxKText, decimalMark);

  // Step 3: the scatter and the effort range.
  result.scatter.reserve(U.size());
  for (std::size_t k = 0; k < U.size(); ++k) result.scatter.push_back({E[k], U[k]});
  const double eMin = SeriesMin(E);
  const double eMax = SeriesMax(E);

  // Schaefer: U linear in E.
  const Line schaefer = LinearFit(E, U);
  result.schaeferCurve.push_back({eMax, schaefer.a * eMax + schaefer.b});
  result.schaeferCurve.push_back({eMin, schaefer.a * eMin + schaefer.b});
  result.correlationSchaefer = Correlation(E, U);

  // Fox: ln U linear in E.
  const std::vector<double> logU = LogSeries(U);
  const Line fox = LinearFit(E, logU);
  {
    const double step = CurveStep(0.1, eMin, eMax);
    double x = eMin;
    for (int count = 0; x < eMax && count <= kMaxCurvePoints; ++count) {
      const double y = elementary::Exp(fox.a * x + fox.b);
      if (!std::isfinite(y)) {
        throw Error("Переполнение при построении кривой модели Фокса (усилие " +
                    FormatGeneral(x, decimalMark) + ")");
      }
      result.foxCurve.push_back({x, y});
      x = x + step;
    }
  }
  result.correlationFox = Correlation(E, logU);

  // Pella-Tomlinson: the exponent m of the strongest correlation of E with U^m.
  double best = 0.0;
  double exponent = 0.0;
  for (int k = 1; k <= 100; ++k) {
    const double m = k / 10.0;
    double c = 0.0;
    try {
      c = Correlation(E, PowerSeries(U, m));
    } catch (const Error& e) {
      // U^m overflows or underflows to a constant for extreme CPUE values.
      throw Error(JoinedMessage(
          "Подбор показателя модели Пелла-Томлинсона, m = " + FormatGeneral(m, decimalMark),
          e.what()));
    }
    if (std::fabs(c) > std::fabs(best)) {
      best = c;
      exponent = m;
    }
  }
  result.ptExponent = exponent;
  result.correlationPT = best;  // the correlation at m, as computed in the scan
  result.ptExponentHint = FormatGeneral(exponent, decimalMark);

  // The Pella-Tomlinson line U^m = a·E + b, drawn as U = (a·E + b)^(1/m).
  // With m = 0 (every correlation 0) there is no curve: 1/m is not finite.
  if (exponent != 0.0) {
    const Line pt = LinearFit(E, PowerSeries(U, exponent));
    const double inverse = 1.0 / exponent;
    const double step = CurveStep(0.2, eMin, eMax);
    const double lowestU = SeriesMin(U);
    double x = eMin;
    for (int count = 0; x < eMax && count <= kMaxCurvePoints; ++count) {
      double y = 0.0;
      if (!model::TryPower(pt.a * x + pt.b, inverse, y)) {
        // A negative base with a fractional exponent: end the curve at the
        // smallest observed U.
        result.ptCurve.push_back({x, lowestU});
        break;
      }
      if (!std::isfinite(y)) {
        throw Error("Переполнение при построении кривой модели Пелла-Томлинсона (усилие " +
                    FormatGeneral(x, decimalMark) + ")");
      }
      result.ptCurve.push_back({x, y});
      x = x + step;
    }
  }

  result.correlationSchaeferText = FormatGeneral(result.correlationSchaefer, decimalMark);
  result.correlationFoxText = FormatGeneral(result.correlationFox, decimalMark);
  result.correlationPTText = FormatGeneral(result.correlationPT, decimalMark);
  result.positiveCorrelation =
      result.correlationSchaefer > 0.0 || result.correlationFox > 0.0 || result.correlationPT > 0.0;

  result.series = std::move(series);
  return result;
}

}  // namespace tarvik::data
