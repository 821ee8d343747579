#include "projection/kobe.h"

#include <algorithm>
#include <cmath>

#include "common/error.h"
#include "common/numbers.h"

namespace tarvik::projection {
namespace {

// An axis end: at least 2 (twice the MSY level), otherwise a tenth above the
// largest ratio, rounded up to a half.
double AxisEnd(double largest) {
  return std::max(2.0, std::ceil(1.1 * largest * 2.0) / 2.0);
}

std::string YearText(double year) {
  return FormatGeneral(year);
}

std::string SummaryLine(const std::string& what, const KobePoint& p, char mark) {
  return what + " (" + YearText(p.Year) + "): B/BMSY = " + FormatFixed(p.BRatio, 2, mark) +
         ", F/FMSY = " + FormatFixed(p.FRatio, 2, mark) + " — " + QuadrantText(p.Quadrant);
}

}  // namespace

KobeQuadrant QuadrantOf(double biomass, double mortality, double bmsy, double fmsy) {
  const bool overfished = biomass < bmsy;
  const bool overfishing = mortality > fmsy;
  if (overfished) return overfishing ? KobeQuadrant::Red : KobeQuadrant::Yellow;
  return overfishing ? KobeQuadrant::Orange : KobeQuadrant::Green;
}

std::string QuadrantKey(KobeQuadrant quadrant) {
  switch (quadrant) {
    case KobeQuadrant::Green:
      return "green";
    case KobeQuadrant::Yellow:
      return "yellow";
    case KobeQuadrant::Orange:
      return "orange";
    case KobeQuadrant::Red:
      return "red";
  }
  return "";
}

std::string QuadrantText(KobeQuadrant quadrant) {
  switch (quadrant) {
    case KobeQuadrant::Green:
      return "зелёная зона: запас не переловлен, перелова нет";
    case KobeQuadrant::Yellow:
      return "жёлтая зона: запас переловлен, перелова нет";
    case KobeQuadrant::Orange:
      return "оранжевая зона: перелов, запас ещё не переловлен";
    case KobeQuadrant::Red:
      return "красная зона: запас переловлен, перелов продолжается";
  }
  return "";
}

KobeChart BuildKobeChart(const data::CatchEffortSeries& series, const model::ModelFit& fit,
                         int firstYear, const ForecastResult* forecast, char mark) {
  if (!(fit.BMSY > 0.0) || !(fit.FMSY > 0.0)) {
    throw Error(
        "Для диаграммы Кобе нужны ориентиры BMSY и FMSY: сначала рассчитайте ориентиры "
        "управления");
  }
  if (!(fit.Q > 0.0)) throw Error("Для диаграммы Кобе нужен положительный коэффициент q");
  if (series.empty()) throw Error("Для диаграммы Кобе нет данных");

  KobeChart chart;
  const auto add = [&](double year, double biomass, double catches, bool isForecast) {
    KobePoint p;
    p.Year = year;
    p.Biomass = biomass;
    p.FishingMortality = catches / biomass;
    p.BRatio = biomass / fit.BMSY;
    p.FRatio = p.FishingMortality / fit.FMSY;
    if (!std::isfinite(p.FishingMortality) || !std::isfinite(p.BRatio) ||
        !std::isfinite(p.FRatio)) {
      throw Error("Диаграмма Кобе: значение " + YearText(year) +
                  " года не является конечным "
                  "числом");
    }
    p.Quadrant = QuadrantOf(biomass, p.FishingMortality, fit.BMSY, fit.FMSY);
    p.Forecast = isForecast;
    chart.Points.push_back(p);
  };
  for (std::size_t t = 0; t < series.size(); ++t) {
    const double year = static_cast<double>(firstYear) + static_cast<double>(t);
    const double biomass = series.U[t] / fit.Q;
    if (biomass == 0.0) {
      throw Error("Диаграмма Кобе: биомасса " + YearText(year) +
                  " года равна нулю, смертность F = C/B не определена");
    }
    add(year, biomass, series.C[t], false);
  }
  const std::size_t observed = chart.Points.size();
  if (forecast != nullptr) {
    const std::size_t h = std::min(
        {forecast->Years.size(), forecast->BiomassMean.size(), forecast->CatchMean.size()});
    for (std::size_t i = 0; i < h; ++i) {
      if (forecast->BiomassMean[i] == 0.0) {
        chart.ForecastTruncated = true;
        break;
      }
      add(forecast->Years[i], forecast->BiomassMean[i], forecast->CatchMean[i], true);
    }
  }

  double largestB = 0.0, largestF = 0.0;
  for (const KobePoint& p : chart.Points) {
    largestB = std::max(largestB, p.BRatio);
    largestF = std::max(largestF, p.FRatio);
    (p.Forecast ? chart.Forecast : chart.Observed).push_back({p.BRatio, p.FRatio});
  }
  if (!chart.Forecast.empty()) {
    chart.Forecast.insert(chart.Forecast.begin(), chart.Observed.back());
  }
  chart.Points.front().Label = YearText(chart.Points.front().Year);
  chart.Points[observed - 1].Label = YearText(chart.Points[observed - 1].Year);
  if (chart.Points.size() > observed) {
    chart.Points.back().Label = YearText(chart.Points.back().Year);
  }
  chart.XMax = AxisEnd(largestB);
  chart.YMax = AxisEnd(largestF);
  chart.Areas = {{{KobeQuadrant::Green, 1.0, chart.XMax, 0.0, 1.0},
                  {KobeQuadrant::Yellow, 0.0, 1.0, 0.0, 1.0},
                  {KobeQuadrant::Orange, 1.0, chart.XMax, 1.0, chart.YMax},
                  {KobeQuadrant::Red, 0.0, 1.0, 1.0, chart.YMax}}};
  chart.BmsyLine = {{1.0, 0.0}, {1.0, chart.YMax}};
  chart.FmsyLine = {{0.0, 1.0}, {chart.XMax, 1.0}};

  chart.Summary.push_back(
      SummaryLine("Последний год наблюдений", chart.Points[observed - 1], mark));
  if (chart.Points.size() > observed) {
    chart.Summary.push_back(SummaryLine("Конец прогноза", chart.Points.back(), mark));
  }
  if (chart.ForecastTruncated) {
    chart.Summary.push_back("Дальше прогноз не показан: средняя прогнозная биомасса равна нулю");
  }
  return chart;
}

}  // namespace tarvik::projection
