#include "app/surface_pictures.h"

#include <filesystem>

#include <QDir>
#include <QPainter>
#include <QPixmap>

#include "app/chart_export.h"
#include "app/locale_mark.h"
#include "app/widgets.h"
#include "assessment/fit_checks.h"
#include "common/error.h"
#include "estimation/surface.h"
#include "rbridge/pictures.h"
#include "rbridge/work_directory.h"

namespace tarvik::app {

namespace {

// The contour picture: drawn as large as the control allows with its own
// proportions (R draws it 460 × 330), centred.
class ProportionalImage : public QLabel {
 public:
  ProportionalImage() {
    setFrameShape(QFrame::StyledPanel);
    setMinimumSize(160, 115);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    drawFrame(&painter);
    const QPixmap& picture = pixmap();
    if (picture.isNull()) return;
    const QRect area = contentsRect();
    const QSize size = picture.size().scaled(area.size(), Qt::KeepAspectRatio);
    const QRect target(area.x() + (area.width() - size.width()) / 2,
                       area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, picture);
  }
};

}  // namespace

SurfacePictures::SurfacePictures(PageContext context, ProgressLog log, QObject* parent)
    : QObject(parent), context_(context), log_(log) {
  image_ = Hidden(Named<ProportionalImage>("img5"));
  AttachPictureExport(image_, context_.ui, context_.session);
  switch_ = Hidden(MakeButton("btn1", QStringLiteral(" MSY/FMSY")));
  ConnectHandler(switch_, &QPushButton::clicked, this, context_.ui, [this] { ShowOtherPicture(); });
}

void SurfacePictures::ShowImage(const std::string& path) {
  QPixmap picture;
  if (!picture.load(FromUtf8(path))) throw Error("Не удалось загрузить рисунок «" + path + "»");
  image_->setPixmap(picture);
}

void SurfacePictures::Analyse(std::size_t variant, int trimPosition, QWidget* replaced,
                              int catchUnit) {
  const rbridge::WorkDirectoryChoice where =
      rbridge::ChooseWorkDirectory(context_.State().DataFileName);
  const std::string rDirectory = context_.State().RDirectory;
  AssessmentState& state = context_.State();
  log_.Memo()->clear();
  log_.StartGauge(200);
  context_.background.RunGuarded(
      [this, &state, variant, trimPosition, where, rDirectory,
       catchUnit](BackgroundTask::Progress& progress) {
        estimation::SurfaceOptions options;
        options.OnProgress = log_.Progress(progress);
        options.OnMemo = log_.Replacer(progress);
        const estimation::SurfaceGrids grids =
            estimation::ComputeObjectiveSurface(state, variant, trimPosition, options);
        const std::filesystem::path directory(
            std::u8string(where.Directory.begin(), where.Directory.end()));
        const estimation::SurfaceFiles files =
            estimation::WriteSurfaceFiles(directory, grids, catchUnit);
        // R draws graph5.bmp and graph6.bmp beside the script.
        return rbridge::DrawSurfacePictures(files.Script.parent_path().string(), rDirectory);
      },
      [this] { log_.HideGauge(); },
      [this, replaced, note = where.Message](const rbridge::PictureRun& run) {
        directory_ = run.Directory;
        if (!note.empty()) context_.ui.ShowInformation(FromUtf8(note));
        if (!run.R.Ok) {
          // The numbers and the files for R stay; only the pictures are missing.
          context_.ui.ShowWarning(FromUtf8(run.R.Message));
          return;
        }
        ShowImage(run.Pictures.front());
        replaced->hide();
        switch_->setText(QStringLiteral("MSY/FMSY"));
        switch_->show();
        image_->show();
      });
}

void SurfacePictures::ShowOtherPicture() {
  const estimation::SurfacePicture picture = estimation::ToggleSurfacePicture(showingMsyFmsy_);
  switch_->setText(FromUtf8(picture.Caption));
  ShowImage(ToUtf8(QDir(FromUtf8(directory_)).filePath(FromUtf8(picture.Image))));
}

void SurfacePictures::Hide() {
  switch_->hide();
  image_->hide();
}

}  // namespace tarvik::app
