#include "app/holdout_chart.h"

#include <algorithm>
#include <iterator>

#include "app/locale_mark.h"

namespace tarvik::app {

namespace {

using Kind = SeriesStyle::Kind;
using Marker = SeriesStyle::Marker;

// The hold-out series: Series13 … Series21 for the variants 0 … 8; further
// variants (longer cut-off lists) get series of their own.
constexpr int kFirstHoldOutSeries = 13;
constexpr std::size_t kNamedHoldOutSeries = 9;
const QColor kHoldOutColours[] = {QColor(200, 0, 0), QColor(255, 120, 0), QColor(150, 90, 0),
                                  QColor(0, 150, 0), QColor(0, 190, 170), QColor(0, 90, 60),
                                  QColor(0, 0, 220), QColor(140, 0, 200), QColor(230, 0, 160)};
// Beyond the named series, the numbered ones of longer cut-off lists.
constexpr std::size_t kMostHoldOutSeries = 255;

const char* const kSuitabilitySeries[] = {"LineSeries1", "SeriesCorrSchaefer", "SeriesCorrFox",
                                          "SeriesCorrPT"};

QString HoldOutSeriesName(std::size_t index) {
  if (index < kNamedHoldOutSeries) {
    return QStringLiteral("Series%1").arg(kFirstHoldOutSeries + static_cast<int>(index));
  }
  return QStringLiteral("SeriesHoldOut%1").arg(index);
}

QString OriginalTitle() {
  return FromUtf8(std::string(estimation::kHoldOutOriginalTitle));
}

}  // namespace

HoldOutChart::HoldOutChart(QWidget* parent) : ChartPanel(parent) {
  setObjectName("Chart2");
  SetAxisTitle(Axis::Bottom, QStringLiteral("Усилие"));
  SetAxisTitle(Axis::Left, QStringLiteral("Улов на усилие"));
  AddSeries("LineSeries1", {Kind::Points, Qt::black, 1, Marker::Circle, 6, false, false, {}});
  AddSeries("SeriesCorrSchaefer", {Kind::Line, Qt::red, 2, Marker::None, 3, true, false, {}});
  AddSeries("SeriesCorrFox", {Kind::Line, QColor(0, 255, 0), 2, Marker::None, 3, true, false, {}});
  AddSeries("SeriesCorrPT", {Kind::Line, Qt::blue, 2, Marker::None, 3, true, false, {}});
  AddSeries("Series12",
            {Kind::Line, Qt::black, 2, Marker::Square, 4, true, false, OriginalTitle()});
  for (std::size_t i = 0; i < kNamedHoldOutSeries; ++i) {
    AddSeries(HoldOutSeriesName(i),
              {Kind::Line, kHoldOutColours[i], 2, Marker::None, 3, true, false, {}});
  }
}

void HoldOutChart::ShowSuitability(const data::SuitabilityResult& check) {
  ClearHoldOutSeries();
  Clear("Series12");
  SetSeriesTitle("Series12", OriginalTitle(), false);
  SetPoints("LineSeries1", check.scatter);
  SetPoints("SeriesCorrSchaefer", check.schaeferCurve);
  SetPoints("SeriesCorrFox", check.foxCurve);
  SetPoints("SeriesCorrPT", check.ptCurve);
  SetAxisTitle(Axis::Bottom, FromUtf8(check.bottomAxisTitle));
  SetLegendVisible(false);
  SetWrappedLegendVisible(false);
}

void HoldOutChart::ClearHoldOutSeries() {
  for (std::size_t i = 0; i < kMostHoldOutSeries; ++i) {
    const QString name = HoldOutSeriesName(i);
    if (!HasSeries(name)) continue;
    Clear(name);
    SetSeriesTitle(name, name, false);
  }
}

void HoldOutChart::ShowHoldOut(const estimation::HoldOutResult& holdOut) {
  for (const char* name : kSuitabilitySeries) Clear(QString::fromLatin1(name));
  ClearHoldOutSeries();
  SetAxisTitle(Axis::Bottom, FromUtf8(std::string(estimation::kHoldOutBottomAxisTitle)));
  SetAxisTitle(Axis::Left, FromUtf8(std::string(estimation::kHoldOutLeftAxisTitle)));
  SetPoints("Series12", holdOut.Original);
  for (const estimation::HoldOutVariant& variant : holdOut.Variants) {
    const QString name = HoldOutSeriesName(variant.Index);
    if (!HasSeries(name)) {
      const QColor colour = kHoldOutColours[variant.Index % std::size(kHoldOutColours)];
      AddSeries(name, {Kind::Line, colour, 2, Marker::Circle, 4, true, true, {}});
    }
    SetSeriesTitle(name, FromUtf8(variant.SeriesTitle), true);
    SetPoints(name, variant.Points);
  }
  SetSeriesTitle("Series12", OriginalTitle(), true);
  // Ten titles such as "Шефер Лог StdDev=260.1" need the legend that wraps.
  SetWrappedLegendVisible(true);
}

void HoldOutChart::ClearResults() {
  for (const char* name : kSuitabilitySeries) Clear(QString::fromLatin1(name));
  ClearHoldOutSeries();
  Clear("Series12");
  SetAxisTitle(Axis::Bottom, QStringLiteral("Усилие"));
  SetAxisTitle(Axis::Left, QStringLiteral("Улов на усилие"));
  SetLegendVisible(false);
  SetWrappedLegendVisible(false);
}

}  // namespace tarvik::app
