#include "play/cc_popover_base_vc.h"

#include <QApplication>
#include <QKeyEvent>
#include <QList>

#include <algorithm>

namespace {

QList<QPointer<CCPopoverBaseVC>> &openPopovers()
{
    static QList<QPointer<CCPopoverBaseVC>> list;
    return list;
}

}

CCPopoverBaseVC::CCPopoverBaseVC(QWidget *parent)
    : QFrame(parent, Qt::Popup)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setFrameShape(QFrame::StyledPanel);
}

CCPopoverBaseVC::~CCPopoverBaseVC()
{
    openPopovers().removeAll(this);
}

void CCPopoverBaseVC::showRelativeToRect(const QRect &anchor, QWidget *anchorView)
{
    QPoint origin = anchorView->mapToGlobal(QPoint(anchor.right() + 1, anchor.center().y() - height() / 2));
    // Keep the panel inside the window that holds the anchor.
    const QWidget *window = anchorView->window();
    const QRect area(window->mapToGlobal(QPoint(0, 0)), window->size());
    origin.setX(std::max(area.left(), std::min(origin.x(), area.right() + 1 - width())));
    origin.setY(std::max(area.top(), std::min(origin.y(), area.bottom() + 1 - height())));
    move(origin);
    openPopovers().removeAll(nullptr);
    openPopovers().append(this);
    show();
}

void CCPopoverBaseVC::closePopovers()
{
    const QList<QPointer<CCPopoverBaseVC>> list = openPopovers();
    openPopovers().clear();
    for (const QPointer<CCPopoverBaseVC> &popover : list) {
        if (popover)
            popover->close();
    }
}

int CCPopoverBaseVC::openPopoverCount()
{
    openPopovers().removeAll(nullptr);
    return int(std::count_if(openPopovers().begin(), openPopovers().end(),
                             [](const QPointer<CCPopoverBaseVC> &p) { return p && p->isVisible(); }));
}

void CCPopoverBaseVC::keyPressEvent(QKeyEvent *event)
{
    QPointer<QWidget> owner = parentWidget() ? parentWidget()->window() : nullptr;
    closePopovers();
    event->accept();
    if (!owner || event->key() == Qt::Key_Escape)
        return;
    QWidget *target = owner->focusWidget() ? owner->focusWidget() : owner.data();
    // Sent rather than spontaneous, the key is offered to the shortcuts first, as a typed one is.
    QKeyEvent again(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                    ushort(event->count()));
    QApplication::sendEvent(target, &again);
}
