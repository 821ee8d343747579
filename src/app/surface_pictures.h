#pragma once

#include <cstddef>
#include <string>

#include <QLabel>
#include <QObject>
#include <QPushButton>

#include "app/page.h"
#include "app/progress_log.h"

namespace tarvik::app {

// «Анализ целевой функции»: the objective of the chosen variant over two
// grids around its estimate, computed in the background and drawn by R as two
// contour pictures (r/K and MSY/FMSY), shown in the place of another widget
// with a switch between them.
class SurfacePictures : public QObject {
  Q_OBJECT

 public:
  SurfacePictures(PageContext context, ProgressLog log, QObject* parent = nullptr);

  // The picture (img5) and the switch (btn1), hidden until a run drew them.
  QLabel* Image() const { return image_; }
  QPushButton* Switch() const { return switch_; }

  // The analysis of `variant` with the trim position of its search; the first
  // picture then replaces `replaced`. The files go beside the data file, or
  // into a per-user folder when that one cannot be written (the user is
  // told where). `catchUnit` is N of the data's catch unit, 10^N tonnes,
  // for the pictures' titles.
  void Analyse(std::size_t variant, int trimPosition, QWidget* replaced, int catchUnit);

  // The other picture (the switch's click).
  void ShowOtherPicture();

  // Picture and switch hidden (a new search, another data set).
  void Hide();

 private:
  void ShowImage(const std::string& path);

  PageContext context_;
  ProgressLog log_;
  QLabel* image_ = nullptr;
  QPushButton* switch_ = nullptr;
  // The folder of the pictures and which one the switch shows.
  std::string directory_;
  bool showingMsyFmsy_ = false;
};

}  // namespace tarvik::app
