#pragma once

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

#include "common/point.h"

QT_BEGIN_NAMESPACE
class QAreaSeries;
class QLabel;
class QPainter;
class QChart;
class QChartView;
class QValueAxis;
class QXYSeries;
QT_END_NAMESPACE

namespace tarvik::app {

// How one series is drawn.
struct SeriesStyle {
  enum class Kind { Line, Points };
  enum class Marker { None, Square, Circle };
  Kind kind = Kind::Line;
  QColor color = Qt::red;
  qreal width = 1.0;          // pen width of a line
  Marker marker = Marker::None;
  qreal markerSize = 3.0;     // pixels
  bool sortedByX = false;     // points kept in ascending x, as a line series plots them
  bool inLegend = true;
  QString title;              // shown in the legend
  Qt::PenStyle lineStyle = Qt::SolidLine;  // of a line (Qt::DotLine: dotted)
};

enum class Axis { Bottom, Left };

// A filled rectangle of a chart, in axis units (the zones of a plot).
struct ChartArea {
  double xMin = 0.0, xMax = 0.0, yMin = 0.0, yMax = 0.0;
  bool operator==(const ChartArea&) const = default;
};

// A text written at a point of a chart (e.g. the years at the ends of a
// trajectory).
struct ChartLabel {
  Point at;
  QString text;
  bool operator==(const ChartLabel&) const = default;
};

// The one place that knows the chart library: a chart of named series that
// take lists of points, with titled bottom and left axes whose ranges follow
// the points unless fixed. Pages give points and titles and never touch the
// library's types, so the library can be swapped here alone.
class ChartPanel : public QWidget {
  Q_OBJECT

 public:
  explicit ChartPanel(QWidget* parent = nullptr);

  // Adds a series; its name is the series' name in the window layout.
  void AddSeries(const QString& name, const SeriesStyle& style);
  bool HasSeries(const QString& name) const { return series_.count(name) != 0; }

  void SetPoints(const QString& name, PointList points);
  void AddPoint(const QString& name, Point point);
  void Clear(const QString& name);
  void ClearAll();
  PointList Points(const QString& name) const;
  void SetSeriesVisible(const QString& name, bool visible);
  // Takes a series off the chart (series created and destroyed at run time).
  void RemoveSeries(const QString& name);
  // The title a series has in the legend, and whether the legend lists it.
  void SetSeriesTitle(const QString& name, const QString& title, bool inLegend);
  QString SeriesTitle(const QString& name) const;
  bool SeriesInLegend(const QString& name) const { return Entry(name).style.inLegend; }

  void SetTitle(const QString& title);  // empty hides the title
  QString Title() const;
  void SetAxisTitle(Axis axis, const QString& title);  // plain text ("Риск B < B ср.")
  QString AxisTitle(Axis axis) const;
  void SetAxisTitleFont(Axis axis, const QFont& font);
  // printf-style label format of an axis ("%.7g").
  void SetAxisLabelFormat(Axis axis, const QString& format);
  // Fixes the range of an axis; Automatic() returns to following the points.
  void SetAxisRange(Axis axis, double minimum, double maximum);
  void SetAxisAutomatic(Axis axis);
  // Fixes only the minimum of an axis; its maximum follows the points.
  void SetAxisMinimum(Axis axis, double minimum);
  // Labels every `step` from 0 (an anchor at 0), with `minorTicks` unlabelled
  // ticks between two labels.
  void SetAxisStep(Axis axis, double step, int minorTicks = 0);
  // Labels of a fixed range at round values (1, 2 or 5 times a power of ten,
  // about five of them, no closer than `minimumStep`), the step following
  // the range, instead of dividing the range evenly.
  void SetAxisRoundTicks(Axis axis, double minimumStep = 0.0);
  // The range and the number of ticks an axis shows now.
  std::pair<double, double> AxisRange(Axis axis) const;
  int AxisTickCount(Axis axis) const;
  void SetLegendVisible(bool visible, bool atBottom = true);
  // A legend under the chart whose entries wrap onto further lines, for
  // many or long titles that the chart's own legend would cut short. It
  // lists the series that are in the legend, in the order they were added,
  // as they are when it is shown; the chart's own legend is not affected.
  void SetWrappedLegendVisible(bool visible);
  void SetBackground(const QColor& color);

  // A filled rectangle drawn under the series added after it (and over
  // those added before); it has no legend entry and does not move automatic
  // axes. Empty until SetArea gives its corners.
  void AddArea(const QString& name, const QColor& fill);
  bool HasArea(const QString& name) const { return areas_.count(name) != 0; }
  void SetArea(const QString& name, const ChartArea& area);
  std::optional<ChartArea> Area(const QString& name) const;  // nothing while empty
  QColor AreaColor(const QString& name) const;

  // The texts of the group `name` (replacing those it had), drawn just above
  // their points in `color`, over everything added before. They do not move
  // automatic axes.
  void SetLabels(const QString& name, const std::vector<ChartLabel>& labels,
                 const QColor& color = Qt::black);
  std::vector<ChartLabel> Labels(const QString& name) const;

  // The chart as a picture of the widget's size; false when it cannot be written.
  bool SaveImage(const QString& path) const;
  // The chart as shown, drawn at least `minimum` large: a smaller chart is
  // laid out at the larger size for the picture (texts keep their size).
  QImage Picture(const QSize& minimum) const;
  // The size of Picture(minimum), and the same drawing onto any painter
  // (a PDF writer keeps it as vectors) at that size in its device's units.
  QSize PictureSize(const QSize& minimum) const;
  void Render(QPainter& painter, const QSize& minimum) const;

 signals:
  void Clicked();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct SeriesEntry {
    QXYSeries* series = nullptr;
    SeriesStyle style;
  };
  struct AxisEntry {
    QValueAxis* axis = nullptr;
    std::optional<std::pair<double, double>> fixedRange;
    std::optional<double> fixedMinimum;
    QString title;  // as given; the axis shows it escaped (its titles are rich text)
    std::optional<double> roundTicksMinimum;  // SetAxisRoundTicks
  };

  SeriesEntry& Entry(const QString& name);
  const SeriesEntry& Entry(const QString& name) const;
  AxisEntry& AxisOf(Axis axis) { return axis == Axis::Bottom ? bottom_ : left_; }
  const AxisEntry& AxisOf(Axis axis) const { return axis == Axis::Bottom ? bottom_ : left_; }
  void UpdateRanges();

  QChart* chart_ = nullptr;
  QChartView* view_ = nullptr;
  QLabel* wrappedLegend_ = nullptr;
  AxisEntry bottom_;
  AxisEntry left_;
  std::map<QString, SeriesEntry> series_;
  struct AreaEntry {
    QAreaSeries* series = nullptr;
    std::optional<ChartArea> area;
  };
  std::map<QString, AreaEntry> areas_;
  struct LabelGroup {
    std::vector<QXYSeries*> series;  // one per label: its point and text
    std::vector<ChartLabel> labels;
  };
  std::map<QString, LabelGroup> labels_;
};

}  // namespace tarvik::app
