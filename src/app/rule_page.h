#pragma once

#include <QListWidget>
#include <QScrollArea>

#include "app/chart_panel.h"
#include "app/page.h"

namespace tarvik::app {

// Page 4 "Правило регулирования промысла": drawing, adding and optimising
// harvest control rules for the chosen model variant.
class RulePage : public Page {
  Q_OBJECT

 public:
  explicit RulePage(PageContext context, QWidget* parent = nullptr);

  // TabSheet4Show.
  void Shown() override;

 signals:
  // A rule was added to or deleted from the rule list; the page of
  // performance coefficients lays out its table again.
  void RuleListChanged();

 private:
  QWidget* BuildRuleButtons();
  QWidget* BuildOptimisationPictures();

  void ButtonPAClick() {}
  void ButtonLinKusClick() {}
  void ButtonLogistClick() {}
  void ButtonNonZonalClick() {}
  void btn2Click() {}
  void btn3Click() {}
  void Button8Click() {}
  void Button12Click() {}
  void Button20Click() {}
  void Button22Click() {}
  void CheckBox2Click() {}
  void ComboBoxFNZChange() {}
  void UpDownAlphaClick() {}
  void UpDownBetaClick() {}

  ChartPanel* chart4_ = nullptr;
  QListWidget* listBox1_ = nullptr;
  QScrollArea* scrollBox2_ = nullptr;
};

}  // namespace tarvik::app
