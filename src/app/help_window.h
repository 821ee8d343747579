#pragma once

#include <QString>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QUrl>
#include <QWidget>

namespace tarvik::app {

// The user guide's main file (Markdown): "../share/tarvik/guide/README.md"
// beside the program's folder when it is installed (wherever the prefix
// is), otherwise the source tree's docs/guide/README.md (a program run from
// its build tree). Empty when neither exists.
QString GuideFile();

// The anchor of a heading as the guide's links (and GitHub) spell it: lower
// case, blanks as "-", other punctuation dropped ("1. Данные" → "1-данные").
QString HeadingAnchor(const QString& heading);

// The guide section that explains page `page` (PageIndex order).
QString PageSection(int page);

// A text browser of the guide in which every heading is a link target
// under its HeadingAnchor (Qt's Markdown reader makes none), so that
// "README.md#данные" and the guide's own links "#…" open at the heading, and
// whose pictures (window screenshots) are drawn at most kPictureWidth wide.
class GuideBrowser : public QTextBrowser {
  Q_OBJECT

 public:
  using QTextBrowser::QTextBrowser;

  // The anchor of the last heading at or above the top of the view (empty
  // before the first heading).
  QString SectionShown() const;

  static constexpr int kPictureWidth = 640;

  // Back and forward open the section at its heading.
  void backward() override;
  void forward() override;

 protected:
  void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

 private:
  // Names the headings and narrows the pictures of a newly read guide.
  void PrepareDocument();
};

// The guide window: the contents (the guide's headings) at the side, the
// text with its pictures, back and forward. Not modal; one per main window.
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Shows the window with the guide at the heading `anchor`; when the guide
  // is missing, the text says where it was looked for.
  void ShowSection(const QString& anchor);

  GuideBrowser* Browser() const { return browser_; }
  QTreeWidget* Contents() const { return contents_; }

 private:
  void FillContents();

  GuideBrowser* browser_ = nullptr;
  QTreeWidget* contents_ = nullptr;
  QUrl guide_;
};

}  // namespace tarvik::app
