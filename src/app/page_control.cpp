#include "app/page_control.h"

#include <algorithm>

#include <QFontMetrics>
#include <QSignalBlocker>
#include <QStringList>
#include <QStyleOptionTab>
#include <QVBoxLayout>

namespace tarvik::app {

namespace {

// The caption broken at the blank that makes its longer line shortest; a
// single word stays on one line.
QString TwoLines(const QString& caption, const QFontMetrics& metrics) {
  const QStringList words = caption.split(' ');
  if (words.size() < 2) return caption;
  QString best = caption;
  int bestWidth = -1;
  for (qsizetype cut = 1; cut < words.size(); ++cut) {
    const QString first = words.mid(0, cut).join(' ');
    const QString second = words.mid(cut).join(' ');
    const int width = std::max(metrics.horizontalAdvance(first), metrics.horizontalAdvance(second));
    if (bestWidth < 0 || width < bestWidth) {
      bestWidth = width;
      best = first + '\n' + second;
    }
  }
  return best;
}

// Tabs whose captions are drawn on two lines, so that all six long page
// captions fit the window side by side without scroll arrows or cut-off
// text. tabText() keeps the caption itself.
// Until SetTwoLines(true) it is a plain tab bar.
class TwoLineTabBar final : public QTabBar {
 public:
  using QTabBar::QTabBar;

  void SetTwoLines(bool twoLines) { twoLines_ = twoLines; }

 protected:
  void initStyleOption(QStyleOptionTab* option, int tabIndex) const override {
    QTabBar::initStyleOption(option, tabIndex);
    if (twoLines_) option->text = TwoLines(tabText(tabIndex), fontMetrics());
  }

  QSize tabSizeHint(int index) const override {
    // The base size holds the caption on one line; swap in the two lines.
    const QSize base = QTabBar::tabSizeHint(index);
    if (!twoLines_) return base;
    const QFontMetrics metrics = fontMetrics();
    const QString caption = tabText(index);
    const QSize oneLine = metrics.size(Qt::TextShowMnemonic, caption);
    const QSize twoLines = metrics.size(Qt::TextShowMnemonic, TwoLines(caption, metrics));
    // Every tab as tall as a two-line one, so the bar's edge stays straight.
    const int twoLineHeight = 2 * metrics.height() + metrics.leading();
    return {base.width() - oneLine.width() + twoLines.width(),
            base.height() - oneLine.height() + std::max(twoLines.height(), twoLineHeight)};
  }

  QSize minimumTabSizeHint(int index) const override {
    return twoLines_ ? tabSizeHint(index) : QTabBar::minimumTabSizeHint(index);
  }

 private:
  bool twoLines_ = false;
};

}  // namespace

PageControl::PageControl(QWidget* parent) : QWidget(parent) {
  tabs_ = new TwoLineTabBar(this);
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

void PageControl::ShowTabsWhole() {
  static_cast<TwoLineTabBar*>(tabs_)->SetTwoLines(true);
  // Never scrolled nor shortened: the control is as wide as its visible tabs.
  tabs_->setElideMode(Qt::ElideNone);
  tabs_->setUsesScrollButtons(false);
}

void PageControl::SetSmallestSize(const QSize& size) {
  smallest_ = size;
  updateGeometry();
}

QSize PageControl::minimumSizeHint() const {
  return QWidget::minimumSizeHint().expandedTo(smallest_);
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
