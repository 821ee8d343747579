#pragma once

#include <QMainWindow>

namespace tarvik::app {

// The main window "Tarvik 4.0".
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(QWidget* parent = nullptr);
};

}  // namespace tarvik::app
