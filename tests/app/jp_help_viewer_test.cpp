#include "app/app_icon.h"
#include "app/jp_app_controller.h"
#include "app/jp_help_viewer.h"
#include "play/jp_window_controller.h"
#include "support/paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

#include <memory>

// Part of QtGui's public exports: offers a key press to the shortcut map the way a real
// key press is offered before it reaches the focused widget.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text = QString(), bool autorep = false, ushort count = 1);

namespace {

const QString kTitle = QStringLiteral("Tobbin Jigsaw Help");

struct HelpContents
{
    std::unique_ptr<QTextDocument> document = std::make_unique<QTextDocument>();
    QSet<QString> anchors;
    QStringList links;
    QStringList images;
};

// The help document as Qt's rich-text engine reads it, with what it names.
HelpContents parseHelp(const QString &path)
{
    HelpContents contents;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return contents;
    contents.document->setHtml(QString::fromUtf8(file.readAll()));
    for (QTextBlock block = contents.document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            for (const QString &name : format.anchorNames())
                contents.anchors.insert(name);
            if (format.isAnchor() && !format.anchorHref().isEmpty())
                contents.links << format.anchorHref();
            if (format.isImageFormat())
                contents.images << format.toImageFormat().name();
        }
    }
    return contents;
}

// The block holding the anchor; invalid when absent.
QTextBlock anchorBlock(QTextBrowser *browser, const QString &anchor)
{
    for (QTextBlock block = browser->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().anchorNames().contains(anchor))
                return block;
        }
    }
    return {};
}

// The top of the block holding the anchor, in document coordinates; -1 when absent.
int anchorTop(QTextBrowser *browser, const QString &anchor)
{
    const QTextBlock block = anchorBlock(browser, anchor);
    if (!block.isValid())
        return -1;
    return int(browser->document()->documentLayout()->blockBoundingRect(block).top());
}

int scrollPosition(const JPHelpViewer &viewer)
{
    return viewer.browser()->verticalScrollBar()->value();
}

void pressKey(QWidget *target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString &text = {})
{
    if (qt_sendShortcutOverrideEvent(target, 0, key, modifiers, text))
        return;
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers, text);
    QApplication::sendEvent(target, &release);
}

void typeText(QWidget *target, const QString &text)
{
    for (const QChar c : text)
        pressKey(target, QKeySequence(QString(c))[0].key(), Qt::NoModifier, QString(c));
}

// A viewer on screen and active, so that its window shortcuts take keys.
void showActive(JPHelpViewer &viewer)
{
    viewer.resize(720, 560);
    viewer.show();
    viewer.activateWindow();
    QApplication::setActiveWindow(&viewer);
    QApplication::processEvents();
}

int countOccurrences(const QString &text, const QString &word)
{
    return int(text.count(word, Qt::CaseInsensitive));
}

}

TEST(HelpDocument, ParsesWithItsTitleAndAnAnchorForEveryTopic)
{
    const QString path = ResourcePath(QStringLiteral("help/help.html"));
    ASSERT_FALSE(path.isEmpty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(file.readAll());
    EXPECT_FALSE(utf8.hasError());

    const HelpContents help = parseHelp(path);
    EXPECT_EQ(help.document->metaInformation(QTextDocument::DocumentTitle), kTitle);
    QSet<QString> topicAnchors;
    for (int topic = 0; topic < JPHelpViewer::TopicCount; ++topic) {
        const QString anchor = JPHelpViewer::anchorForTopic(topic);
        EXPECT_TRUE(help.anchors.contains(anchor)) << anchor.toStdString();
        topicAnchors.insert(anchor);
    }
    EXPECT_EQ(topicAnchors.size(), JPHelpViewer::TopicCount) << "two topics share an anchor";
    EXPECT_EQ(JPHelpViewer::anchorForTopic(JPHelpViewer::TopicChoosingPicture), QStringLiteral("choosing-a-picture"));
    for (int unknown : {-1, int(JPHelpViewer::TopicCount), 1000})
        EXPECT_EQ(JPHelpViewer::anchorForTopic(unknown), JPHelpViewer::anchorForTopic(JPHelpViewer::TopicStart));
}

TEST(HelpDocument, EveryLinkLeadsToAnAnchorAndEveryPictureLoads)
{
    const QString path = ResourcePath(QStringLiteral("help/help.html"));
    const HelpContents help = parseHelp(path);
    EXPECT_GT(help.links.size(), int(JPHelpViewer::TopicCount)) << "the contents link every topic";
    for (const QString &link : help.links) {
        ASSERT_TRUE(link.startsWith(QLatin1Char('#'))) << link.toStdString();
        EXPECT_TRUE(help.anchors.contains(link.mid(1))) << link.toStdString();
    }
    ASSERT_FALSE(help.images.isEmpty());
    const QDir folder = QFileInfo(path).dir();
    for (const QString &image : help.images) {
        QImageReader reader(folder.filePath(image));
        EXPECT_FALSE(reader.read().isNull()) << image.toStdString();
    }
}

TEST(HelpDocument, NamesEveryCommandAndShortcutOfTheGameWindow)
{
    JPAppController::sharedInstance()->applicationDidFinishLaunching();
    JPWindowController *window = JPAppController::sharedInstance()->windowController();
    ASSERT_TRUE(window);
    const QString text = parseHelp(ResourcePath(QStringLiteral("help/help.html"))).document->toPlainText();
    const QList<QAction *> windowActions = window->actions();
    QSet<QAction *> actions(windowActions.begin(), windowActions.end());
    for (const QMenu *menu : window->findChildren<QMenu *>())
        for (QAction *action : menu->actions())
            actions.insert(action);
    int checked = 0;
    for (QAction *action : actions) {
        if (action->shortcut().isEmpty())
            continue;
        const QString title = action->text().remove(QLatin1Char('&'));
        const QString keys = action->shortcut().toString(QKeySequence::PortableText);
        EXPECT_TRUE(text.contains(title)) << title.toStdString();
        EXPECT_TRUE(text.contains(keys)) << title.toStdString() << ": " << keys.toStdString();
        ++checked;
    }
    EXPECT_GE(checked, 13);
}

TEST(HelpViewer, LoadsTheShippedDocument)
{
    JPHelpViewer viewer;
    EXPECT_TRUE(viewer.isLoaded());
    EXPECT_EQ(viewer.documentPath(), ResourcePath(QStringLiteral("help/help.html")));
    EXPECT_EQ(viewer.browser()->documentTitle(), kTitle);
    EXPECT_EQ(QFileInfo(viewer.browser()->source().toLocalFile()), QFileInfo(viewer.documentPath()));
    EXPECT_FALSE(viewer.isFindBarShown());
}

TEST(HelpViewer, AMissingDocumentIsReportedAndEverythingStillWorks)
{
    JPHelpViewer viewer(QDir(tj::test::freshFolder()).filePath(QStringLiteral("absent.html")));
    EXPECT_FALSE(viewer.isLoaded());
    EXPECT_TRUE(viewer.browser()->toPlainText().contains(QStringLiteral("help file is missing")));
    viewer.showTopic(JPHelpViewer::TopicTurning);
    viewer.goHome();
    viewer.showFindBar();
    viewer.findField()->setText(QStringLiteral("missing"));
    EXPECT_TRUE(viewer.findNext());
    viewer.findField()->setText(QStringLiteral("rotation"));
    EXPECT_FALSE(viewer.findNext());
    EXPECT_EQ(viewer.findStatus(), QStringLiteral("Not found"));
}

TEST(HelpViewer, EachTopicOpensAtItsHeadingAndHistoryReturnsToIt)
{
    JPHelpViewer viewer;
    viewer.resize(720, 480);
    int previous = -1;
    for (int topic = 0; topic < JPHelpViewer::TopicCount; ++topic) {
        viewer.showTopic(topic);
        EXPECT_EQ(viewer.browser()->isBackwardAvailable(), topic > 0) << "loading is no page to go back to";
        const int top = anchorTop(viewer.browser(), JPHelpViewer::anchorForTopic(topic));
        ASSERT_GE(top, 0);
        const int position = scrollPosition(viewer);
        const QScrollBar *bar = viewer.browser()->verticalScrollBar();
        // A heading near the end can't reach the top; then the view is at the bottom.
        if (position < bar->maximum())
            EXPECT_NEAR(position, top, 40) << JPHelpViewer::anchorForTopic(topic).toStdString();
        else
            EXPECT_LE(position, top + 40);
        EXPECT_GE(position, previous) << "topics follow the document's order";
        previous = position;
    }
    EXPECT_GT(previous, 0);

    viewer.showTopic(JPHelpViewer::TopicTurning);
    const int turning = scrollPosition(viewer);
    viewer.showTopic(JPHelpViewer::TopicStorage);
    const int storage = scrollPosition(viewer);
    ASSERT_GT(storage, turning);
    viewer.browser()->backward();
    EXPECT_EQ(scrollPosition(viewer), turning);
    viewer.browser()->forward();
    EXPECT_EQ(scrollPosition(viewer), storage);
    viewer.goHome();
    EXPECT_EQ(scrollPosition(viewer), 0);
}

TEST(HelpViewer, FindSelectsEachMatchInTurnMarksTheOthersAndWraps)
{
    JPHelpViewer viewer;
    viewer.showFindBar();
    const QString word = QStringLiteral("gather");
    const int expected = countOccurrences(viewer.browser()->toPlainText(), word);
    ASSERT_GE(expected, 3);
    viewer.findField()->setText(word);

    QList<int> starts;
    for (int i = 0; i < expected; ++i) {
        ASSERT_TRUE(viewer.findNext());
        const QTextCursor cursor = viewer.browser()->textCursor();
        EXPECT_EQ(cursor.selectedText().toLower(), word);
        if (!starts.isEmpty()) {
            EXPECT_GT(cursor.selectionStart(), starts.last());
        }
        starts << cursor.selectionStart();
        const auto marks = viewer.browser()->extraSelections();
        EXPECT_EQ(marks.size(), expected - 1);
        for (const auto &mark : marks)
            EXPECT_EQ(mark.cursor.selectedText().toLower(), word);
    }
    EXPECT_EQ(viewer.findStatus(), QStringLiteral("%1 matches").arg(expected));
    ASSERT_TRUE(viewer.findNext());
    EXPECT_EQ(viewer.browser()->textCursor().selectionStart(), starts.first()) << "wraps to the first match";
    ASSERT_TRUE(viewer.findPrevious());
    EXPECT_EQ(viewer.browser()->textCursor().selectionStart(), starts.last()) << "wraps back to the last";
    ASSERT_TRUE(viewer.findPrevious());
    EXPECT_EQ(viewer.browser()->textCursor().selectionStart(), starts[starts.size() - 2]);

    viewer.findField()->setText(QStringLiteral("xylophone"));
    EXPECT_FALSE(viewer.findNext());
    EXPECT_EQ(viewer.findStatus(), QStringLiteral("Not found"));
    EXPECT_TRUE(viewer.browser()->extraSelections().isEmpty());
    viewer.findField()->clear();
    EXPECT_FALSE(viewer.findNext());
    EXPECT_TRUE(viewer.findStatus().isEmpty());
}

TEST(HelpViewer, ANewSearchStartsAtThePartOnScreen)
{
    JPHelpViewer viewer;
    viewer.resize(720, 480);
    viewer.showTopic(JPHelpViewer::TopicFinishing);
    const QString anchor = JPHelpViewer::anchorForTopic(JPHelpViewer::TopicFinishing);
    const QTextBlock heading = anchorBlock(viewer.browser(), anchor);
    ASSERT_TRUE(heading.isValid());
    viewer.showFindBar();
    viewer.findField()->setText(QStringLiteral("ctrl"));
    ASSERT_TRUE(viewer.findNext());
    EXPECT_GT(viewer.browser()->textCursor().selectionStart(), heading.position());
}

TEST(HelpViewer, KeysOpenSearchAndCloseTheFindBar)
{
    JPHelpViewer viewer;
    showActive(viewer);
    ASSERT_EQ(QApplication::activeWindow(), &viewer);
    viewer.browser()->setFocus();

    pressKey(viewer.browser(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(viewer.isFindBarShown());
    EXPECT_TRUE(viewer.findField()->hasFocus());

    // Typing searches as it goes, so the first match is selected by the time the word is in.
    typeText(viewer.findField(), QStringLiteral("pinned"));
    EXPECT_EQ(viewer.findField()->text(), QStringLiteral("pinned"));
    const int first = viewer.browser()->textCursor().selectionStart();
    EXPECT_EQ(viewer.browser()->textCursor().selectedText().toLower(), QStringLiteral("pinned"));
    pressKey(viewer.findField(), Qt::Key_Return);
    const int second = viewer.browser()->textCursor().selectionStart();
    EXPECT_GT(second, first);
    pressKey(viewer.findField(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(viewer.browser()->textCursor().selectionStart(), first);

    pressKey(viewer.findField(), Qt::Key_Escape);
    EXPECT_FALSE(viewer.isFindBarShown());
    EXPECT_TRUE(viewer.browser()->extraSelections().isEmpty());
}

TEST(ApplicationIcon, ShippedAtEverySizeAsAPieceOnATransparentGround)
{
    for (int size : kApplicationIconSizes) {
        const QString path = ResourcePath(ApplicationIconResource(size));
        ASSERT_FALSE(path.isEmpty()) << size;
        const QImage image = QImage(path).convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(size, size));
        for (QPoint corner : {QPoint(0, 0), QPoint(size - 1, 0), QPoint(0, size - 1), QPoint(size - 1, size - 1)})
            EXPECT_LT(qAlpha(image.pixel(corner)), 16) << size;
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << size;
        qint64 opaque = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x)
                opaque += qAlpha(image.pixel(x, y)) > 128;
        const double cover = double(opaque) / (size * size);
        EXPECT_GT(cover, 0.35) << size;
        EXPECT_LT(cover, 0.85) << size;
    }
    const QIcon icon = ApplicationIcon();
    ASSERT_FALSE(icon.isNull());
    for (int size : kApplicationIconSizes)
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
}

TEST(ApplicationIcon, DesktopEntryLaunchesTheGameWithThatIcon)
{
    QFile file(ResourcePath(QStringLiteral("tobbin-jigsaw.desktop")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("[Desktop Entry]"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Name=Tobbin Jigsaw")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Exec=tobbin-jigsaw")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Categories=Game;LogicGame;")));
    const QString icon = lines.filter(QRegularExpression(QStringLiteral("^Icon="))).value(0).mid(5);
    EXPECT_EQ(QFileInfo(ApplicationIconResource(48)).completeBaseName(), icon);
}
