#include "uncertainty/bootstrap_view.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/elementary.h"
#include "common/numbers.h"
#include "common/r_picture.h"

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

std::string CentringText(model::ObjectiveKind objective) {
  switch (objective) {
    case model::ObjectiveKind::SumOfSquares:
      return "по среднему";
    case model::ObjectiveKind::LogSumOfSquares:
      return "по минимуму суммы ln(1 + (e − c)²)";
    case model::ObjectiveKind::Median:
      return "по медиане";
  }
  return "";
}

}  // namespace

std::string Significant(double x, char mark) {
  if (x == 0.0) return "0";
  const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(x))));
  return FormatGeneral(RoundDecimals(x, 3 - magnitude), mark);
}

std::string TruncationText(const BootstrapResult& result, char mark) {
  std::string text;
  for (const BoundShare& b : TruncatingBounds(result)) {
    text += (text.empty() ? "Интервалы усечены: " : ", ") + BoundParameterName(b.Parameter) +
            (b.Upper ? " на верхней" : " на нижней") + " границе у " +
            FormatFixed(100.0 * b.Share, 0, mark) + " % повторов";
  }
  return text;
}

std::string MethodText(const BootstrapResult& result) {
  if (result.Method == Estimator::StateSpace) {
    return "выборка из нормального приближения модели пространства состояний: (ln r, ln K, ln q, "
           "ln σ_p, ln σ_o" +
           std::string(result.Kind == model::ProductionModelKind::PellaTomlinson ? ", ln p" : "") +
           ", ln(B/K) на начало последнего года и следующего) ~ N(оценка, обратная матрица "
           "вторых производных лапласовой аппроксимации)" +
           (result.SigmaPPrior
                ? "; априорное ln σ_p ~ N(ln " +
                      FormatGeneral(elementary::Exp(result.SigmaPLogMean)) + "; " +
                      FormatGeneral(result.SigmaPLogSd) + "²)"
                : std::string());
  }
  if (result.Method == Estimator::ObservationError) {
    return "бутстреп логарифмических остатков модели ошибки наблюдения: U*[t] = q̂·B̂[t]·exp(ε*[t]), "
           "ε* — остатки точечной оценки, центрированные по среднему, умноженные на √(N/(N − k)) и "
           "выбранные с возвращением; каждый повтор оценён заново от точечной оценки в тех же "
           "границах";
  }
  const bool exactRows = result.Objective != model::ObjectiveKind::SumOfSquares;
  return "бутстреп остатков при фиксированных регрессорах: U*[t] = Û[t] + e*[t], где Û[t] — "
         "модельный улов на усилие по наблюдённым U[t−2], U[t−1] и C[t−1], e* — остатки точечной "
         "оценки" +
         std::string(exactRows ? " (без k наименьших по модулю)" : "") + ", центрированные " +
         CentringText(result.Objective) +
         ", умноженные на √(N/(N − k)) и выбранные с возвращением; каждый повтор оценён заново "
         "локальной оптимизацией от точечной оценки" +
         std::string(exactRows ? " и от лучших точных решений по трём годам" : "") +
         " в тех же границах поиска";
}

std::string BLastDefinition(const BootstrapResult& result) {
  if (result.Method == Estimator::StateSpace) {
    return "B последнего года — биомасса модели на начало последнего года ряда; F последнего "
           "года = C/B; B_next — B на начало следующего года, состояние модели";
  }
  if (result.Method == Estimator::ObservationError) {
    return "B последнего года — биомасса модели на начало последнего года ряда; F последнего "
           "года = C/B; B_next — B на начало следующего года = B + P(B) − C";
  }
  return "B последнего года = U0/q, где U0 — модельный улов на усилие последнего года данных по "
         "двум предыдущим годам (начало прогноза); F последнего года = C/B; B_next — B на начало "
         "следующего года = B + P(B) − C";
}

std::vector<std::string> ReportLines(const BootstrapResult& result, char mark) {
  std::vector<std::string> lines;
  const std::string how = result.Method == Estimator::StateSpace
                              ? "выборка из нормального приближения"
                              : "бутстреп остатков";
  lines.push_back("Доверительные интервалы (" + how + ", N = " +
                  std::to_string(result.ReplicateCount) + ", зерно " + std::to_string(result.Seed) +
                  ", уровень " + std::to_string(result.Level) + " %)");
  lines.push_back("Метод: " + MethodText(result));
  lines.push_back(BLastDefinition(result));
  for (std::size_t q = 0; q < kQuantityCount; ++q) {
    const Interval& i = result.Quantities[q];
    if (!i.Estimated) continue;
    lines.push_back(QuantityName(static_cast<Quantity>(q)) + ": " + Significant(i.Estimate, mark) +
                    " [" + Significant(i.Lower, mark) + " – " + Significant(i.Upper, mark) +
                    "], медиана " + Significant(i.Median, mark));
  }
  lines.push_back("Вероятность B < BMSY в последнем году: " + Percent(result.ProbBelowBmsy, mark));
  lines.push_back("Вероятность B < Blim (Blim = " + FormatGeneral(result.BlimFraction, mark) +
                  "·BMSY) в последнем году: " + Percent(result.ProbBelowBlim, mark));
  lines.push_back("Вероятность F > FMSY в последнем году: " + Percent(result.ProbAboveFmsy, mark));
  lines.push_back("Корреляции по повторам: r и K " + FormatFixed(result.CorrelationRK, 2, mark) +
                  ", r и q " + FormatFixed(result.CorrelationRQ, 2, mark) + ", K и q " +
                  FormatFixed(result.CorrelationKQ, 2, mark));
  lines.push_back("Повторов без решения: " + std::to_string(result.Failed) +
                  " (исключены); повторов на границе области поиска: " +
                  std::to_string(result.AtBounds) + " (оставлены)");
  if (const std::string truncation = TruncationText(result, mark); !truncation.empty()) {
    lines.push_back(truncation + "; риск и ориентиры определяются границами, а не данными");
  }
  if (result.ZeroProduction > 0) {
    lines.push_back("Из них с r = 0 (без продукции): " + std::to_string(result.ZeroProduction) +
                    "; для них F/FMSY не определено, F > FMSY");
  }
  return lines;
}

std::string IntervalText(const Interval& interval, char mark) {
  if (!interval.Estimated) return {};
  return "[" + Significant(interval.Lower, mark) + " – " + Significant(interval.Upper, mark) + "]";
}

TextTable IntervalTable(const BootstrapResult& result, int catchUnit, char mark) {
  TextTable table = {{"Величина", "Оценка", "Медиана", "Нижняя граница", "Верхняя граница"}};
  for (std::size_t q = 0; q < kQuantityCount; ++q) {
    const Interval& i = result.Quantities[q];
    if (!i.Estimated) continue;
    const auto quantity = static_cast<Quantity>(q);
    const bool mass =
        quantity == Quantity::K || quantity == Quantity::Msy || quantity == Quantity::Bmsy;
    std::string name = mass ? MassTitle(QuantityName(quantity), catchUnit) : QuantityName(quantity);
    // Which biomass of the last year (BLastDefinition says it in full).
    if (quantity == Quantity::BLastOverBmsy) {
      name += result.Method == Estimator::Procedure ? " (U0/q, модель)" : " (модель)";
    }
    table.push_back({name, Significant(i.Estimate, mark),
                     Significant(i.Median, mark), Significant(i.Lower, mark),
                     Significant(i.Upper, mark)});
  }
  return table;
}

std::vector<std::string> SummaryLines(const BootstrapResult& result, char mark) {
  std::vector<std::string> lines;
  if (const std::string truncation = TruncationText(result, mark); !truncation.empty()) {
    lines.push_back(truncation);
  }
  const std::vector<std::string> rest = {
      "Повторов " + std::to_string(result.ReplicateCount) + ", зерно " +
          std::to_string(result.Seed) + ", уровень " + std::to_string(result.Level) +
          " %; без решения " + std::to_string(result.Failed) + " (исключены), на границе " +
          std::to_string(result.AtBounds) + " (оставлены)",
      "В последнем году: P(B < BMSY) = " + Percent(result.ProbBelowBmsy, mark) +
          ", P(B < Blim) = " + Percent(result.ProbBelowBlim, mark) +
          " (Blim = " + FormatGeneral(result.BlimFraction, mark) +
          "·BMSY), P(F > FMSY) = " + Percent(result.ProbAboveFmsy, mark),
      BLastDefinition(result),
  };
  lines.insert(lines.end(), rest.begin(), rest.end());
  return lines;
}

RkScatter RkScatterOf(const BootstrapResult& result, int catchUnit) {
  RkScatter scatter;
  scatter.XTitle = MassTitle("K", catchUnit);
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

std::vector<std::string> KobeStatusLines(const projection::KobeChart& chart,
                                         const BootstrapResult* result, char mark) {
  std::vector<std::string> lines;
  const auto last = std::find_if(chart.Points.rbegin(), chart.Points.rend(),
                                 [](const projection::KobePoint& p) { return !p.Forecast; });
  if (last == chart.Points.rend()) return chart.Summary;
  double b = last->BRatio;
  double f = last->FRatio;
  projection::KobeQuadrant zone = last->Quadrant;
  std::string which = "B = U/q по наблюдениям";
  if (result != nullptr) {
    const Point estimate = KobeCloudEstimate(*result);
    b = estimate.x;
    f = estimate.y;
    const Replicate& e = result->Estimate;
    zone = projection::QuadrantOf(e.BLast, e.FLast, e.BMSY, e.FMSY);  // as the cloud counts
    which = result->Method == Estimator::Procedure
                ? "B как у облака: U0/q, модельная биомасса начала прогноза"
                : "B как у облака: биомасса модели";
  }
  lines.push_back("Последний год наблюдений (" + FormatGeneral(last->Year) + "), " + which +
                  ": B/BMSY = " + FormatFixed(b, 2, mark) + ", F/FMSY = " + FormatFixed(f, 2, mark) +
                  " — " + projection::QuadrantText(zone));
  // The chart's first summary line is the trajectory's last observed year.
  lines.insert(lines.end(), chart.Summary.begin() + (chart.Summary.empty() ? 0 : 1),
               chart.Summary.end());
  return lines;
}

std::string KobeCloudCaption(const BootstrapResult& result, const KobeCloud& cloud, char mark) {
  const std::string lastB =
      result.Method == Estimator::Procedure
          ? "B_last — B на начало последнего года данных, U0/q, модельная биомасса начала прогноза"
          : "B_last — биомасса модели на начало последнего года данных";
  const auto used = static_cast<std::size_t>(result.ReplicateCount - result.Failed);
  return "Облако: " + CountWithNoun(used, "повтор", "повтора", "повторов") +
         " бутстрепа в последнем году и их точечная оценка (" + lastB +
         "; траектория — B = U/q по наблюдениям). " + KobeCloudZones(cloud, mark);
}

}  // namespace tarvik::uncertainty
