#pragma once

#include <utility>

#include <QWidget>

#include "app/background_task.h"
#include "app/handler.h"
#include "app/services.h"
#include "app/workflow.h"
#include "assessment/state.h"

namespace tarvik::app {

// What every page works with: the one assessment state of the main window,
// the desktop services, the workflow that unlocks the pages and the runner
// of long computations.
struct PageContext {
  AssessmentState& state;
  UiServices& ui;
  Workflow& workflow;
  BackgroundTask& background;
};

// A page of the main window.
class Page : public QWidget {
  Q_OBJECT

 public:
  explicit Page(PageContext context, QWidget* parent = nullptr)
      : QWidget(parent), context_(context) {}

  // The page became the active page of the main window.
  virtual void Shown() {}

 protected:
  AssessmentState& State() const { return context_.state; }
  UiServices& Ui() const { return context_.ui; }
  Workflow& Flow() const { return context_.workflow; }
  // Runs long computations off the user-interface thread (background_task.h).
  BackgroundTask& Background() const { return context_.background; }

  // Connects a control's signal to a handler of this page; errors end at the
  // handler's edge in the error box.
  template <typename Sender, typename Signal, typename Handler>
  void On(const Sender* sender, Signal signal, Handler handler) {
    ConnectHandler(sender, signal, this, context_.ui, std::move(handler));
  }

 private:
  PageContext context_;
};

}  // namespace tarvik::app
