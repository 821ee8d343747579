#include "app/chart_export.h"

#include <functional>

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include "app/handler.h"
#include "app/locale_mark.h"
#include "assessment/state.h"
#include "common/files.h"

namespace tarvik::app {

namespace {

// «Сохранить изображение…» and «Копировать изображение» of `owner`: `bytes`
// gives the file (PDF when asked), `image` the clipboard's picture.
void AttachImageActions(QWidget* owner, UiServices& ui, const Session& session,
                        std::function<QByteArray(bool pdf)> bytes, std::function<QImage()> image,
                        QMenu* menu) {
  auto* save = new QAction(QStringLiteral("Сохранить изображение…"), owner);
  save->setObjectName(owner->objectName() + QStringLiteral("SaveImage"));
  auto* copy = new QAction(QStringLiteral("Копировать изображение"), owner);
  copy->setObjectName(owner->objectName() + QStringLiteral("CopyImage"));
  ConnectHandler(save, &QAction::triggered, owner, ui, [bytes, &ui, &session] {
    const std::optional<QString> path = ui.AskSaveFileName(FileDialogOptions{
        QStringLiteral("Сохранить изображение графика"), QDir::currentPath(),
        QStringLiteral("Рисунок PNG (*.png);;Документ PDF (*.pdf)"), QStringLiteral("png")});
    if (!path) return;
    const bool pdf =
        QFileInfo(*path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0;
    const QByteArray file = bytes(pdf);
    WriteExportFile(ToUtf8(*path), std::string_view(file.constData(), std::size_t(file.size())),
                    session.State().DataFileName, "Рисунок графика");
  });
  ConnectHandler(copy, &QAction::triggered, owner, ui,
                 [image, &ui] { ui.SetClipboardImage(image()); });
  if (menu != nullptr) {
    menu->addSeparator();
    menu->addActions({save, copy});
  } else {
    owner->addActions({save, copy});
    owner->setContextMenuPolicy(Qt::ActionsContextMenu);
  }
}

// The picture a label shows; a label without one raises.
QImage ShownPicture(const QLabel& label) {
  const QPixmap picture = label.pixmap();
  if (picture.isNull()) throw Error("Рисунок ещё не построен");
  return picture.toImage();
}

// A PDF of one page `size` points large, drawn by `draw`.
QByteArray PdfBytes(const QSize& size, const QString& title,
                    const std::function<void(QPainter&)>& draw) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  // One point of the page per pixel of the picture.
  QPdfWriter writer(&buffer);
  writer.setResolution(72);
  writer.setPageSize(QPageSize(QSizeF(size), QPageSize::Point));
  writer.setPageMargins(QMarginsF(0, 0, 0, 0));
  writer.setCreator(QStringLiteral("Tarvik"));
  writer.setTitle(title);
  {
    QPainter painter(&writer);
    draw(painter);
  }
  return bytes;
}

}  // namespace

QByteArray PictureBytes(const QImage& image, bool pdf) {
  if (pdf) {
    return PdfBytes(image.size(), QString(),
                    [&image](QPainter& painter) { painter.drawImage(QPoint(0, 0), image); });
  }
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw Error("Не удаётся подготовить рисунок в формате PNG");
  return bytes;
}

QByteArray ChartPictureBytes(const ChartPanel& chart, bool pdf) {
  if (!pdf) return PictureBytes(chart.Picture(kExportPictureMinimum), false);
  return PdfBytes(chart.PictureSize(kExportPictureMinimum), chart.Title(),
                  [&chart](QPainter& painter) { chart.Render(painter, kExportPictureMinimum); });
}

void AttachChartExport(ChartPanel* chart, UiServices& ui, const Session& session, QMenu* menu) {
  AttachImageActions(
      chart, ui, session, [chart](bool pdf) { return ChartPictureBytes(*chart, pdf); },
      [chart] { return chart->Picture(kExportPictureMinimum); }, menu);
}

void AttachPictureExport(QLabel* picture, UiServices& ui, const Session& session) {
  AttachImageActions(
      picture, ui, session,
      [picture](bool pdf) { return PictureBytes(ShownPicture(*picture), pdf); },
      [picture] { return ShownPicture(*picture); }, nullptr);
}

}  // namespace tarvik::app
