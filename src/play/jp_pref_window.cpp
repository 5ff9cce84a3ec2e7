#include "play/jp_pref_window.h"

#include "play/jp_pref_controller.h"
#include "support/paths.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kTextureRows = (kTextureCount + JPPrefWindow::kTextureColumns - 1) / JPPrefWindow::kTextureColumns;
// Cells are spaced 10 points apart; the view adds one point below the last row.
constexpr int kCellStep = JPPrefWindow::kSampleSide + 10;

QImage textureSample(int index)
{
    const QImage texture = TextureImage(index);
    if (texture.isNull())
        return {};
    return texture.copy(0, 0, JPPrefWindow::kSampleSide, JPPrefWindow::kSampleSide);
}

QString creditText()
{
    const QString readme = ResourcePath(QStringLiteral("textures/README.md"));
    const QString text = QStringLiteral("Felt textures made for Tobbin Jigsaw");
    if (readme.isEmpty())
        return text + QLatin1Char('.');
    return text
        + QStringLiteral(" (<a href=\"%1\">how they were made</a>).")
              .arg(QUrl::fromLocalFile(readme).toString(QUrl::FullyEncoded).toHtmlEscaped());
}

QIcon swatch(const QColor &color)
{
    QPixmap pixmap(28, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.fillRect(pixmap.rect(), color);
    painter.setPen(QColor(0, 0, 0, 96));
    painter.drawRect(pixmap.rect().adjusted(0, 0, -1, -1));
    return QIcon(pixmap);
}

}

JPPrefWindow::JPPrefWindow(JPPrefController *prefs, QWidget *parent)
    : QDialog(parent, Qt::Tool)
    , m_prefs(prefs)
{
    setWindowTitle(QStringLiteral("Preferences"));
    for (int i = 0; i < kTextureCount; ++i)
        m_samples[size_t(i)] = textureSample(i);

    auto *board = new QGroupBox(QStringLiteral("Board"), this);
    m_textureGrid = new CCPictureCollection(board);
    m_textureGrid->setDelegate(this);
    QScrollArea *gridScroller = m_textureGrid->scrollView();
    const int frame = 2 * gridScroller->frameWidth();
    const int scroller = gridScroller->verticalScrollBar()->sizeHint().width();
    gridScroller->setFixedSize(kTextureColumns * kCellStep + frame + scroller, kTextureRows * kCellStep + 1 + frame);

    m_useColor = new QCheckBox(QStringLiteral("Use plain color"), board);
    m_colorButton = new QPushButton(QStringLiteral("Color\u2026"), board);
    m_resetColor = new QPushButton(QStringLiteral("Reset Color"), board);
    m_credit = new QLabel(creditText(), board);
    m_credit->setTextFormat(Qt::RichText);
    m_credit->setOpenExternalLinks(true);
    m_credit->setTextInteractionFlags(Qt::TextBrowserInteraction);

    auto *colorRow = new QHBoxLayout;
    colorRow->addWidget(m_useColor);
    colorRow->addStretch();
    colorRow->addWidget(m_colorButton);
    colorRow->addWidget(m_resetColor);
    auto *boardLayout = new QVBoxLayout(board);
    boardLayout->addWidget(gridScroller);
    boardLayout->addLayout(colorRow);
    boardLayout->addWidget(m_credit);

    auto *play = new QGroupBox(QStringLiteral("Playing"), this);
    m_playClick = new QCheckBox(QStringLiteral("Play click sound"), play);
    m_simpleEdges = new QCheckBox(QStringLiteral("Simple edges"), play);
    m_rotatePieces = new QCheckBox(QStringLiteral("Turn new pieces"), play);
    auto *note = new QLabel(QStringLiteral("Simple edges and turning apply to new puzzles."), play);
    QFont small = note->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    note->setFont(small);
    auto *playLayout = new QVBoxLayout(play);
    playLayout->addWidget(m_playClick);
    playLayout->addWidget(m_simpleEdges);
    playLayout->addWidget(m_rotatePieces);
    playLayout->addWidget(note);

    auto *buttons = new QDialogButtonBox(this);
    m_close = buttons->addButton(QStringLiteral("Close"), QDialogButtonBox::RejectRole);
    m_close->setDefault(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(board);
    layout->addWidget(play);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::hide);
    connect(m_useColor, &QCheckBox::toggled, this, [this](bool on) {
        if (m_syncing)
            return;
        m_prefs->setUseColor(on);
        m_prefs->setOutlineColor();
        m_prefs->redraw();
    });
    connect(m_colorButton, &QPushButton::clicked, this, &JPPrefWindow::chooseColor);
    connect(m_resetColor, &QPushButton::clicked, this, [this] {
        m_prefs->resetColor();
        updateColorButton();
    });
    const auto bindOption = [this](QCheckBox *box, void (JPPrefController::*setter)(bool)) {
        connect(box, &QCheckBox::toggled, this, [this, setter](bool on) {
            if (m_syncing)
                return;
            (m_prefs->*setter)(on);
            m_prefs->redraw();
        });
    };
    bindOption(m_playClick, &JPPrefController::setPlayClick);
    bindOption(m_simpleEdges, &JPPrefController::setSimpleEdges);
    bindOption(m_rotatePieces, &JPPrefController::setRotatePieces);
    syncFromPrefs();
}

// The grid outlives this part of the object while the dialog deletes its children.
JPPrefWindow::~JPPrefWindow()
{
    m_textureGrid->setDelegate(nullptr);
}

void JPPrefWindow::showEvent(QShowEvent *event)
{
    syncFromPrefs();
    QDialog::showEvent(event);
}

void JPPrefWindow::syncFromPrefs()
{
    m_syncing = true;
    m_useColor->setChecked(m_prefs->useColor());
    m_playClick->setChecked(m_prefs->playClick());
    m_simpleEdges->setChecked(m_prefs->simpleEdges());
    m_rotatePieces->setChecked(m_prefs->rotatePieces());
    m_textureGrid->reloadData();
    m_textureGrid->selectIndexes({m_prefs->textureIndex()});
    m_syncing = false;
    updateColorButton();
}

void JPPrefWindow::updateColorButton()
{
    m_colorButton->setIcon(swatch(m_prefs->backgroundColor()));
}

void JPPrefWindow::chooseColor()
{
    auto *dialog = new QColorDialog(m_prefs->backgroundColor(), this);
    dialog->setWindowTitle(QStringLiteral("Board Color"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QColorDialog::colorSelected, this, [this](const QColor &color) {
        m_syncing = true;
        m_useColor->setChecked(true);
        m_syncing = false;
        m_prefs->setUseColor(true);
        m_prefs->changeColor(color);
        updateColorButton();
    });
    dialog->open();
}

int JPPrefWindow::numberOfPicturesInCollection(CCPictureCollection * /*collection*/)
{
    return kTextureCount;
}

QImage JPPrefWindow::pictureCollection(CCPictureCollection * /*collection*/, int index)
{
    if (index < 0 || index >= kTextureCount)
        return {};
    return m_samples[size_t(index)];
}

int JPPrefWindow::pictureCollectionImageSize(CCPictureCollection * /*collection*/)
{
    return kSampleSide;
}

void JPPrefWindow::pictureCollectionSelectionChanged(CCPictureCollection *collection)
{
    const QList<int> selection = collection->selectedIndexes();
    if (m_syncing || selection.isEmpty())
        return;
    // Picking a texture means the board should show it.
    if (m_useColor->isChecked()) {
        m_syncing = true;
        m_useColor->setChecked(false);
        m_syncing = false;
        m_prefs->setUseColor(false);
    }
    m_prefs->selectTexture(selection.first());
}
