#pragma once

#include <QLabel>
#include <QPixmap>
#include <QWidget>

namespace tarvik::app {

// The welcome window "Добро пожаловать!": a picture with the label
// "Начать работу", which closes the window and lets the main window show.
// It stays on top of other windows.
class WelcomeWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPictureWidth = 753;
  static constexpr int kPictureHeight = 617;

  explicit WelcomeWindow(QWidget* owner = nullptr);

  QLabel* StartLabel() const { return label3_; }

  // The welcome picture, drawn at its design size.
  static QPixmap DrawPicture();

 signals:
  // "Начать работу" was clicked (after the window hid itself).
  void StartRequested();
  // The window was closed by its frame before work was started.
  void Dismissed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void Label3Click();

  QLabel* img1_ = nullptr;
  QLabel* label3_ = nullptr;
  bool started_ = false;
};

}  // namespace tarvik::app
