#pragma once

// The Kobe plot of the chosen variant: stock status as B/BMSY against
// F/FMSY for every observed year and along the mean forecast.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/point.h"
#include "data/catch_effort_series.h"
#include "model/model_fit.h"
#include "projection/forecast.h"

namespace tarvik::projection {

// The four quadrants of the plot, by biomass and fishing mortality against
// their MSY levels:
//   Green  B ≥ BMSY, F ≤ FMSY  (not overfished, no overfishing)
//   Yellow B < BMSY, F ≤ FMSY  (overfished, no overfishing: recovering)
//   Orange B ≥ BMSY, F > FMSY  (overfishing, not yet overfished)
//   Red    B < BMSY, F > FMSY  (overfished and overfishing)
enum class KobeQuadrant : std::uint8_t { Green = 0, Yellow = 1, Orange = 2, Red = 3 };

KobeQuadrant QuadrantOf(double biomass, double mortality, double bmsy, double fmsy);

// "green", "yellow", "orange", "red" (for files and JSON).
std::string QuadrantKey(KobeQuadrant quadrant);

// The Russian name of the zone and what it means: "зелёная зона: запас не
// переловлен, перелова нет", …
std::string QuadrantText(KobeQuadrant quadrant);

struct KobePoint {
  double Year = 0.0;
  double Biomass = 0.0;           // B: U/q observed, the mean biomass forecast
  double FishingMortality = 0.0;  // F = C/B
  double BRatio = 0.0;            // B / BMSY
  double FRatio = 0.0;            // F / FMSY
  KobeQuadrant Quadrant = KobeQuadrant::Green;
  bool Forecast = false;
  std::string Label;  // the year for the first and last observed and the last forecast point
};

// A quadrant's rectangle on the plot, in ratio units.
struct KobeArea {
  KobeQuadrant Quadrant = KobeQuadrant::Green;
  double XMin = 0.0, XMax = 0.0, YMin = 0.0, YMax = 0.0;
};

struct KobeChart {
  std::string Title = "Диаграмма Кобе";
  std::string XTitle = "B/BMSY";
  std::string YTitle = "F/FMSY";
  double XMax = 2.0;  // both axes start at 0
  double YMax = 2.0;
  std::vector<KobePoint> Points;  // the observed years in order, then the forecast years
  PointList Observed;             // (B/BMSY, F/FMSY) of the observed years, joined in order
  PointList Forecast;             // from the last observed point along the forecast years
  std::array<KobeArea, 4> Areas;  // green, yellow, orange, red; split at 1 on both axes
  PointList BmsyLine;             // x = 1 and y = 1, the quadrant borders
  PointList FmsyLine;
  // The forecast stopped early: from this point on the mean forecast biomass
  // is 0 (the stock collapsed in every run) and F/FMSY is not defined.
  bool ForecastTruncated = false;
  // One line per key point: the last observed year and the end of the
  // forecast, e.g. "1955: B/BMSY = 1.23, F/FMSY = 0.85 — зелёная зона: …".
  std::vector<std::string> Summary;
};

// The plot of a record with reference points (BMSY and FMSY, as the record
// holds them after «Рассчет ориентиров»): observed year t at firstYear + t with
// B = U[t]/Q and F = C[t]/B; then, when `forecast` is given, each forecast
// year with its mean biomass and mean catch (F = mean catch / mean biomass).
// Raises tarvik::Error when BMSY, FMSY or Q is not positive, or when an
// observed biomass is zero or a value is not finite.
KobeChart BuildKobeChart(const data::CatchEffortSeries& series, const model::ModelFit& fit,
                         int firstYear, const ForecastResult* forecast, char decimalMark = '.');

}  // namespace tarvik::projection
