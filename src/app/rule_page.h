#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QToolButton>

#include "app/chart_panel.h"
#include "app/page.h"
#include "assessment/rules.h"
#include "rbridge/pictures.h"
#include "rules/optimisation.h"
#include "rules/rule_list.h"

namespace tarvik::app {

// Page 4 "Правило регулирования промысла": drawing, adding and optimising
// harvest control rules for the chosen model variant.
class RulePage : public Page {
  Q_OBJECT

 public:
  explicit RulePage(PageContext context, QWidget* parent = nullptr);

  // TabSheet4Show.
  void Shown() override;

  // Without a chosen model (another data set): no variants, no rule drawn.
  void ClearResults();

  // The rule list, the variants of the chosen model and the rule of the
  // editor on the chart, as the state holds them.
  void Redraw() override;
  // The editor as the assessment's last rule step left it (shape, α, β,
  // target); the first showing of the page keeps it.
  void Opened() override;

  // RuleVariant: the ModelFits index whose reference points the chart uses.
  std::uint8_t RuleVariant() const { return ruleVariant_; }

  // The catch unit of the data, 10^N tonnes (N of the data page), for the
  // titles of the R pictures; set once by the main window (tonnes until then).
  void SetCatchUnitSource(std::function<int()> source) { catchUnit_ = std::move(source); }

 signals:
  // A rule was added to or deleted from the rule list; the page of
  // performance coefficients lays out its table again.
  void RuleListChanged();

 protected:
  // Clicks on the optimisation pictures img1 … img4.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // What the optimisation views beside the rule chart show.
  enum class OptimisationView { None, Charts, Pictures };

  // What an optimisation run hands to its finishing step.
  struct OptimisationOutcome {
    std::optional<rules::OptimisationResult> result;
    rbridge::PictureRun pictures;
    bool picturesDrawn = false;  // the files were written and R was asked to draw
    std::string error;           // the files' error, for the error box after the numbers
    std::string directoryNote;   // where the files went, when not the preferred folder
  };

  QWidget* BuildRuleButtons();
  QWidget* BuildOptimisationViews();
  QWidget* BuildEditor();
  QWidget* BuildRuleList();

  void ButtonPAClick();
  void ButtonLinKusClick();
  void ButtonLogistClick();
  void ButtonNonZonalClick() {}
  void btn2Click();
  void btn3Click();
  void Button8Click();
  void VariantRadioClick(std::size_t radio);
  void Button12Click();
  void Button20Click();
  void FinishOptimisation(OptimisationOutcome outcome);
  void Button22Click();
  void CheckBox2Click();
  void ComboBoxFNZChange();
  void UpDownAlphaClick();
  void UpDownBetaClick();
  void Pick(rules::Indicator indicator, bool withBeta);

  // The shape whose button is down.
  rules::RuleKind Shape() const;
  rules::RuleEditor Editor() const;
  rules::FTargetKind SelectedTarget() const;
  // The variant of the chosen model (the model-choice text), if any.
  std::optional<std::uint8_t> ChosenVariant() const;
  // Draws the rule on Chart4 with alpha and beta from their edits.
  void PlotRule(rules::RuleKind kind, std::uint8_t variant, rules::FTargetKind target);
  // Draws the rule of the shape that is down with the edits' texts.
  void RedrawRule();
  // As RedrawRule while a parameter is typed: an unreadable text shows no
  // rule (and «Добавить ПРП» refuses it) instead of an error box.
  void FollowTypedParameter();
  // The variant radios of the active variants, the previous one kept checked
  // when it is still active; nothing else is redrawn.
  void RebuildVariantRadios();
  // One radio button per active variant, none checked.
  void BuildVariantRadios();
  // The editor as a step left it: shape, α, β, target.
  void RestoreEditor(const rules::RuleEditor& editor);
  void ShowOptimisationViews(OptimisationView view);
  void ShowRuleList();
  // Alpha (beta) with its caption, up-down and range label.
  void ShowAlphaEditor(bool shown);
  void ShowBetaEditor(bool shown);
  // "Консервативные ПРП" is down: the rule is a constant F, not edited.
  bool Conservative() const;
  // Sets an up-down's position without running its click handler.
  static void SetPosition(QSpinBox* upDown, int position);

  ChartPanel* chart4_ = nullptr;
  QButtonGroup* shapeGroup_ = nullptr;
  QToolButton* buttonPA_ = nullptr;
  QToolButton* buttonLinKus_ = nullptr;
  QToolButton* buttonLogist_ = nullptr;
  QToolButton* buttonNonZonal_ = nullptr;
  QToolButton* btn2_ = nullptr;
  QToolButton* btn3_ = nullptr;
  QLabel* captionAlpha_ = nullptr;
  QLabel* captionBeta_ = nullptr;
  QLabel* labelAlpha_ = nullptr;
  QLineEdit* editAlpha_ = nullptr;
  QSpinBox* upDownAlpha_ = nullptr;
  QLabel* labelBeta_ = nullptr;
  QLineEdit* editBeta_ = nullptr;
  QSpinBox* upDownBeta_ = nullptr;
  QCheckBox* checkBox2_ = nullptr;
  QComboBox* comboFnz_ = nullptr;
  QPushButton* button12_ = nullptr;
  QPushButton* button20_ = nullptr;
  QPushButton* button22_ = nullptr;
  QLabel* lbl1_ = nullptr;
  QSpinBox* se1_ = nullptr;
  QProgressBar* g2_ = nullptr;
  QListWidget* listBox1_ = nullptr;
  QScrollArea* scrollBox2_ = nullptr;
  QWidget* optimisationViews_ = nullptr;
  std::array<ChartPanel*, 4> indicatorCharts_{};  // Chart8 … Chart11
  std::array<QLabel*, 4> images_{};               // img1 … img4

  std::vector<QRadioButton*> variantRadios_;  // VariantRadios, tag = ModelFits index
  std::uint8_t ruleVariant_ = 0;
  bool keepEditor_ = false;  // an opened assessment's editor, kept by the next showing
  std::function<int()> catchUnit_;
};

}  // namespace tarvik::app
