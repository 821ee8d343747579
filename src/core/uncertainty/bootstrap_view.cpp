#include "uncertainty/bootstrap_view.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/numbers.h"

namespace tarvik::uncertainty {

namespace {

std::string Percent(double fraction, char mark) {
  return FormatFixed(100.0 * fraction, 1, mark) + " %";
}

// The end of an axis that holds 90 % of the values, rounded up to 0.5, but
// at most twice the plot's own end: a few replicates far out would
// otherwise squeeze the trajectory into a corner.
double CloudEnd(std::vector<double> values, double end) {
  if (values.empty()) return end;
  const auto k = static_cast<std::size_t>(0.9 * static_cast<double>(values.size() - 1));
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(k), values.end());
  return std::clamp(std::ceil(values[k] * 2.0) / 2.0, end, 2.0 * end);
}

}  // namespace

std::string IntervalText(const Interval& interval, char mark) {
  if (!interval.Estimated) return {};
  return "[" + Significant(interval.Lower, mark) + " – " + Significant(interval.Upper, mark) + "]";
}

TextTable IntervalTable(const BootstrapResult& result, char mark) {
  TextTable table = {{"Величина", "Оценка", "Медиана", "Нижняя граница", "Верхняя граница"}};
  for (std::size_t q = 0; q < kQuantityCount; ++q) {
    const Interval& i = result.Quantities[q];
    if (!i.Estimated) continue;
    table.push_back({QuantityName(static_cast<Quantity>(q)), Significant(i.Estimate, mark),
                     Significant(i.Median, mark), Significant(i.Lower, mark),
                     Significant(i.Upper, mark)});
  }
  return table;
}

std::vector<std::string> SummaryLines(const BootstrapResult& result, char mark) {
  return {
      "Повторов " + std::to_string(result.ReplicateCount) + ", зерно " +
          std::to_string(result.Seed) + ", уровень " + std::to_string(result.Level) +
          " %; без решения " + std::to_string(result.Failed) + " (исключены), на границе " +
          std::to_string(result.AtBounds) + " (оставлены)",
      "В последнем году: P(B < BMSY) = " + Percent(result.ProbBelowBmsy, mark) +
          ", P(B < Blim) = " + Percent(result.ProbBelowBlim, mark) +
          " (Blim = " + FormatGeneral(result.BlimFraction, mark) +
          "·BMSY), P(F > FMSY) = " + Percent(result.ProbAboveFmsy, mark),
      result.BLastDefinition,
  };
}

RkScatter RkScatterOf(const BootstrapResult& result) {
  RkScatter scatter;
  for (const Replicate& x : result.Replicates) {
    if (!x.Failed) scatter.Replicates.push_back({x.K, x.R});
  }
  scatter.Estimate = {result.Estimate.K, result.Estimate.R};
  return scatter;
}

Point KobeCloudEstimate(const BootstrapResult& result) {
  const Replicate& e = result.Estimate;
  return {e.BLast / e.BMSY, e.FMSY > 0.0 ? e.FLast / e.FMSY : 0.0};
}

void WidenKobeForCloud(projection::KobeChart& chart, const KobeCloud& cloud) {
  std::vector<double> xs, ys;
  for (const Point& p : cloud.Points) {
    xs.push_back(p.x);
    ys.push_back(p.y);
  }
  const double xMax = CloudEnd(std::move(xs), chart.XMax);
  const double yMax = CloudEnd(std::move(ys), chart.YMax);
  for (projection::KobeArea& area : chart.Areas) {
    if (area.XMax == chart.XMax) area.XMax = xMax;
    if (area.YMax == chart.YMax) area.YMax = yMax;
  }
  chart.BmsyLine = {{1.0, 0.0}, {1.0, yMax}};
  chart.FmsyLine = {{0.0, 1.0}, {xMax, 1.0}};
  chart.XMax = xMax;
  chart.YMax = yMax;
}

std::string KobeCloudZones(const KobeCloud& cloud, char mark) {
  static const std::array<const char*, 4> kZones = {"зелёная", "жёлтая", "оранжевая", "красная"};
  std::string zones = "Повторы бутстрепа по зонам: ";
  for (std::size_t i = 0; i < kZones.size(); ++i) {
    zones += (i == 0 ? "" : ", ") + std::string(kZones[i]) + " " +
             Percent(cloud.QuadrantProbabilities[i], mark);
  }
  return zones;
}

std::string KobeCloudCaption(const BootstrapResult& result, const KobeCloud& cloud, char mark) {
  const std::string lastB = result.Method == Estimator::Procedure
                                ? "B = U0/q, модельная биомасса начала прогноза"
                                : "B — биомасса модели на начало последнего года";
  const auto used = static_cast<std::size_t>(result.ReplicateCount - result.Failed);
  return "Облако: " + CountWithNoun(used, "повтор", "повтора", "повторов") +
         " бутстрепа в последнем году и их точечная оценка (" + lastB +
         "; траектория — B = U/q по наблюдениям). " + KobeCloudZones(cloud, mark);
}

}  // namespace tarvik::uncertainty
