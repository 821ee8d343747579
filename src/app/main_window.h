#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QAction>
#include <QMainWindow>
#include <QMenu>

#include "app/background_task.h"
#include "app/page_control.h"
#include "app/services.h"
#include "app/workflow.h"
#include "assessment/session.h"
#include "data/data_file.h"

namespace tarvik::app {

class AssessmentDocument;
class DataPage;
class HelpWindow;
class EstimationPage;
class ReferencePointsPage;
class RulePage;
class PerformancePage;
class TacPage;
class WelcomeWindow;

// The main window "Tarvik 4.0" (Form1). It owns the one assessment state
// and its six pages, the main menu with the data file commands and the
// workflow menu. Created hidden: it shows the welcome window, and shows
// itself when "Начать работу" is clicked; its first showing looks for R.
class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // `rSearchPath`: the folders where R is looked for.
  MainWindow(UiServices& ui, std::vector<std::string> rSearchPath, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The assessment the window works on, and its state (for source files
  // that include state.h).
  Session& Assessment() { return session_; }
  auto& State() { return session_.State(); }
  Workflow& Flow() { return *workflow_; }
  // The runner of the window's long computations.
  BackgroundTask& Background() { return *background_; }
  PageControl* Pages() const { return pageControl1_; }
  WelcomeWindow* Welcome() const { return form2_; }
  // The open assessment as a document: its file menu items, caption and
  // recovery file.
  AssessmentDocument* Document() const { return document_; }
  // Takes a replayed assessment: the pages show its data set and the stages
  // it reached, `page` in front.
  void AdoptAssessment(Session& replayed, const tarvik::data::DataDescription& description,
                       int page);
  // The guide's window, once «Руководство» (F1) has opened it.
  HelpWindow* Help() const { return helpWindow_; }

  DataPage* Data() const { return dataPage_; }
  EstimationPage* Estimation() const { return estimationPage_; }
  ReferencePointsPage* ReferencePoints() const { return referencePointsPage_; }
  RulePage* Rule() const { return rulePage_; }
  PerformancePage* Performance() const { return performancePage_; }
  TacPage* Tac() const { return tacPage_; }

  // Whether the R check of the first showing has run.
  bool RChecked() const { return rChecked_; }

  // The R check: looks for R (once) and tells the user what was found.
  void FormActivate();

  // The file menu.
  void N1Click();  // "Сохранить"
  void N2Click();  // "Сохранить как"
  void N3Click();  // "Открыть"

  // Before typed data would be dropped (closing, "Открыть"): when the table
  // or the description changed since the last open or save, asks whether to
  // save them. True when the caller may go on (nothing changed, saved, or
  // Нет); false on Отмена or a cancelled save dialog. A failed save raises.
  bool ChangesSavedOrDiscarded();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void BuildMenu();
  void BuildHelpMenu();
  // «Руководство» (F1): the guide at the section of the page in front.
  void ShowGuide();
  // «О программе».
  void ShowAbout();
  void Label3Click();
  void PageShown(int index);
  // Another data set is in the table (opened, pasted): the pages show nothing
  // of the previous one.
  void DataSetReplaced();
  // After a handler or a computation: when the assessment changed, the tabs
  // and menu follow it, the page in front redraws and the others redraw when
  // they come to the front.
  void FollowState();
  void RedrawIfStale(int index);
  // "Сохранить как": false when the dialog was cancelled.
  bool SaveDataAs();

  UiServices& ui_;
  std::vector<std::string> rSearchPath_;
  Session session_;
  bool rChecked_ = false;

  PageControl* pageControl1_ = nullptr;
  std::unique_ptr<Workflow> workflow_;
  BackgroundTask* background_ = nullptr;
  QAction* n1_ = nullptr;
  QAction* n2_ = nullptr;
  QAction* n3_ = nullptr;
  WelcomeWindow* form2_ = nullptr;
  DataPage* dataPage_ = nullptr;
  EstimationPage* estimationPage_ = nullptr;
  ReferencePointsPage* referencePointsPage_ = nullptr;
  RulePage* rulePage_ = nullptr;
  PerformancePage* performancePage_ = nullptr;
  TacPage* tacPage_ = nullptr;
  QObject* hintPause_ = nullptr;
  HelpWindow* helpWindow_ = nullptr;
  AssessmentDocument* document_ = nullptr;
  std::optional<std::uint64_t> followedRevision_;  // the journal's revision the pages show
  std::array<bool, 6> stale_{};                    // a page to redraw when it comes to the front
  bool following_ = false;
};

// The texts of the R check, for the folder found (with its trailing
// separator) or kRNotFound.
QString RFoundText(const std::string& rDirectory);
QString RNotFoundText();

}  // namespace tarvik::app
