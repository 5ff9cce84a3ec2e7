#include "services/cc_pane_window.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
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

QLabel *CCPaneWindow::addPane(const QString &message, std::initializer_list<Button> buttons, QVBoxLayout **content)
{
    auto *pane = new QWidget(this);
    pane->hide();
    pane->setFixedWidth(kPaneWidth);
    auto *column = new QVBoxLayout(pane);
    column->setContentsMargins(kPaneMargin, kPaneMargin, kPaneMargin, kPaneMargin);
    *content = new QVBoxLayout;
    column->addLayout(*content);
    column->addStretch(1);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    column->addLayout(row);

    QLabel *label = nullptr;
    if (!message.isEmpty()) {
        label = new QLabel(message);
        label->setWordWrap(true);
        label->setTextFormat(Qt::PlainText);
        if (m_panes.empty()) {
            QFont font = label->font();
            font.setBold(true);
            label->setFont(font);
        }
        (*content)->addWidget(label);
    }
    for (const Button &button : buttons) {
        auto *push = new QPushButton(button.title);
        const bool proceeds = button.role == Button::DefaultProceed;
        push->setDefault(button.role != Button::Cancel);
        push->setAutoDefault(button.role != Button::Cancel);
        connect(push, &QPushButton::clicked, this,
                proceeds ? &CCPaneWindow::proceedRequested : &CCPaneWindow::cancelRequested);
        row->addWidget(push);
    }
    m_panes.push_back(pane);
    return label;
}

void CCPaneWindow::fitPanes()
{
    for (QWidget *pane : m_panes) {
        pane->layout()->activate();
        pane->resize(kPaneWidth,
                     pane->layout()->hasHeightForWidth() ? pane->layout()->heightForWidth(kPaneWidth)
                                                         : pane->sizeHint().height());
    }
}

void CCPaneWindow::fillName(const QString &name)
{
    static const QString kPlaceholder = QStringLiteral("***");
    for (QWidget *pane : m_panes)
        for (QLabel *label : pane->findChildren<QLabel *>()) {
            QString text = label->text();
            const qsizetype at = text.indexOf(kPlaceholder);
            if (at >= 0)
                label->setText(text.replace(at, kPlaceholder.size(), name));
        }
}

void CCPaneWindow::showPane(int index)
{
    QWidget *shown = pane(index);
    pane(m_current)->hide();
    m_current = index;
    shown->move(0, 0);
    shown->show();
    // Resizing keeps the window's top-left corner, so the top edge stays where it was.
    setFixedSize(shown->size());
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
