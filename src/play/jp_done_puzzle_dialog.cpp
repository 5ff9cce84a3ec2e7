#include "play/jp_done_puzzle_dialog.h"

#include "imaging/cc_image.h"
#include "imaging/image_geometry.h"
#include "model/jp_puzzle.h"
#include "model/play_stats.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The puzzle's picture is shown as a thumbnail of at most this many points a side.
constexpr int kPictureSide = 160;

}

bool JPDonePuzzleDialog::disposePuzzle(JPPuzzle *puzzle, bool deleting, QWidget *parent)
{
    std::unique_ptr<JPDonePuzzleDialog> dialog = initWithPuzzle(puzzle, deleting, parent);
    if (!dialog)
        return false;
    const int result = dialog->exec();
    dialog->close();
    return result == 1;
}

std::unique_ptr<JPDonePuzzleDialog> JPDonePuzzleDialog::initWithPuzzle(JPPuzzle *puzzle, bool deleting, QWidget *parent)
{
    if (!puzzle)
        return nullptr;
    return std::unique_ptr<JPDonePuzzleDialog>(new JPDonePuzzleDialog(puzzle, deleting, parent));
}

JPDonePuzzleDialog::JPDonePuzzleDialog(JPPuzzle *puzzle, bool deleting, QWidget *parent)
    : QDialog(parent)
    , m_puzzle(puzzle)
    , m_deleting(deleting)
{
    setModal(true);
    setWindowTitle(deleting ? QStringLiteral("Delete Puzzle") : QStringLiteral("Puzzle Finished"));

    m_imageView = new QLabel(this);
    m_imageView->setFixedSize(kPictureSide, kPictureSide);
    m_imageView->setAlignment(Qt::AlignCenter);
    if (const CCImage *image = m_puzzle->image(); image && !image->qimage().isNull()) {
        QRectF fitted(QPointF(0, 0), image->size());
        CenterRectangle(fitted, QRectF(0, 0, kPictureSide, kPictureSide));
        const qreal ratio = devicePixelRatioF();
        QPixmap pixmap = QPixmap::fromImage(
            image->qimage().scaled((fitted.size() * ratio).toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        pixmap.setDevicePixelRatio(ratio);
        m_imageView->setPixmap(pixmap);
    }

    m_alertField = new QLabel(deleting ? QStringLiteral("Warning") : QStringLiteral("Congratulations!"), this);
    QFont bold = m_alertField->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    m_alertField->setFont(bold);

    const QString format = deleting
        ? QStringLiteral("Are you sure you want to stop working on\n\n%1\n\nand delete it?")
        : QStringLiteral("You have finished\n\n%1\n\nWhat would you like to do with the completed puzzle?");
    m_messageField = new QLabel(format.arg(m_puzzle->name()), this);
    m_messageField->setWordWrap(true);
    m_messageField->setTextFormat(Qt::PlainText);
    m_messageField->setMinimumWidth(280);

    const double played = PlayedSeconds(m_puzzle->puzzleDict());
    const QString stats = deleting
        ? QStringLiteral("Played %1, %2.").arg(DurationText(played), ProgressText(ProgressOfPuzzle(*m_puzzle)))
        : QStringLiteral("Finished in %1, %2 pieces.").arg(DurationText(played)).arg(m_puzzle->pieceCount());
    m_statsField = new QLabel(stats, this);
    m_statsField->setTextFormat(Qt::PlainText);
    m_statsField->setWordWrap(true);

    m_deleteButton = new QPushButton(deleting ? QStringLiteral("Delete") : QStringLiteral("Delete Puzzle"), this);
    m_cancelButton = new QPushButton(deleting ? QStringLiteral("Cancel") : QStringLiteral("Keep Puzzle"), this);
    // Keeping is the safe answer, so it is the default button.
    m_cancelButton->setDefault(true);
    connect(m_deleteButton, &QPushButton::clicked, this, &JPDonePuzzleDialog::ok);
    connect(m_cancelButton, &QPushButton::clicked, this, &JPDonePuzzleDialog::cancel);

    auto *text = new QVBoxLayout;
    text->addWidget(m_alertField);
    text->addWidget(m_messageField);
    text->addSpacing(6);
    text->addWidget(m_statsField);
    text->addStretch(1);
    auto *top = new QHBoxLayout;
    top->addWidget(m_imageView, 0, Qt::AlignTop);
    top->addSpacing(12);
    top->addLayout(text, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_deleteButton);
    buttons->addWidget(m_cancelButton);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

void JPDonePuzzleDialog::ok()
{
    done(1);
}

void JPDonePuzzleDialog::cancel()
{
    done(0);
}
