#pragma once

#include <QByteArray>
#include <QImage>
#include <QLabel>
#include <QMenu>

#include "app/chart_panel.h"
#include "app/services.h"
#include "assessment/session.h"

namespace tarvik::app {

// Saved and copied pictures of a chart are at least this large.
inline constexpr QSize kExportPictureMinimum{1000, 600};

// The file bytes of a chart's picture: PNG, or PDF (vectors, one page the
// picture's size) when `pdf`.
QByteArray ChartPictureBytes(const ChartPanel& chart, bool pdf);

// Gives a chart «Сохранить изображение…» (PNG, or PDF when the name ends in
// ".pdf"; written whole or not at all, never over the data file) and
// «Копировать изображение» in its context menu: `menu` when the chart has a
// menu of its own, otherwise a menu of the chart's actions. The actions are
// named "<chart>SaveImage" and "<chart>CopyImage".
void AttachChartExport(ChartPanel* chart, UiServices& ui, const Session& session,
                       QMenu* menu = nullptr);

// The file bytes of a picture drawn elsewhere: PNG, or PDF (one page the
// picture's size, the picture embedded as it is).
QByteArray PictureBytes(const QImage& image, bool pdf);

// The same two items for a picture R drew and a label shows (the surface of
// the objective, the optimisation of a rule): the picture at its own size.
// Before a picture is shown they end in the error box.
void AttachPictureExport(QLabel* picture, UiServices& ui, const Session& session);

}  // namespace tarvik::app
