#include "app/help_window.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTextBlock>
#include <QTextCursor>
#include <QToolBar>
#include <QVBoxLayout>
#include <iterator>

namespace tarvik::app {

namespace {

const QString kGuideName = QStringLiteral("README.md");

// The headings of the guide named in PageSection, in PageIndex order.
const char* const kPageHeadings[] = {
    "Страница 1. Данные",
    "Страница 2. Оценка параметров модели",
    "Страница 3. Оценка ориентиров управления",
    "Страница 4. Правило регулирования промысла",
    "Страница 5. Коэффициенты эффективности",
    "Страница 6. Обоснование ОДУ",
};

}  // namespace

QString GuideFile() {
  const QString installed = QDir(QCoreApplication::applicationDirPath())
                                .filePath(QStringLiteral("../share/tarvik/guide/") + kGuideName);
  if (QFileInfo::exists(installed)) return QDir::cleanPath(installed);
#ifdef TARVIK_GUIDE_SOURCE_DIR
  const QString source = QStringLiteral(TARVIK_GUIDE_SOURCE_DIR "/") + kGuideName;
  if (QFileInfo::exists(source)) return source;
#endif
  return {};
}

QString HeadingAnchor(const QString& heading) {
  QString anchor;
  for (const QChar ch : heading.trimmed().toLower()) {
    if (ch.isLetterOrNumber() || ch == QLatin1Char('-') || ch == QLatin1Char('_')) {
      anchor += ch;
    } else if (ch.isSpace()) {
      anchor += QLatin1Char('-');
    }
  }
  return anchor;
}

QString PageSection(int page) {
  if (page < 0 || page >= static_cast<int>(std::size(kPageHeadings))) return {};
  return HeadingAnchor(QString::fromUtf8(kPageHeadings[page]));
}

void GuideBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
  QTextBrowser::doSetSource(name, type);
  PrepareDocument();
  if (name.hasFragment()) scrollToAnchor(name.fragment());
}

// The view's history reads the guide anew, past doSetSource.
void GuideBrowser::backward() {
  QTextBrowser::backward();
  PrepareDocument();
  if (source().hasFragment()) scrollToAnchor(source().fragment());
}

void GuideBrowser::forward() {
  QTextBrowser::forward();
  PrepareDocument();
  if (source().hasFragment()) scrollToAnchor(source().fragment());
}

void GuideBrowser::PrepareDocument() {
  QTextCursor cursor(document());
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      QTextImageFormat image = fragment.charFormat().toImageFormat();
      if (!image.isValid() || image.hasProperty(QTextFormat::ImageWidth)) continue;
      const QImage picture =
          document()->resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
      if (picture.isNull() || picture.width() <= kPictureWidth) continue;
      image.setWidth(kPictureWidth);
      image.setHeight(kPictureWidth * picture.height() / double(picture.width()));
      cursor.setPosition(fragment.position());
      cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
      cursor.setCharFormat(image);
    }
    if (block.blockFormat().headingLevel() == 0 || block.length() <= 1) continue;
    const QString anchor = HeadingAnchor(block.text());
    if (block.begin().fragment().charFormat().anchorNames().contains(anchor)) continue;
    cursor.setPosition(block.position());
    cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorNames({anchor});
    cursor.mergeCharFormat(format);
  }
}

QString GuideBrowser::SectionShown() const {
  const int top = verticalScrollBar()->value();
  QAbstractTextDocumentLayout* layout = document()->documentLayout();
  QString shown;
  for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
    // A heading counts once its top is within a line of the view's top.
    if (layout->blockBoundingRect(block).top() > top + 2) break;
    if (block.blockFormat().headingLevel() > 0) shown = HeadingAnchor(block.text());
  }
  return shown;
}

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpWindow");
  setWindowTitle(QStringLiteral("Руководство — Tarvik"));
  resize(1000, 720);

  browser_ = new GuideBrowser();
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenExternalLinks(true);
  contents_ = new QTreeWidget();
  contents_->setObjectName("HelpContents");
  contents_->setHeaderHidden(true);
  contents_->setMinimumWidth(220);

  auto* tools = new QToolBar();
  QAction* back = tools->addAction(style()->standardIcon(QStyle::SP_ArrowBack),
                                   QStringLiteral("Назад"), browser_, &QTextBrowser::backward);
  back->setObjectName("HelpBack");
  back->setShortcut(QKeySequence::Back);
  back->setEnabled(false);
  QAction* forward = tools->addAction(style()->standardIcon(QStyle::SP_ArrowForward),
                                      QStringLiteral("Вперёд"), browser_, &QTextBrowser::forward);
  forward->setObjectName("HelpForward");
  forward->setShortcut(QKeySequence::Forward);
  forward->setEnabled(false);
  tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  connect(browser_, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
  connect(browser_, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
  connect(contents_, &QTreeWidget::itemActivated, this,
          [this](QTreeWidgetItem* item) { ShowSection(item->data(0, Qt::UserRole).toString()); });
  connect(contents_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { ShowSection(item->data(0, Qt::UserRole).toString()); });

  auto* splitter = new QSplitter();
  splitter->addWidget(contents_);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({260, 740});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(tools);
  layout->addWidget(splitter, 1);

  const QString file = GuideFile();
  if (file.isEmpty()) {
    browser_->setPlainText(
        QStringLiteral("Руководство не найдено. Оно ищется в папке «%1» рядом с папкой "
                       "программы.")
            .arg(QDir::toNativeSeparators(
                QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                QStringLiteral("/../share/tarvik/guide")))));
    return;
  }
  guide_ = QUrl::fromLocalFile(file);
  browser_->setSource(guide_, QTextDocument::MarkdownResource);
  FillContents();
}

void HelpWindow::FillContents() {
  contents_->clear();
  QTreeWidgetItem* parents[3] = {nullptr, nullptr, nullptr};
  for (QTextBlock block = browser_->document()->begin(); block.isValid(); block = block.next()) {
    const int level = block.blockFormat().headingLevel();
    if (level < 1 || level > 3 || block.text().trimmed().isEmpty()) continue;
    QTreeWidgetItem* parent = nullptr;
    for (int up = level - 2; up >= 0 && parent == nullptr; --up) parent = parents[up];
    auto* item = parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(contents_);
    item->setText(0, block.text());
    item->setData(0, Qt::UserRole, HeadingAnchor(block.text()));
    parents[level - 1] = item;
    for (int down = level; down < 3; ++down) parents[down] = nullptr;
  }
  contents_->expandToDepth(0);
}

void HelpWindow::ShowSection(const QString& anchor) {
  if (!guide_.isEmpty()) {
    QUrl url = guide_;
    url.setFragment(anchor);
    browser_->setSource(url, QTextDocument::MarkdownResource);
  }
  show();
  raise();
  activateWindow();
}

}  // namespace tarvik::app
