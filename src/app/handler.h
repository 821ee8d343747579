#pragma once

#include <exception>
#include <string>
#include <type_traits>
#include <utility>

#include <QApplication>
#include <QObject>
#include <QString>

#include "app/services.h"
#include "common/error.h"

namespace tarvik::app {

// Tells when the outermost handler running on the user-interface thread has
// ended: what the handlers changed is shown then, once (the main window
// redraws its pages from the state).
class HandlersEnded : public QObject {
  Q_OBJECT

 public:
  static HandlersEnded& Instance();
  // RunHandler's bookkeeping.
  void Enter() noexcept;
  void Leave() noexcept;

 signals:
  void Ended();

 private:
  int depth_ = 0;
};

// Runs one event handler. Any error it raises ends the handler and is shown
// in the error box with its message; the program goes on. The core's
// operations change nothing when they fail, so the state is the one before
// the failing step.
template <typename Body>
void RunHandler(UiServices& ui, Body&& body) noexcept {
  struct Nesting {
    Nesting() { HandlersEnded::Instance().Enter(); }
    ~Nesting() { HandlersEnded::Instance().Leave(); }
  };
  try {
    const Nesting nesting;
    std::forward<Body>(body)();
  } catch (const std::exception& error) {
    try {
      const std::string message = UserMessage(error);  // Russian also for the system's errors
      ui.ShowError(QString::fromUtf8(message.data(), qsizetype(message.size())));
    } catch (...) {
    }
  } catch (...) {
    try {
      ui.ShowError(QStringLiteral("Непредвиденная ошибка"));
    } catch (...) {
    }
  }
}

// Connects a signal to a handler guarded by RunHandler. The handler takes no
// arguments or the signal's arguments.
template <typename Sender, typename Signal, typename Handler>
QMetaObject::Connection ConnectHandler(const Sender* sender, Signal signal, QObject* context,
                                       UiServices& ui, Handler handler) {
  return QObject::connect(sender, signal, context, [&ui, handler](auto&&... args) {
    RunHandler(ui, [&] {
      if constexpr (std::is_invocable_v<Handler, decltype(args)...>) {
        handler(std::forward<decltype(args)>(args)...);
      } else {
        handler();
      }
    });
  });
}

// Shows the hourglass over the whole application while it lives.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace tarvik::app
