#include "app/jp_help_viewer.h"

#include "app/app_icon.h"
#include "support/paths.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>

namespace {

// In document order, so that later topics lie further down.
const std::array<QString, JPHelpViewer::TopicCount> kTopicAnchors{
    QStringLiteral("top"),           QStringLiteral("choosing-a-picture"),
    QStringLiteral("moving-pieces"), QStringLiteral("selecting"),
    QStringLiteral("turning"),       QStringLiteral("joining"),
    QStringLiteral("tool-strip"),    QStringLiteral("edges-only"),
    QStringLiteral("pinning"),       QStringLiteral("gathering"),
    QStringLiteral("locked-drag"),   QStringLiteral("several-puzzles"),
    QStringLiteral("finishing"),     QStringLiteral("storage"),
    QStringLiteral("preferences"),   QStringLiteral("shortcuts"),
};

const QString kNotFound = QStringLiteral("Not found");
// Every match but the current one is marked in this colour; the current one is the selection.
const QColor kMatchColor(0xff, 0xe5, 0x8a);
// A search in a pathological document stops marking here; the help has far fewer matches.
constexpr int kMaxMarkedMatches = 5000;
constexpr QSize kInitialSize(760, 820);

QIcon themedIcon(const QString &name, QStyle::StandardPixmap fallback, const QStyle *style)
{
    return QIcon::fromTheme(name, style->standardIcon(fallback));
}

}

JPHelpViewer *JPHelpViewer::sharedInstance()
{
    static JPHelpViewer *instance = new JPHelpViewer;
    return instance;
}

JPHelpViewer::JPHelpViewer(const QString &documentPath, QWidget *parent)
    : QMainWindow(parent)
    , m_documentPath(documentPath.isEmpty() ? ResourcePath(QStringLiteral("help/help.html")) : documentPath)
{
    setWindowTitle(QStringLiteral("Tobbin Jigsaw Help"));
    setWindowIcon(ApplicationIcon());
    // An open help window alone doesn't keep the game running.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto *content = new QWidget(this);
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_browser = new QTextBrowser(content);
    m_browser->setOpenExternalLinks(true);
    // The match stays visible while the find field has the keyboard.
    QPalette palette = m_browser->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    m_browser->setPalette(palette);
    layout->addWidget(m_browser);
    buildFindBar(content);
    layout->addWidget(m_findBar);
    setCentralWidget(content);

    buildToolBar();
    loadDocument();
    resize(kInitialSize);
}

JPHelpViewer::~JPHelpViewer() = default;

QString JPHelpViewer::anchorForTopic(int topic)
{
    if (topic < 0 || topic >= TopicCount)
        topic = TopicStart;
    return kTopicAnchors[size_t(topic)];
}

void JPHelpViewer::buildToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("Navigation"));
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const QStyle *look = style();

    QAction *back = m_toolBar->addAction(themedIcon(QStringLiteral("go-previous"), QStyle::SP_ArrowBack, look),
                                         QStringLiteral("Back"));
    back->setShortcut(QKeySequence::Back);
    back->setEnabled(false);
    connect(back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);

    QAction *forward = m_toolBar->addAction(themedIcon(QStringLiteral("go-next"), QStyle::SP_ArrowForward, look),
                                            QStringLiteral("Forward"));
    forward->setShortcut(QKeySequence::Forward);
    forward->setEnabled(false);
    connect(forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    QAction *home = m_toolBar->addAction(themedIcon(QStringLiteral("go-home"), QStyle::SP_DirHomeIcon, look),
                                         QStringLiteral("Contents"));
    home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    connect(home, &QAction::triggered, this, &JPHelpViewer::goHome);

    m_toolBar->addSeparator();
    m_findAction = m_toolBar->addAction(
        themedIcon(QStringLiteral("edit-find"), QStyle::SP_FileDialogContentsView, look), QStringLiteral("Find"));
    m_findAction->setShortcut(QKeySequence::Find);
    connect(m_findAction, &QAction::triggered, this, &JPHelpViewer::showFindBar);

    // Keys without a button; the window holds them so they work wherever the focus is.
    const auto addKey = [this](const QKeySequence &keys, auto handler) {
        auto *action = new QAction(this);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);
    };
    addKey(QKeySequence::FindNext, [this] {
        showFindBar();
        findNext();
    });
    addKey(QKeySequence::FindPrevious, [this] {
        showFindBar();
        findPrevious();
    });
    addKey(QKeySequence::ZoomIn, [this] { m_browser->zoomIn(1); });
    addKey(QKeySequence::ZoomOut, [this] { m_browser->zoomOut(1); });
    addKey(QKeySequence(Qt::Key_Escape), [this] { hideFindBar(); });
}

void JPHelpViewer::buildFindBar(QWidget *container)
{
    m_findBar = new QWidget(container);
    auto *row = new QHBoxLayout(m_findBar);
    row->setContentsMargins(8, 4, 8, 4);
    row->addWidget(new QLabel(QStringLiteral("Find:"), m_findBar));
    m_findField = new QLineEdit(m_findBar);
    m_findField->setPlaceholderText(QStringLiteral("Find in help"));
    m_findField->setClearButtonEnabled(true);
    m_findField->setMinimumWidth(220);
    m_findField->installEventFilter(this);
    row->addWidget(m_findField);

    const auto addButton = [this, row](const QString &title, const QString &tip) {
        auto *button = new QToolButton(m_findBar);
        button->setText(title);
        button->setToolTip(tip);
        row->addWidget(button);
        return button;
    };
    connect(addButton(QStringLiteral("Previous"), QStringLiteral("Find the previous match (Shift+Enter)")),
            &QToolButton::clicked, this, [this] { findPrevious(); });
    connect(addButton(QStringLiteral("Next"), QStringLiteral("Find the next match (Enter)")), &QToolButton::clicked,
            this, [this] { findNext(); });
    m_findStatus = new QLabel(m_findBar);
    m_findStatus->setMinimumWidth(90);
    row->addWidget(m_findStatus);
    row->addStretch(1);
    connect(addButton(QStringLiteral("Done"), QStringLiteral("Close the find bar (Esc)")), &QToolButton::clicked, this,
            &JPHelpViewer::hideFindBar);

    connect(m_findField, &QLineEdit::returnPressed, this, [this] { findNext(); });
    // Typing refines the current match instead of jumping past it.
    connect(m_findField, &QLineEdit::textEdited, this, [this] {
        QTextCursor cursor = m_browser->textCursor();
        cursor.setPosition(cursor.selectionStart());
        m_browser->setTextCursor(cursor);
        findNext();
    });
    m_findBar->hide();
}

void JPHelpViewer::loadDocument()
{
    const QFileInfo info(m_documentPath);
    if (!m_documentPath.isEmpty() && info.isFile() && info.isReadable()) {
        m_browser->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
        m_loaded = !m_browser->document()->isEmpty();
    }
    if (!m_loaded) {
        m_browser->setHtml(QStringLiteral("<h2>The help file is missing.</h2>"
                                          "<p>Tobbin Jigsaw could not find its help document. Installing the game "
                                          "again should bring it back.</p>"));
    }
}

QUrl JPHelpViewer::topicUrl(int topic) const
{
    QUrl url = QUrl::fromLocalFile(QFileInfo(m_documentPath).absoluteFilePath());
    url.setFragment(anchorForTopic(topic));
    return url;
}

void JPHelpViewer::showTopic(int topic)
{
    // Shown first, so that the scroll position is worked out at the window's real width.
    show();
    raise();
    activateWindow();
    if (!m_loaded)
        return;
    m_browser->setSource(topicUrl(topic));
    // Loading the document is no visit of its own: Back starts with the first topic shown.
    if (!m_visited) {
        m_browser->clearHistory();
        m_visited = true;
    }
}

void JPHelpViewer::goHome()
{
    if (m_loaded)
        m_browser->setSource(QUrl::fromLocalFile(QFileInfo(m_documentPath).absoluteFilePath()));
}

void JPHelpViewer::showFindBar()
{
    // A new search starts from what the reader is looking at, not from wherever the last ended.
    if (m_findBar->isHidden())
        m_browser->setTextCursor(m_browser->cursorForPosition(QPoint(0, 0)));
    m_findBar->show();
    m_findField->setFocus(Qt::ShortcutFocusReason);
    m_findField->selectAll();
}

void JPHelpViewer::hideFindBar()
{
    if (!m_findBar->isVisible())
        return;
    m_findBar->hide();
    m_browser->setExtraSelections({});
    m_browser->setFocus(Qt::OtherFocusReason);
}

bool JPHelpViewer::isFindBarShown() const
{
    return !m_findBar->isHidden();
}

bool JPHelpViewer::find(bool backward)
{
    const QString text = m_findField->text();
    if (text.isEmpty()) {
        m_browser->setExtraSelections({});
        m_findStatus->clear();
        m_findField->setStyleSheet(QString());
        return false;
    }
    QTextDocument *document = m_browser->document();
    const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    QTextCursor found = document->find(text, m_browser->textCursor(), flags);
    if (found.isNull()) {
        QTextCursor wrapped(document);
        if (backward)
            wrapped.movePosition(QTextCursor::End);
        found = document->find(text, wrapped, flags);
    }
    if (!found.isNull()) {
        m_browser->setTextCursor(found);
        m_browser->ensureCursorVisible();
    }
    markAllMatches(text);
    showFindResult(!found.isNull(), int(m_browser->extraSelections().size()) + (found.isNull() ? 0 : 1));
    return !found.isNull();
}

void JPHelpViewer::markAllMatches(const QString &text)
{
    QList<QTextEdit::ExtraSelection> marks;
    QTextDocument *document = m_browser->document();
    const QTextCursor current = m_browser->textCursor();
    QTextCursor at(document);
    while (marks.size() < kMaxMarkedMatches) {
        at = document->find(text, at);
        if (at.isNull())
            break;
        if (at.selectionStart() == current.selectionStart() && at.selectionEnd() == current.selectionEnd())
            continue;
        QTextEdit::ExtraSelection mark;
        mark.cursor = at;
        mark.format.setBackground(kMatchColor);
        marks.append(mark);
    }
    m_browser->setExtraSelections(marks);
}

void JPHelpViewer::showFindResult(bool found, int matches)
{
    if (!found) {
        m_findStatus->setText(kNotFound);
        m_findField->setStyleSheet(QStringLiteral("QLineEdit { background-color: #f9dcd8; }"));
        return;
    }
    m_findStatus->setText(matches == 1 ? QStringLiteral("1 match") : QStringLiteral("%1 matches").arg(matches));
    m_findField->setStyleSheet(QString());
}

QString JPHelpViewer::findStatus() const
{
    return m_findStatus->text();
}

bool JPHelpViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_findField && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape) {
            hideFindBar();
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && key->modifiers().testFlag(Qt::ShiftModifier)) {
            findPrevious();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
