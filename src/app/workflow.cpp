#include "app/workflow.h"

#include <utility>

namespace tarvik::app {

PageIndex PageOfStage(Stage stage) {
  switch (stage) {
    case Stage::N8:
      return PageIndex::Data;
    case Stage::N10:
    case Stage::N11:
      return PageIndex::Estimation;
    case Stage::N12:
      return PageIndex::ReferencePoints;
    case Stage::N13:
      return PageIndex::Rule;
    case Stage::N14:
    case Stage::N15:
    case Stage::N16:
      return PageIndex::Tac;
  }
  return PageIndex::Data;
}

Workflow::Workflow(PageControl& pages, const std::array<QAction*, kStageCount>& items)
    : pages_(pages), items_(items) {}

void Workflow::Start() {
  Enable(Stage::N8);
  Check(Stage::N8);
}

void Workflow::ItemClicked(Stage stage) {
  // A checkable menu item toggles its mark when clicked; the mark records a
  // completed stage, so it is put back.
  for (int i = 0; i < kStageCount; ++i) items_[i]->setChecked(done_[i]);
  BringToFront(PageOfStage(stage));
}

void Workflow::Check(Stage stage) {
  done_[static_cast<int>(stage)] = true;
  Item(stage)->setChecked(true);
}

void Workflow::OpenCommandUsed() {
  Enable(Stage::N10);
  Enable(Stage::N11);
}

void Workflow::DataFileOpened() {
  RevealPage(PageIndex::Estimation);
}

void Workflow::DataSetReplaced() {
  for (PageIndex page :
       {PageIndex::ReferencePoints, PageIndex::Rule, PageIndex::Performance, PageIndex::Tac}) {
    pages_.SetTabVisible(static_cast<int>(page), false);
  }
}

void Workflow::EstimationStarted() {
  pages_.SetTabVisible(static_cast<int>(PageIndex::ReferencePoints), false);
}

void Workflow::ModelChosen() {
  RevealPage(PageIndex::ReferencePoints);
  Check(Stage::N10);
  Check(Stage::N11);
  Enable(Stage::N12);
}

void Workflow::ReferencePointsShown() {
  RevealPage(PageIndex::Rule);
  Check(Stage::N12);
  Enable(Stage::N13);
}

void Workflow::RuleAdded() {
  RevealPage(PageIndex::Performance);
}

void Workflow::RuleChosen() {
  RevealPage(PageIndex::Tac);
  Check(Stage::N13);
  Enable(Stage::N14);
  Enable(Stage::N15);
}

void Workflow::ForecastDrawn() {
  Check(Stage::N14);
  Check(Stage::N15);
  Enable(Stage::N16);
}

void Workflow::Follow(const Reached& reached) {
  const bool referencePage = reached.ModelChosen;
  const bool rulePage = referencePage && reached.ReferencePoints;
  const bool performancePage = rulePage && reached.Rules;
  const bool tacPage = performancePage && reached.RuleChosen;
  const std::pair<PageIndex, bool> pages[] = {{PageIndex::ReferencePoints, referencePage},
                                              {PageIndex::Rule, rulePage},
                                              {PageIndex::Performance, performancePage},
                                              {PageIndex::Tac, tacPage}};
  for (const auto& [page, shown] : pages) {
    if (pages_.IsTabVisible(static_cast<int>(page)) != shown) {
      pages_.SetTabVisible(static_cast<int>(page), shown);
    }
  }
  const bool forecast = tacPage && reached.Forecast;
  const std::pair<Stage, bool> stages[] = {
      {Stage::N10, referencePage}, {Stage::N11, referencePage}, {Stage::N12, rulePage},
      {Stage::N13, tacPage},       {Stage::N14, forecast},      {Stage::N15, forecast}};
  for (const auto& [stage, done] : stages) {
    done_[static_cast<int>(stage)] = done;
    Item(stage)->setChecked(done);
  }
  Item(Stage::N12)->setEnabled(referencePage);
  Item(Stage::N13)->setEnabled(rulePage);
  Item(Stage::N14)->setEnabled(tacPage);
  Item(Stage::N15)->setEnabled(tacPage);
  Item(Stage::N16)->setEnabled(forecast);
}

void Workflow::RevealPage(PageIndex page) {
  pages_.SetTabVisible(static_cast<int>(page), true);
}

void Workflow::BringToFront(PageIndex page) {
  pages_.BringToFront(static_cast<int>(page));
}

}  // namespace tarvik::app
