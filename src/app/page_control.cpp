#include "app/page_control.h"

#include <QSignalBlocker>
#include <QVBoxLayout>

namespace tarvik::app {

PageControl::PageControl(QWidget* parent) : QWidget(parent) {
  tabs_ = new QTabBar(this);
  tabs_->setObjectName("PageControlTabs");
  tabs_->setExpanding(false);
  tabs_->setDrawBase(true);
  tabs_->setDocumentMode(false);
  stack_ = new QStackedWidget(this);
  stack_->setObjectName("PageControlPages");
  stack_->setFrameShape(QFrame::StyledPanel);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(tabs_);
  layout->addWidget(stack_, 1);

  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (!syncing_ && index >= 0) BringToFront(index);
  });
  connect(tabs_, &QTabBar::tabBarClicked, this, [this](int index) {
    if (index >= 0) BringToFront(index);
  });
  connect(stack_, &QStackedWidget::currentChanged, this, [this](int index) {
    if (index >= 0) emit PageShown(index);
  });
}

int PageControl::AddPage(QWidget* page, const QString& caption) {
  const QSignalBlocker blockTabs(tabs_);
  const int index = stack_->addWidget(page);
  tabs_->addTab(caption);
  return index;
}

void PageControl::SetTabVisible(int index, bool visible) {
  // Hiding the current tab makes the bar pick another; the page shown must
  // not change with it.
  syncing_ = true;
  tabs_->setTabVisible(index, visible);
  if (tabs_->isTabVisible(stack_->currentIndex())) tabs_->setCurrentIndex(stack_->currentIndex());
  syncing_ = false;
}

void PageControl::BringToFront(int index) {
  if (index < 0 || index >= stack_->count()) return;
  // The bar marks the page's tab when it is visible; a hidden tab cannot be
  // marked, and then the bar keeps its mark while the page is in front.
  if (tabs_->isTabVisible(index) && tabs_->currentIndex() != index) {
    syncing_ = true;
    tabs_->setCurrentIndex(index);
    syncing_ = false;
  }
  stack_->setCurrentIndex(index);
}

}  // namespace tarvik::app
