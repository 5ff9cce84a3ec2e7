#include "play/jp_puzzle_view.h"

#include "model/jp_puzzle.h"
#include "play/jp_overview_view.h"
#include "play/jp_pref_controller.h"
#include "support/cc_kernel.h"
#include "support/cc_notifier.h"
#include "support/paths.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <cmath>

namespace {

// One notch of an ordinary mouse wheel, in Qt's eighths of a degree.
constexpr double kWheelStep = 120.0;
constexpr double kBadgeWidth = 64.0;
// How far one wheel notch pans a zoomed board, in view pixels.
constexpr double kWheelPanStep = 60.0;
// Four notches of Ctrl+wheel double the zoom.
const double kWheelZoomBase = std::pow(2.0, 0.25);
// A touchpad that reports only pixels: this many count as one notch.
constexpr double kPixelsPerNotch = 60.0;
constexpr int kAutoScrollInterval = 16;
// The overview is drawn again this long after the board last changed.
constexpr int kOverviewDelay = 300;

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
    m_board.invalidate = [this](const QRectF &rect) { update(m_viewport.transform().toView(rect).toAlignedRect()); };
    m_board.linked = [this] { playClick(); };
    m_board.changed = [this] {
        m_overviewStale = true;
        m_overviewRefresh->start();
        Q_EMIT boardChanged();
    };

    const QString sound = ResourcePath(QStringLiteral("sound/Click.wav"));
    if (!sound.isEmpty()) {
        m_clickPlayer = new QSoundEffect(this);
        m_clickPlayer->setSource(QUrl::fromLocalFile(sound));
    }

    m_autoScroll = new QTimer(this);
    m_autoScroll->setInterval(kAutoScrollInterval);
    connect(m_autoScroll, &QTimer::timeout, this, &JPPuzzleView::autoScrollTick);
    m_overviewRefresh = new QTimer(this);
    m_overviewRefresh->setSingleShot(true);
    m_overviewRefresh->setInterval(kOverviewDelay);
    connect(m_overviewRefresh, &QTimer::timeout, this, &JPPuzzleView::refreshOverview);
    m_overview = new JPOverviewView(this);
    m_overview->hide();
    connect(m_overview, &JPOverviewView::centerRequested, this, &JPPuzzleView::centerOn);
    m_showOverview = JPPrefController::sharedInstance()->showOverview();

    connect(CCNotifier::sharedInstance(), &CCNotifier::posted, this, [this](const QString &name) {
        if (name != QLatin1String(kSwitchNotification))
            return;
        // The puzzle or the board's look changed under the pointer: a drag can't go on.
        m_board.cancelOperation();
        m_autoScroll->stop();
        m_overviewStale = true;
        redrawBoard();
        placeOverview();
    });
}

JPPuzzleView::~JPPuzzleView() = default;

void JPPuzzleView::setPuzzle(JPPuzzle *puzzle)
{
    m_board.setPuzzle(puzzle);
    m_renderer.clearCache();
    m_viewport.setPuzzle(puzzle);
    m_autoScroll->stop();
    endPan();
    m_overviewStale = true;
    redrawBoard();
    placeOverview();
    Q_EMIT viewChanged();
}

void JPPuzzleView::redrawBoard()
{
    update();
}

void JPPuzzleView::syncView()
{
    // The board is fitted to the view only when it is drawn, as it always was; until then
    // the view follows the last fit.
    const JPPuzzle *puzzle = m_board.puzzle();
    if (!m_viewport.sync(QSizeF(size()), puzzle ? puzzle->scale() : 0.0))
        return;
    // A refit board: the overview is out of date. This may run while the view paints.
    m_overviewStale = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            placeOverview();
            Q_EMIT viewChanged();
        },
        Qt::QueuedConnection);
}

const JPViewTransform &JPPuzzleView::viewTransform()
{
    syncView();
    return m_viewport.transform();
}

QPointF JPPuzzleView::boardPoint(QPointF position) const
{
    // Whole view pixels, as the pointer reports them; at zoom 1 these are board units.
    return m_viewport.transform().toBoard(QPointF(std::floor(float(position.x())), std::floor(float(position.y()))));
}

void JPPuzzleView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    m_board.setViewSize(size());
    m_board.ensureLayout();
    syncView();
    m_renderer.draw(painter, event->rect(), m_board, JPBoardLook::fromPreferences(), m_viewport.transform());
}

void JPPuzzleView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_board.setViewSize(size());
    syncView();
}

bool JPPuzzleView::event(QEvent *event)
{
    if (event->type() == QEvent::NativeGesture) {
        const auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture && m_board.puzzle()) {
            syncView();
            setZoom(m_viewport.transform().zoom() * (1.0 + gesture->value()), gesture->position());
            return true;
        }
    }
    return QWidget::event(event);
}

void JPPuzzleView::mousePressEvent(QMouseEvent *event)
{
    syncView();
    m_pointer = event->position();
    m_buttons = event->buttons();
    m_modifiers = event->modifiers();
    const bool zoomed = !m_viewport.transform().showsWholeBoard();
    const bool spacePan =
        event->button() == Qt::LeftButton && m_spaceHeld && m_board.dragType() == JPBoardController::DragTypeNone;
    if (zoomed && m_panButton == Qt::NoButton && (event->button() == Qt::MiddleButton || spacePan)) {
        m_panButton = event->button();
        m_panFrom = event->position();
        updateCursor();
        return;
    }
    if (event->button() != Qt::LeftButton || m_panButton != Qt::NoButton)
        return;
    Q_EMIT touched();
    m_board.mouseDown({boardPoint(event->position()), event->modifiers()});
}

void JPPuzzleView::mouseMoveEvent(QMouseEvent *event)
{
    syncView();
    m_pointer = event->position();
    m_buttons = event->buttons();
    m_modifiers = event->modifiers();
    if (m_panButton != Qt::NoButton) {
        const QPointF delta = event->position() - m_panFrom;
        m_panFrom = event->position();
        panBy(delta);
        return;
    }
    const JPBoardMouse mouse{boardPoint(event->position()), event->modifiers()};
    if ((event->buttons() & Qt::LeftButton) || m_board.dragType() == JPBoardController::DragTypeLocked)
        Q_EMIT touched();
    if (event->buttons() & Qt::LeftButton)
        m_board.mouseDragged(mouse);
    else
        m_board.mouseMoved(mouse);
    updateAutoScroll();
}

void JPPuzzleView::mouseReleaseEvent(QMouseEvent *event)
{
    syncView();
    m_pointer = event->position();
    m_buttons = event->buttons();
    if (m_panButton != Qt::NoButton && event->button() == m_panButton) {
        endPan();
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_board.mouseUp({boardPoint(event->position()), event->modifiers()});
        updateAutoScroll();
    }
}

void JPPuzzleView::wheelEvent(QWheelEvent *event)
{
    event->accept();
    Q_EMIT touched();
    syncView();
    const QPoint angle = event->angleDelta();
    const QPoint pixels = event->pixelDelta();
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        double notches = (angle.y() != 0 ? angle.y() : angle.x()) / kWheelStep;
        if (angle.isNull())
            notches = (pixels.y() != 0 ? pixels.y() : pixels.x()) / kPixelsPerNotch;
        if (m_board.puzzle() && notches != 0)
            setZoom(m_viewport.transform().zoom() * std::pow(kWheelZoomBase, notches), event->position());
        return;
    }
    const QPointF at = boardPoint(event->position());
    JPPuzzle *puzzle = m_board.puzzle();
    // The wheel turns what lies under it with rotation on, at every zoom; elsewhere it pans
    // a zoomed board.
    const bool turns = puzzle && puzzle->rotate() && m_board.pieceAtPoint(at);
    if (!m_viewport.transform().showsWholeBoard() && !turns) {
        QPointF delta = pixels.isNull() ? QPointF(angle) / kWheelStep * kWheelPanStep : QPointF(pixels);
        if (event->modifiers().testFlag(Qt::ShiftModifier) && delta.x() == 0)
            delta = QPointF(delta.y(), 0);
        panBy(delta);
        return;
    }
    m_board.scrollWheel({at, angle.x() / kWheelStep, angle.y() / kWheelStep});
}

void JPPuzzleView::keyPressEvent(QKeyEvent *event)
{
    // Escape neither beeps nor changes anything.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    if (!trackSpace(event, true))
        QWidget::keyPressEvent(event);
}

void JPPuzzleView::keyReleaseEvent(QKeyEvent *event)
{
    if (!trackSpace(event, false))
        QWidget::keyReleaseEvent(event);
}

bool JPPuzzleView::trackSpace(QKeyEvent *event, bool held)
{
    // Space held turns a left drag into panning; it never reaches a button.
    if (event->key() != Qt::Key_Space)
        return false;
    if (!event->isAutoRepeat()) {
        m_spaceHeld = held;
        updateCursor();
    }
    event->accept();
    return true;
}

void JPPuzzleView::focusOutEvent(QFocusEvent *event)
{
    // The release of a Space held while focus left would never arrive.
    m_spaceHeld = false;
    updateCursor();
    QWidget::focusOutEvent(event);
}

void JPPuzzleView::leaveEvent(QEvent *event)
{
    // A locked drag has no grab: once the pointer is outside, the view can't follow it.
    if (!(m_buttons & Qt::LeftButton))
        m_autoScroll->stop();
    QWidget::leaveEvent(event);
}

void JPPuzzleView::playClick()
{
    // Without a sound device the effect stays silent; the join happens all the same.
    if (m_clickPlayer && JPPrefController::sharedInstance()->playClick())
        m_clickPlayer->play();
}
