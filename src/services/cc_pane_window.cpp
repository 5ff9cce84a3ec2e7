#include "services/cc_pane_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kPaneMargin = 16;

}

CCPaneWindow::CCPaneWindow(QWidget *parent)
    : QDialog(parent)
{
    setModal(false);
}

void CCPaneWindow::showPane(QWidget *pane)
{
    if (pane == m_currentPane)
        return;
    if (m_currentPane)
        m_currentPane->hide();
    m_currentPane = pane;
    if (!pane)
        return;
    pane->move(0, 0);
    pane->show();
    // Resizing keeps the window's top-left corner, so the top edge stays where it was.
    setFixedSize(pane->size());
}

void CCPaneWindow::runModal()
{
    setWindowModality(Qt::ApplicationModal);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
}

void CCPaneWindow::endModal()
{
    if (isVisible())
        done(QDialog::Accepted);
}

void CCPaneWindow::reject()
{
    Q_EMIT cancelRequested();
}

QWidget *CCPaneWindow::makePane(CCPaneWindow *window, QVBoxLayout **content, QHBoxLayout **buttons)
{
    auto *pane = new QWidget(window);
    pane->hide();
    pane->setFixedWidth(kPaneWidth);
    auto *column = new QVBoxLayout(pane);
    column->setContentsMargins(kPaneMargin, kPaneMargin, kPaneMargin, kPaneMargin);
    *content = new QVBoxLayout;
    column->addLayout(*content);
    column->addStretch(1);
    *buttons = new QHBoxLayout;
    (*buttons)->addStretch(1);
    column->addLayout(*buttons);
    return pane;
}

QLabel *CCPaneWindow::addMessage(QVBoxLayout *content, const QString &text, bool bold)
{
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    content->addWidget(label);
    return label;
}

void CCPaneWindow::fitPane(QWidget *pane)
{
    pane->layout()->activate();
    pane->resize(kPaneWidth, pane->layout()->hasHeightForWidth() ? pane->layout()->heightForWidth(kPaneWidth)
                                                                  : pane->sizeHint().height());
}

void CCPaneWindow::fillName(QWidget *root, const QString &name)
{
    static const QString kPlaceholder = QStringLiteral("***");
    for (QLabel *label : root->findChildren<QLabel *>()) {
        QString text = label->text();
        const qsizetype at = text.indexOf(kPlaceholder);
        if (at >= 0)
            label->setText(text.replace(at, kPlaceholder.size(), name));
    }
}
