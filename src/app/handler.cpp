#include "app/handler.h"

#include <QCoreApplication>
#include <QThread>

namespace tarvik::app {
namespace {

bool OnTheUserInterfaceThread() {
  const QCoreApplication* application = QCoreApplication::instance();
  return application != nullptr && QThread::currentThread() == application->thread();
}

}  // namespace

HandlersEnded& HandlersEnded::Instance() {
  static HandlersEnded* const instance = new HandlersEnded;  // lives as long as the process
  return *instance;
}

void HandlersEnded::Enter() noexcept {
  if (OnTheUserInterfaceThread()) ++depth_;
}

void HandlersEnded::Leave() noexcept {
  if (!OnTheUserInterfaceThread() || --depth_ > 0) return;
  depth_ = 0;
  try {
    emit Ended();
  } catch (...) {
  }
}

}  // namespace tarvik::app
