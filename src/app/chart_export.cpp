#include "app/chart_export.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "app/handler.h"
#include "app/locale_mark.h"
#include "common/files.h"

namespace tarvik::app {

QByteArray ChartPictureBytes(const ChartPanel& chart, bool pdf) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!pdf) {
    if (!chart.Picture(kExportPictureMinimum).save(&buffer, "PNG")) {
      throw Error("Не удаётся подготовить рисунок графика в формате PNG");
    }
    return bytes;
  }
  // One point of the page per pixel of the picture.
  const QSize size = chart.PictureSize(kExportPictureMinimum);
  QPdfWriter writer(&buffer);
  writer.setResolution(72);
  writer.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setCreator(QStringLiteral("Tarvik"));
  writer.setTitle(chart.Title());
  {
    QPainter painter(&writer);
    chart.Render(painter, kExportPictureMinimum);
  }
  return bytes;
}

void AttachChartExport(ChartPanel* chart, UiServices& ui, const AssessmentState& state,
                       QMenu* menu) {
  auto* save = new QAction(QStringLiteral("Сохранить изображение…"), chart);
  save->setObjectName(chart->objectName() + QStringLiteral("SaveImage"));
  auto* copy = new QAction(QStringLiteral("Копировать изображение"), chart);
  copy->setObjectName(chart->objectName() + QStringLiteral("CopyImage"));
  ConnectHandler(save, &QAction::triggered, chart, ui, [chart, &ui, &state] {
    const std::optional<QString> path = ui.AskSaveFileName(FileDialogOptions{
        QStringLiteral("Сохранить изображение графика"), QDir::currentPath(),
        QStringLiteral("Рисунок PNG (*.png);;Документ PDF (*.pdf)"), QStringLiteral("png")});
    if (!path) return;
    const bool pdf =
        QFileInfo(*path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0;
    const QByteArray bytes = ChartPictureBytes(*chart, pdf);
    WriteExportFile(ToUtf8(*path), std::string_view(bytes.constData(), std::size_t(bytes.size())),
                    state.DataFileName, "Рисунок графика");
  });
  ConnectHandler(copy, &QAction::triggered, chart, ui,
                 [chart, &ui] { ui.SetClipboardImage(chart->Picture(kExportPictureMinimum)); });
  if (menu != nullptr) {
    menu->addSeparator();
    menu->addActions({save, copy});
  } else {
    chart->addActions({save, copy});
    chart->setContextMenuPolicy(Qt::ActionsContextMenu);
  }
}

}  // namespace tarvik::app
