#pragma once

#include <utility>

#include <QWidget>

#include "app/background_task.h"
#include "app/handler.h"
#include "app/services.h"
#include "app/workflow.h"
#include "assessment/session.h"

namespace tarvik::app {

// What every page works with: the one assessment of the main window, the
// desktop services, the workflow that unlocks the pages and the runner of
// long computations.
struct PageContext {
  Session& session;
  UiServices& ui;
  Workflow& workflow;
  BackgroundTask& background;

  // The assessment's state, for source files that include state.h.
  auto& State() const { return session.State(); }
};

// A page of the main window.
class Page : public QWidget {
  Q_OBJECT

 public:
  explicit Page(PageContext context, QWidget* parent = nullptr)
      : QWidget(parent), context_(context) {}

  // The page became the active page of the main window.
  virtual void Shown() {}
  // Shows what the state holds now: every control that mirrors a stored
  // input and every result; a panel whose result was cleared says that it
  // must be computed again, never shows the old one. The main window calls
  // it after every completed change of the assessment (for a page behind
  // others, when it comes to the front) and after an assessment was opened.
  // It changes nothing in the state and emits no control's signal.
  virtual void Redraw() {}
  // An assessment was opened: the controls that hold what the user types
  // (texts, sliders, spin boxes) show what its steps ran with. Redraw follows.
  virtual void Opened() {}

 protected:
  // The assessment's state, for source files that include state.h.
  auto& State() const { return context_.State(); }
  Session& Assessment() const { return context_.session; }
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
