#include "app/app_icon.h"
#include "app/jp_app_controller.h"
#include "app/jp_help_viewer.h"
#include "play/jp_window_controller.h"
#include "support/paths.h"
#include "test_helpers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSet>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

// Part of QtGui's public exports: offers a key press to the shortcut map the way a real
// key press is offered before it reaches the focused widget.
Q_GUI_EXPORT bool qt_sendShortcutOverrideEvent(QObject *o, ulong timestamp, int k, Qt::KeyboardModifiers mods,
                                               const QString &text = QString(), bool autorep = false, ushort count = 1);

namespace {

QString helpPath()
{
    return ResourcePath(QStringLiteral("help/help.html"));
}

// Calls visit with each block of the document and the character format of each of its fragments.
template <typename Visit> void forEachFormat(const QTextDocument *document, Visit visit)
{
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            visit(block, it.fragment().charFormat());
}

// The block holding the anchor; invalid when absent.
QTextBlock anchorBlock(QTextBrowser *browser, const QString &anchor)
{
    QTextBlock found;
    forEachFormat(browser->document(), [&](const QTextBlock &block, const QTextCharFormat &format) {
        if (!found.isValid() && format.anchorNames().contains(anchor))
            found = block;
    });
    return found;
}

int scrollPosition(const JPHelpViewer &viewer)
{
    return viewer.browser()->verticalScrollBar()->value();
}

int selectionStart(const JPHelpViewer &viewer)
{
    return viewer.browser()->textCursor().selectionStart();
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

}

TEST(HelpDocument, IsUtf8AndEveryTopicLinkAndPictureResolves)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QTextDocument document;
    document.setHtml(utf8(tj::test::readFile(helpPath())));
    EXPECT_FALSE(utf8.hasError());
    QSet<QString> anchors;
    QStringList links, images;
    forEachFormat(&document, [&](const QTextBlock &, const QTextCharFormat &format) {
        for (const QString &name : format.anchorNames())
            anchors.insert(name);
        if (format.isAnchor() && !format.anchorHref().isEmpty())
            links << format.anchorHref();
        if (format.isImageFormat())
            images << format.toImageFormat().name();
    });

    QSet<QString> topicAnchors;
    for (int topic = 0; topic < JPHelpViewer::TopicCount; ++topic)
        topicAnchors.insert(JPHelpViewer::anchorForTopic(topic));
    EXPECT_EQ(topicAnchors.size(), JPHelpViewer::TopicCount) << "two topics share an anchor";
    EXPECT_TRUE(anchors.contains(topicAnchors));
    for (int unknown : {-1, int(JPHelpViewer::TopicCount), 1000})
        EXPECT_EQ(JPHelpViewer::anchorForTopic(unknown), JPHelpViewer::anchorForTopic(JPHelpViewer::TopicStart));

    EXPECT_GT(links.size(), int(JPHelpViewer::TopicCount)) << "the contents link every topic";
    for (const QString &link : links)
        EXPECT_TRUE(link.startsWith(QLatin1Char('#')) && anchors.contains(link.mid(1))) << link.toStdString();
    ASSERT_FALSE(images.isEmpty());
    for (const QString &image : images)
        EXPECT_FALSE(QImageReader(QFileInfo(helpPath()).dir().filePath(image)).read().isNull()) << image.toStdString();
}

TEST(HelpDocument, NamesEveryCommandAndShortcutOfTheGameWindow)
{
    JPAppController::sharedInstance()->applicationDidFinishLaunching();
    JPWindowController *window = JPAppController::sharedInstance()->windowController();
    ASSERT_TRUE(window);
    const QString text = JPHelpViewer().browser()->toPlainText();
    QList<QAction *> actions = window->actions();
    for (const QMenu *menu : window->findChildren<QMenu *>())
        actions += menu->actions();
    QSet<QString> checked;
    for (QAction *action : actions) {
        if (action->shortcut().isEmpty())
            continue;
        const QString title = action->text().remove(QLatin1Char('&'));
        const QString keys = action->shortcut().toString(QKeySequence::PortableText);
        EXPECT_TRUE(text.contains(title) && text.contains(keys)) << title.toStdString() << ": " << keys.toStdString();
        checked.insert(title);
    }
    EXPECT_GE(checked.size(), 13);
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

TEST(HelpViewer, EachTopicOpensAtItsHeadingAndANewSearchStartsThere)
{
    JPHelpViewer viewer;
    EXPECT_TRUE(viewer.isLoaded());
    EXPECT_EQ(viewer.documentPath(), helpPath());
    EXPECT_EQ(viewer.browser()->documentTitle(), QStringLiteral("Tobbin Jigsaw Help"));
    EXPECT_EQ(QFileInfo(viewer.browser()->source().toLocalFile()), QFileInfo(helpPath()));
    EXPECT_FALSE(viewer.isFindBarShown());
    viewer.resize(720, 480);
    int previous = -1;
    for (int topic = 0; topic < JPHelpViewer::TopicCount; ++topic) {
        viewer.showTopic(topic);
        EXPECT_EQ(viewer.browser()->isBackwardAvailable(), topic > 0) << "loading is no page to go back to";
        const QTextBlock heading = anchorBlock(viewer.browser(), JPHelpViewer::anchorForTopic(topic));
        ASSERT_TRUE(heading.isValid()) << topic;
        const int top = int(viewer.browser()->document()->documentLayout()->blockBoundingRect(heading).top());
        const int position = scrollPosition(viewer);
        // A heading near the end can't reach the top; then the view is at the bottom.
        if (position < viewer.browser()->verticalScrollBar()->maximum())
            EXPECT_NEAR(position, top, 40) << topic;
        else
            EXPECT_LE(position, top + 40);
        EXPECT_GE(position, previous) << "topics follow the document's order";
        previous = position;
    }
    EXPECT_GT(previous, 0);

    viewer.goHome();
    EXPECT_EQ(scrollPosition(viewer), 0);

    // A new search starts at the part on screen.
    viewer.showTopic(JPHelpViewer::TopicFinishing);
    viewer.showFindBar();
    viewer.findField()->setText(QStringLiteral("ctrl"));
    ASSERT_TRUE(viewer.findNext());
    const QString finishing = JPHelpViewer::anchorForTopic(JPHelpViewer::TopicFinishing);
    EXPECT_GT(selectionStart(viewer), anchorBlock(viewer.browser(), finishing).position());
}

// Driven by keys as a reader would: Ctrl+F, typing, Return, Shift+Return and Escape.
TEST(HelpViewer, FindSelectsEachMatchInTurnMarksTheOthersAndWraps)
{
    JPHelpViewer viewer;
    viewer.show();
    viewer.activateWindow();
    QApplication::setActiveWindow(&viewer);
    QApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &viewer);
    viewer.browser()->setFocus();
    pressKey(viewer.browser(), Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(viewer.isFindBarShown());
    EXPECT_TRUE(viewer.findField()->hasFocus());

    const QString word = QStringLiteral("gather");
    const int expected = int(viewer.browser()->toPlainText().count(word, Qt::CaseInsensitive));
    ASSERT_GE(expected, 3);
    // Typing searches as it goes, so the first match is selected by the time the word is in.
    for (const QChar c : word)
        pressKey(viewer.findField(), QKeySequence(QString(c))[0].key(), Qt::NoModifier, QString(c));
    EXPECT_EQ(viewer.findField()->text(), word);
    QList<int> starts{-1};
    for (int i = 0; i < expected; ++i) {
        if (i > 0)
            pressKey(viewer.findField(), Qt::Key_Return);
        EXPECT_EQ(viewer.browser()->textCursor().selectedText().toLower(), word);
        EXPECT_GT(selectionStart(viewer), starts.last());
        starts << selectionStart(viewer);
        const auto marks = viewer.browser()->extraSelections();
        EXPECT_EQ(marks.size(), expected - 1);
        for (const auto &mark : marks)
            EXPECT_EQ(mark.cursor.selectedText().toLower(), word);
    }
    EXPECT_EQ(viewer.findStatus(), QStringLiteral("%1 matches").arg(expected));
    ASSERT_TRUE(viewer.findNext());
    EXPECT_EQ(selectionStart(viewer), starts[1]) << "wraps to the first match";
    pressKey(viewer.findField(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(selectionStart(viewer), starts.last()) << "wraps back to the last";
    ASSERT_TRUE(viewer.findPrevious());
    EXPECT_EQ(selectionStart(viewer), starts[starts.size() - 2]);
    pressKey(viewer.findField(), Qt::Key_Escape);
    EXPECT_FALSE(viewer.isFindBarShown());
    EXPECT_TRUE(viewer.browser()->extraSelections().isEmpty());

    ASSERT_TRUE(viewer.findNext());
    viewer.findField()->setText(QStringLiteral("xylophone"));
    EXPECT_FALSE(viewer.findNext());
    EXPECT_EQ(viewer.findStatus(), QStringLiteral("Not found"));
    EXPECT_TRUE(viewer.browser()->extraSelections().isEmpty());
    viewer.findField()->clear();
    EXPECT_FALSE(viewer.findNext());
    EXPECT_TRUE(viewer.findStatus().isEmpty());
}

// The icon comes at every size on a transparent ground, and the desktop entry launches the game with it.
TEST(ApplicationIcon, ShippedAtEverySizeAndNamedByTheDesktopEntry)
{
    const QIcon icon = ApplicationIcon();
    for (int size : kApplicationIconSizes) {
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size))) << size;
        const QImage image(ResourcePath(ApplicationIconResource(size)));
        EXPECT_EQ(image.size(), QSize(size, size));
        EXPECT_TRUE(image.hasAlphaChannel() && qAlpha(image.pixel(0, 0)) < 16) << size;
    }
    const QStringList lines =
        QString::fromUtf8(tj::test::readFile(ResourcePath(QStringLiteral("tobbin-jigsaw.desktop")))).split('\n');
    EXPECT_EQ(lines.first(), QStringLiteral("[Desktop Entry]"));
    const QString iconLine = QStringLiteral("Icon=") + QFileInfo(ApplicationIconResource(48)).completeBaseName();
    for (const QString &line : {QStringLiteral("Name=Tobbin Jigsaw"), QStringLiteral("Exec=tobbin-jigsaw"),
                                QStringLiteral("Categories=Game;LogicGame;"), iconLine})
        EXPECT_TRUE(lines.contains(line)) << line.toStdString();
}
