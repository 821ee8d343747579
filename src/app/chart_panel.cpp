#include "app/chart_panel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>
#include <QVBoxLayout>

namespace tarvik::app {

namespace {

QImage SquareMarker(const QColor& color, qreal size) {
  const int side = std::max(1, static_cast<int>(std::lround(size)));
  QImage image(side, side, QImage::Format_ARGB32);
  image.fill(color);
  return image;
}

QList<QPointF> ToQt(const PointList& points) {
  QList<QPointF> result;
  result.reserve(static_cast<qsizetype>(points.size()));
  for (const Point& p : points) result.append(QPointF(p.x, p.y));
  return result;
}

// Range shown for values from lo to hi (lo ≤ hi): a single value still
// gets a range of some width.
std::pair<double, double> Padded(double lo, double hi) {
  if (lo == hi) {
    const double pad = lo == 0.0 ? 1.0 : std::abs(lo) * 0.1;
    return {lo - pad, hi + pad};
  }
  const double pad = (hi - lo) * 0.05;
  return {lo - pad, hi + pad};
}

// A round tick step near `rough`: 1, 2 or 5 times a power of ten.
double RoundStep(double rough) {
  if (!(rough > 0.0) || !std::isfinite(rough)) return 1.0;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  const double mantissa = rough / power;
  const double round = mantissa < 1.5 ? 1.0 : mantissa < 3.5 ? 2.0 : mantissa < 7.5 ? 5.0 : 10.0;
  return round * power;
}

// The tick count an automatic axis aims at (the chart library's default).
constexpr int kTargetTicks = 5;

// 1, 2 or 5 times a power of ten near x: at least x when `ceiling`,
// otherwise the nearest of them.
double NiceNumber(double x, bool ceiling) {
  const double power = std::pow(10.0, std::floor(std::log10(x)));
  const double q = x / power;
  double nice = 10.0;
  if (ceiling) {
    if (q <= 1.0) {
      nice = 1.0;
    } else if (q <= 2.0) {
      nice = 2.0;
    } else if (q <= 5.0) {
      nice = 5.0;
    }
  } else if (q < 1.5) {
    nice = 1.0;
  } else if (q < 3.0) {
    nice = 2.0;
  } else if (q < 7.0) {
    nice = 5.0;
  }
  return nice * power;
}

struct AxisScale {
  double minimum;
  double maximum;
  int ticks;
};

// An automatic axis over lo … hi (lo < hi): ends on multiples of a nice
// step, about kTargetTicks ticks. Worked out from lo and hi alone, so the
// same points always give the same axis, whatever the chart showed before.
AxisScale NiceScale(double lo, double hi) {
  const double range = NiceNumber(hi - lo, true);
  const double step = NiceNumber(range / (kTargetTicks - 1), false);
  const double first = std::floor(lo / step);
  const double last = std::ceil(hi / step);
  const double ticks = last - first + 1.0;
  if (!std::isfinite(first) || !std::isfinite(last) || ticks < 2.0 || ticks > 1000.0) {
    return {lo, hi, kTargetTicks};
  }
  return {first * step, last * step, static_cast<int>(ticks)};
}

}  // namespace

ChartPanel::ChartPanel(QWidget* parent) : QWidget(parent) {
  chart_ = new QChart();
  // Axis labels in the user's decimal mark, without digit grouping (years
  // read 1995, not 1,995).
  QLocale labels;
  labels.setNumberOptions(labels.numberOptions() | QLocale::OmitGroupSeparator);
  chart_->setLocale(labels);
  chart_->setLocalizeNumbers(true);
  chart_->legend()->setVisible(false);
  chart_->setMargins(QMargins(4, 4, 4, 4));
  chart_->setBackgroundRoundness(0);

  bottom_.axis = new QValueAxis(chart_);
  left_.axis = new QValueAxis(chart_);
  for (QValueAxis* axis : {bottom_.axis, left_.axis}) {
    axis->setLabelFormat("%.7g");
    axis->setRange(0.0, 1.0);
  }
  chart_->addAxis(bottom_.axis, Qt::AlignBottom);
  chart_->addAxis(left_.axis, Qt::AlignLeft);

  view_ = new QChartView(chart_, this);
  view_->setRenderHint(QPainter::Antialiasing);
  view_->setMinimumSize(160, 120);
  view_->viewport()->installEventFilter(this);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
}

void ChartPanel::AddSeries(const QString& name, const SeriesStyle& style) {
  if (HasSeries(name)) return;
  QXYSeries* series = nullptr;
  if (style.kind == SeriesStyle::Kind::Points) {
    auto* scatter = new QScatterSeries();
    scatter->setMarkerShape(style.marker == SeriesStyle::Marker::Circle
                                ? QScatterSeries::MarkerShapeCircle
                                : QScatterSeries::MarkerShapeRectangle);
    scatter->setMarkerSize(style.markerSize);
    scatter->setColor(style.color);
    scatter->setBorderColor(style.color);
    series = scatter;
  } else {
    auto* line = new QLineSeries();
    QPen pen(style.color);
    pen.setWidthF(style.width);
    pen.setStyle(style.lineStyle);
    line->setPen(pen);
    if (style.marker != SeriesStyle::Marker::None) {
      line->setPointsVisible(true);
      line->setMarkerSize(style.markerSize);
      if (style.marker == SeriesStyle::Marker::Square) {
        line->setLightMarker(SquareMarker(style.color, style.markerSize));
      }
    }
    series = line;
  }
  series->setObjectName(name);
  series->setName(style.title.isEmpty() ? name : style.title);
  chart_->addSeries(series);
  series->attachAxis(bottom_.axis);
  series->attachAxis(left_.axis);
  series_[name] = SeriesEntry{series, style};
  for (QLegendMarker* marker : chart_->legend()->markers(series)) marker->setVisible(style.inLegend);
}

ChartPanel::SeriesEntry& ChartPanel::Entry(const QString& name) {
  const auto it = series_.find(name);
  if (it == series_.end()) throw std::logic_error("unknown chart series " + name.toStdString());
  return it->second;
}

const ChartPanel::SeriesEntry& ChartPanel::Entry(const QString& name) const {
  const auto it = series_.find(name);
  if (it == series_.end()) throw std::logic_error("unknown chart series " + name.toStdString());
  return it->second;
}

void ChartPanel::SetPoints(const QString& name, PointList points) {
  SeriesEntry& entry = Entry(name);
  if (entry.style.sortedByX) {
    std::stable_sort(points.begin(), points.end(),
                     [](const Point& a, const Point& b) { return a.x < b.x; });
  }
  entry.series->replace(ToQt(points));
  UpdateRanges();
}

void ChartPanel::AddPoint(const QString& name, Point point) {
  PointList points = Points(name);
  points.push_back(point);
  SetPoints(name, std::move(points));
}

void ChartPanel::Clear(const QString& name) {
  Entry(name).series->clear();
  UpdateRanges();
}

void ChartPanel::ClearAll() {
  for (auto& [name, entry] : series_) entry.series->clear();
  for (auto& [name, entry] : areas_) {
    entry.series->upperSeries()->clear();
    entry.series->lowerSeries()->clear();
    entry.area.reset();
  }
  for (const auto& [name, group] : labels_) {
    for (QXYSeries* series : group.series) {
      chart_->removeSeries(series);
      delete series;
    }
  }
  labels_.clear();
  UpdateRanges();
}

PointList ChartPanel::Points(const QString& name) const {
  PointList result;
  for (const QPointF& p : Entry(name).series->points()) result.push_back(Point{p.x(), p.y()});
  return result;
}

void ChartPanel::SetSeriesVisible(const QString& name, bool visible) {
  Entry(name).series->setVisible(visible);
  UpdateRanges();
}

void ChartPanel::RemoveSeries(const QString& name) {
  QXYSeries* series = Entry(name).series;
  series_.erase(name);
  chart_->removeSeries(series);
  delete series;
  UpdateRanges();
}

void ChartPanel::SetSeriesTitle(const QString& name, const QString& title, bool inLegend) {
  SeriesEntry& entry = Entry(name);
  entry.style.title = title;
  entry.style.inLegend = inLegend;
  entry.series->setName(title.isEmpty() ? name : title);
  for (QLegendMarker* marker : chart_->legend()->markers(entry.series)) marker->setVisible(inLegend);
}

QString ChartPanel::SeriesTitle(const QString& name) const { return Entry(name).series->name(); }

void ChartPanel::SetTitle(const QString& title) { chart_->setTitle(title); }

QString ChartPanel::Title() const { return chart_->title(); }

void ChartPanel::SetAxisTitle(Axis axis, const QString& title) {
  AxisOf(axis).title = title;
  AxisOf(axis).axis->setTitleText(title.toHtmlEscaped());
}

QString ChartPanel::AxisTitle(Axis axis) const { return AxisOf(axis).title; }

void ChartPanel::SetAxisTitleFont(Axis axis, const QFont& font) {
  AxisOf(axis).axis->setTitleFont(font);
}

void ChartPanel::SetAxisLabelFormat(Axis axis, const QString& format) {
  AxisOf(axis).axis->setLabelFormat(format);
}

void ChartPanel::SetAxisRange(Axis axis, double minimum, double maximum) {
  AxisOf(axis).fixedRange = std::make_pair(minimum, maximum);
  UpdateRanges();
}

std::pair<double, double> ChartPanel::AxisRange(Axis axis) const {
  const QValueAxis* shown = AxisOf(axis).axis;
  return {shown->min(), shown->max()};
}

int ChartPanel::AxisTickCount(Axis axis) const { return AxisOf(axis).axis->tickCount(); }

void ChartPanel::SetAxisAutomatic(Axis axis) {
  AxisOf(axis).fixedRange.reset();
  UpdateRanges();
}

void ChartPanel::SetAxisMinimum(Axis axis, double minimum) {
  AxisOf(axis).fixedMinimum = minimum;
  UpdateRanges();
}

void ChartPanel::SetAxisStep(Axis axis, double step, int minorTicks) {
  QValueAxis* valueAxis = AxisOf(axis).axis;
  valueAxis->setTickType(QValueAxis::TicksDynamic);
  valueAxis->setTickAnchor(0.0);
  valueAxis->setTickInterval(step);
  valueAxis->setMinorTickCount(minorTicks);
}

void ChartPanel::SetAxisRoundTicks(Axis axis, double minimumStep) {
  AxisOf(axis).roundTicksMinimum = minimumStep;
  UpdateRanges();
}

void ChartPanel::SetLegendVisible(bool visible, bool atBottom) {
  chart_->legend()->setVisible(visible);
  if (atBottom) chart_->legend()->setAlignment(Qt::AlignBottom);
}

void ChartPanel::SetWrappedLegendVisible(bool visible) {
  if (wrappedLegend_ == nullptr) {
    wrappedLegend_ = new QLabel(this);
    wrappedLegend_->setObjectName("WrappedLegend");
    wrappedLegend_->setWordWrap(true);
    wrappedLegend_->setTextFormat(Qt::RichText);
    layout()->addWidget(wrappedLegend_);
  }
  QStringList entries;
  for (QAbstractSeries* series : chart_->series()) {
    const auto it = series_.find(series->objectName());
    if (it == series_.end() || !it->second.style.inLegend || !series->isVisible()) continue;
    entries << QStringLiteral("<span style=\"white-space:nowrap\"><span style=\"color:%1\">"
                              "&#9632;</span>&nbsp;%2</span>")
                   .arg(it->second.style.color.name(), series->name().toHtmlEscaped());
  }
  wrappedLegend_->setText(entries.join(QStringLiteral(" &nbsp; ")));
  wrappedLegend_->setVisible(visible);
}

void ChartPanel::SetBackground(const QColor& color) { chart_->setBackgroundBrush(color); }

void ChartPanel::AddArea(const QString& name, const QColor& fill) {
  if (HasArea(name)) return;
  // The area series does not own its two edges: they are its children, so
  // they go with it.
  auto* area = new QAreaSeries();
  area->setUpperSeries(new QLineSeries(area));
  area->setLowerSeries(new QLineSeries(area));
  area->setObjectName(name);
  area->setName(name);
  area->setBrush(fill);
  area->setPen(Qt::NoPen);
  chart_->addSeries(area);
  area->attachAxis(bottom_.axis);
  area->attachAxis(left_.axis);
  for (QLegendMarker* marker : chart_->legend()->markers(area)) marker->setVisible(false);
  areas_[name] = AreaEntry{area, std::nullopt};
}

void ChartPanel::SetArea(const QString& name, const ChartArea& area) {
  const auto it = areas_.find(name);
  if (it == areas_.end()) throw std::logic_error("unknown chart area " + name.toStdString());
  it->second.series->upperSeries()->replace(
      QList<QPointF>{QPointF(area.xMin, area.yMax), QPointF(area.xMax, area.yMax)});
  it->second.series->lowerSeries()->replace(
      QList<QPointF>{QPointF(area.xMin, area.yMin), QPointF(area.xMax, area.yMin)});
  it->second.area = area;
}

std::optional<ChartArea> ChartPanel::Area(const QString& name) const {
  const auto it = areas_.find(name);
  if (it == areas_.end()) throw std::logic_error("unknown chart area " + name.toStdString());
  return it->second.area;
}

QColor ChartPanel::AreaColor(const QString& name) const {
  const auto it = areas_.find(name);
  if (it == areas_.end()) throw std::logic_error("unknown chart area " + name.toStdString());
  return it->second.series->brush().color();
}

void ChartPanel::SetLabels(const QString& name, const std::vector<ChartLabel>& labels,
                           const QColor& color) {
  LabelGroup& group = labels_[name];
  for (QXYSeries* series : group.series) {
    chart_->removeSeries(series);
    delete series;
  }
  group.series.clear();
  group.labels = labels;
  // Each text is the point label of a series of its own with an invisible
  // point (the label format takes no text per point).
  for (const ChartLabel& label : labels) {
    auto* series = new QScatterSeries();
    series->setObjectName(name);
    series->setMarkerSize(1.0);
    series->setColor(Qt::transparent);
    series->setBorderColor(Qt::transparent);
    series->setPointLabelsFormat(label.text);
    series->setPointLabelsColor(color);
    series->setPointLabelsClipping(false);
    series->setPointLabelsVisible(true);
    series->append(label.at.x, label.at.y);
    chart_->addSeries(series);
    series->attachAxis(bottom_.axis);
    series->attachAxis(left_.axis);
    for (QLegendMarker* marker : chart_->legend()->markers(series)) marker->setVisible(false);
    group.series.push_back(series);
  }
}

std::vector<ChartLabel> ChartPanel::Labels(const QString& name) const {
  const auto it = labels_.find(name);
  return it == labels_.end() ? std::vector<ChartLabel>{} : it->second.labels;
}

bool ChartPanel::SaveImage(const QString& path) const { return view_->grab().save(path); }

QSize ChartPanel::PictureSize(const QSize& minimum) const {
  const QSizeF shown = chart_->size();
  return QSizeF(std::max(shown.width(), static_cast<qreal>(minimum.width())),
                std::max(shown.height(), static_cast<qreal>(minimum.height())))
      .toSize();
}

void ChartPanel::Render(QPainter& painter, const QSize& minimum) const {
  const QSizeF shown = chart_->size();
  const QSizeF size = PictureSize(minimum);
  // The chart is laid out at the picture's size while it is drawn, then
  // given back its size on screen.
  chart_->resize(size);
  if (QGraphicsLayout* layout = chart_->layout()) layout->activate();
  painter.setRenderHint(QPainter::Antialiasing);
  chart_->scene()->render(&painter, QRectF(QPointF(0, 0), size), QRectF(chart_->pos(), size));
  chart_->resize(shown);
  if (QGraphicsLayout* layout = chart_->layout()) layout->activate();
}

QImage ChartPanel::Picture(const QSize& minimum) const {
  QImage image(PictureSize(minimum), QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  Render(painter, minimum);
  return image;
}

bool ChartPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == view_->viewport() && event->type() == QEvent::MouseButtonRelease) emit Clicked();
  return QWidget::eventFilter(watched, event);
}

void ChartPanel::UpdateRanges() {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  double xLo = kInf, xHi = -kInf, yLo = kInf, yHi = -kInf;
  for (const auto& [name, entry] : series_) {
    if (!entry.series->isVisible()) continue;
    for (const QPointF& p : entry.series->points()) {
      xLo = std::min(xLo, p.x());
      xHi = std::max(xHi, p.x());
      yLo = std::min(yLo, p.y());
      yHi = std::max(yHi, p.y());
    }
  }
  const auto apply = [this](AxisEntry& entry, double lo, double hi) {
    if (entry.fixedRange) {
      const auto [from, to] = *entry.fixedRange;
      entry.axis->setRange(from, to);
      if (entry.roundTicksMinimum) {
        SetAxisStep(entry.axis == bottom_.axis ? Axis::Bottom : Axis::Left,
                    std::max(*entry.roundTicksMinimum, RoundStep((to - from) / 5.0)));
      } else {
        entry.axis->setTickCount(kTargetTicks);
      }
      return;
    }
    if (entry.fixedMinimum) {
      // From the fixed minimum up to a little above the largest value.
      const double from = *entry.fixedMinimum;
      const AxisScale scale =
          NiceScale(from, hi > from ? hi + (hi - from) * 0.05 : from + 1.0);
      entry.axis->setRange(from, scale.maximum);
      entry.axis->setTickCount(scale.ticks);
      return;
    }
    if (lo > hi) {
      // No point: the axis of a new chart.
      entry.axis->setRange(0.0, 1.0);
      entry.axis->setTickCount(kTargetTicks);
      return;
    }
    const auto [from, to] = Padded(lo, hi);
    const AxisScale scale = NiceScale(from, to);
    entry.axis->setRange(scale.minimum, scale.maximum);
    entry.axis->setTickCount(scale.ticks);
  };
  apply(bottom_, xLo, xHi);
  apply(left_, yLo, yHi);
}

}  // namespace tarvik::app
