#pragma once

#include <QStackedWidget>
#include <QTabBar>
#include <QWidget>

namespace tarvik::app {

// A page control whose pages can be brought to the front while their tab is
// hidden: the tabs and the pages are kept apart (a tab bar over a stack), so
// a page without a visible tab can still be the page shown. Clicking a tab
// always brings its page to the front, also when the tab is already the
// current one of the bar.
class PageControl : public QWidget {
  Q_OBJECT

 public:
  explicit PageControl(QWidget* parent = nullptr);

  // Appends a page with its tab caption; returns its index.
  int AddPage(QWidget* page, const QString& caption);

  int Count() const { return stack_->count(); }
  QWidget* Page(int index) const { return stack_->widget(index); }

  void SetTabVisible(int index, bool visible);
  bool IsTabVisible(int index) const { return tabs_->isTabVisible(index); }

  // Makes the page the active one, whether or not its tab is visible.
  void BringToFront(int index);
  int ActivePage() const { return stack_->currentIndex(); }

  QTabBar* TabBar() const { return tabs_; }

  // Tab captions drawn on two lines (broken at a blank), never scrolled or
  // shortened, so that long captions side by side are all seen whole; the
  // control is then at least as wide as its visible tabs. Called before
  // pages are added.
  void ShowTabsWhole();

  // The control is never made smaller than this (nor than its pages and
  // tabs need).
  void SetSmallestSize(const QSize& size);
  QSize minimumSizeHint() const override;

 signals:
  // A page became the active page (the page's "show" event).
  void PageShown(int index);

 private:
  QTabBar* tabs_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  bool syncing_ = false;
  QSize smallest_;
};

}  // namespace tarvik::app
