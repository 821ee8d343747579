#include "app/main_window.h"

namespace tarvik::app {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("Form1");
  setWindowTitle("Tarvik 4.0");
  resize(1025, 784);
}

}  // namespace tarvik::app
