#pragma once

// What the window shows of a bootstrap (BootstrapResult): the intervals
// beside the reference points, the table of the intervals with its summary,
// the replicates' r–K scatter and the caption of the Kobe cloud.

#include <string>
#include <vector>

#include "common/point.h"
#include "common/table_text.h"
#include "projection/kobe.h"
#include "uncertainty/bootstrap.h"

namespace tarvik::uncertainty {

// A figure of the intervals as the report writes it: four significant
// digits ("20.83", "0.0512"), 0 as "0", with `decimalMark`.
std::string Significant(double x, char decimalMark = '.');

// How the replicates of `result` were made, as the report says it (Russian).
std::string MethodText(const BootstrapResult& result);

// Which B_last and F_last the result uses (Russian).
std::string BLastDefinition(const BootstrapResult& result);

// «Интервалы усечены: K на верхней границе у 21 % повторов» naming every
// bound of TruncatingBounds (the window shows it in red); "" when none.
std::string TruncationText(const BootstrapResult& result, char decimalMark = '.');

// The lines of the report section: the title "Доверительные интервалы
// (бутстреп остатков, N = 1000, зерно 1, уровень 90 %)", the method, the
// definition of B_last, one line per estimated quantity, the probabilities,
// the correlations and the counts of failed and bounded replicates, with
// `decimalMark`.
std::vector<std::string> ReportLines(const BootstrapResult& result, char decimalMark = '.');

// "[15.3 – 24.1]" (Significant of the bounds); "" for a quantity without a
// value (Interval::Estimated false).
std::string IntervalText(const Interval& interval, char decimalMark = '.');

// The table of the intervals: the header ("Величина", "Оценка", "Медиана",
// "Нижняя граница", "Верхняя граница"), then one row per quantity with a
// value, in Quantity order (QuantityName, with the data's unit 10^catchUnit
// tonnes for K, MSY and BMSY: "K, тыс. т"; B_last/BMSY names its biomass,
// "(U0/q, модель)" or "(модель)"; then Significant of the figures).
TextTable IntervalTable(const BootstrapResult& result, int catchUnit, char decimalMark = '.');

// The lines under the table: TruncationText when the intervals are
// truncated; replicates, seed and level; the failed and bounded replicates;
// the three probabilities of the last year; which B_last.
std::vector<std::string> SummaryLines(const BootstrapResult& result, char decimalMark = '.');

// The r–K scatter: (K, r) of every replicate used and of the point estimate;
// K in the data's unit, 10^catchUnit tonnes ("K, тыс. т" for 3).
struct RkScatter {
  PointList Replicates;
  Point Estimate;
  std::string Title = "Повторы бутстрепа: r и K";
  std::string XTitle;
  std::string YTitle = "r, 1/год";
};
RkScatter RkScatterOf(const BootstrapResult& result, int catchUnit);

// The point estimate's last-year status as the cloud defines B_last:
// (B_last/BMSY, F_last/FMSY) of BootstrapResult::Estimate.
Point KobeCloudEstimate(const BootstrapResult& result);

// Widens the Kobe plot so that its axes hold 90 % of the cloud's points
// along each axis (ends rounded up to a multiple of 0.5), but to no more
// than twice their own ends, with the zones and the border lines that ended
// at the old ends; a plot that holds them already is left as it is. Points
// outside are not drawn; the zones' shares count every replicate.
void WidenKobeForCloud(projection::KobeChart& chart, const KobeCloud& cloud);

// The shares of the four zones among the replicates, in per cent:
// "Повторы бутстрепа по зонам: зелёная 55.0 %, жёлтая 20.1 %, оранжевая
// 10.0 %, красная 14.9 %" (the line the Kobe plot's title gets).
std::string KobeCloudZones(const KobeCloud& cloud, char decimalMark = '.');

// The status lines under the Kobe plot, each naming the biomass it uses:
// the last observed year "Последний год наблюдений (1955), B = U/q по
// наблюдениям: B/BMSY = 1.41, F/FMSY = 0.85 — зелёная зона: …" from the
// trajectory; with a bootstrap (`result` not null) that line reads the
// status of the cloud's point estimate instead (KobeCloudEstimate, the
// B_last the cloud and its zones use), so that the sentence and the cloud
// tell one story; then the chart's other summary lines (the forecast's end).
std::vector<std::string> KobeStatusLines(const projection::KobeChart& chart,
                                         const BootstrapResult* result, char decimalMark = '.');

// The caption of the cloud on the Kobe plot: the replicates and which B of
// the last year the cloud and its estimate use, beside the trajectory's
// B = U/q; then KobeCloudZones.
std::string KobeCloudCaption(const BootstrapResult& result, const KobeCloud& cloud,
                             char decimalMark = '.');

}  // namespace tarvik::uncertainty
