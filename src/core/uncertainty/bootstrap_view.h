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

// "[15.3 – 24.1]" (Significant of the bounds); "" for a quantity without a
// value (Interval::Estimated false).
std::string IntervalText(const Interval& interval, char decimalMark = '.');

// The table of the intervals: the header ("Величина", "Оценка", "Медиана",
// "Нижняя граница", "Верхняя граница"), then one row per quantity with a
// value, in Quantity order (QuantityName, then Significant of the figures).
TextTable IntervalTable(const BootstrapResult& result, char decimalMark = '.');

// The lines under the table: replicates, seed and level; the failed and
// bounded replicates; the three probabilities of the last year; which B_last.
std::vector<std::string> SummaryLines(const BootstrapResult& result, char decimalMark = '.');

// The r–K scatter: (K, r) of every replicate used and of the point estimate.
struct RkScatter {
  PointList Replicates;
  Point Estimate;
  std::string Title = "Повторы бутстрепа: r и K";
  std::string XTitle = "K, т";
  std::string YTitle = "r, 1/год";
};
RkScatter RkScatterOf(const BootstrapResult& result);

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

// The caption of the cloud on the Kobe plot: the replicates and which B of
// the last year the cloud and its estimate use, beside the trajectory's
// B = U/q; then KobeCloudZones.
std::string KobeCloudCaption(const BootstrapResult& result, const KobeCloud& cloud,
                             char decimalMark = '.');

}  // namespace tarvik::uncertainty
