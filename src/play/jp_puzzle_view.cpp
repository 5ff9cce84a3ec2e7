#include "play/jp_puzzle_view.h"

#include "play/jp_pref_controller.h"
#include "support/cc_kernel.h"
#include "support/cc_notifier.h"
#include "support/paths.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QSoundEffect>
#include <QUrl>
#include <QWheelEvent>

#include <cmath>

namespace {

const QString kSwitchNotification = QStringLiteral("wmjigsaw.switch");
// One notch of an ordinary mouse wheel, in Qt's eighths of a degree.
constexpr double kWheelStep = 120.0;
constexpr double kBadgeWidth = 64.0;

// Board points are whole units, as the pointer reports them.
QPointF boardPoint(QPointF position)
{
    return QPointF(std::floor(float(position.x())), std::floor(float(position.y())));
}

}

JPPuzzleView::JPPuzzleView(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    // Pointer movement without a button is what the locked drag follows.
    setMouseTracking(true);

    const QImage badge = JPBoardRenderer::loadLinkImage();
    m_renderer.setLinkImage(badge);
    if (!badge.isNull() && badge.width() > 0)
        m_board.setLinkBadgeSize(QSizeF(kBadgeWidth, kBadgeWidth * badge.height() / badge.width()));
    m_board.setLockedDrag(JPPrefController::sharedInstance()->lockedDrag());
    m_board.setAdvancedUser(CCKernel::sharedInstance()->isAdvancedUser());
    m_board.invalidate = [this](const QRectF &rect) { update(rect.toAlignedRect()); };
    m_board.linked = [this] { playClick(); };
    m_board.changed = [this] { Q_EMIT boardChanged(); };

    const QString sound = ResourcePath(QStringLiteral("sound/Click.wav"));
    if (!sound.isEmpty()) {
        m_clickPlayer = new QSoundEffect(this);
        m_clickPlayer->setSource(QUrl::fromLocalFile(sound));
    }

    connect(CCNotifier::sharedInstance(), &CCNotifier::posted, this, [this](const QString &name) {
        if (name != kSwitchNotification)
            return;
        // The puzzle or the board's look changed under the pointer: a drag can't go on.
        m_board.cancelOperation();
        redrawBoard();
    });
}

JPPuzzleView::~JPPuzzleView() = default;

void JPPuzzleView::setPuzzle(JPPuzzle *puzzle)
{
    m_board.setPuzzle(puzzle);
    m_renderer.clearCache();
    redrawBoard();
}

void JPPuzzleView::redrawBoard()
{
    update();
}

void JPPuzzleView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    m_board.setViewSize(size());
    m_renderer.draw(painter, event->rect(), m_board, JPBoardLook::fromPreferences());
}

void JPPuzzleView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_board.setViewSize(size());
}

void JPPuzzleView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    Q_EMIT touched();
    m_board.mouseDown({boardPoint(event->position()), event->modifiers()});
}

void JPPuzzleView::mouseMoveEvent(QMouseEvent *event)
{
    const JPBoardMouse mouse{boardPoint(event->position()), event->modifiers()};
    if ((event->buttons() & Qt::LeftButton) || m_board.dragType() == JPBoardController::DragTypeLocked)
        Q_EMIT touched();
    if (event->buttons() & Qt::LeftButton)
        m_board.mouseDragged(mouse);
    else
        m_board.mouseMoved(mouse);
}

void JPPuzzleView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_board.mouseUp({boardPoint(event->position()), event->modifiers()});
}

void JPPuzzleView::wheelEvent(QWheelEvent *event)
{
    const QPoint angle = event->angleDelta();
    Q_EMIT touched();
    m_board.scrollWheel({boardPoint(event->position()), angle.x() / kWheelStep, angle.y() / kWheelStep});
    event->accept();
}

void JPPuzzleView::keyPressEvent(QKeyEvent *event)
{
    // Escape neither beeps nor changes anything.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void JPPuzzleView::playClick()
{
    // Without a sound device the effect stays silent; the join happens all the same.
    if (m_clickPlayer && JPPrefController::sharedInstance()->playClick())
        m_clickPlayer->play();
}
