#pragma once

#include "imaging/textures.h"
#include "support/widgets/cc_picture_collection.h"

#include <QDialog>
#include <QImage>

#include <array>

class JPPrefController;
class QCheckBox;
class QLabel;
class QPushButton;

// The preferences window: the board texture grid, the plain board colour and the play
// options. Every change goes straight to the settings object and redraws the board. Made
// once by JPPrefController::showPreferences and hidden, not destroyed, when closed.
class JPPrefWindow : public QDialog, public CCPictureCollectionDelegate
{
    Q_OBJECT

public:
    // Side of the texture samples: a corner of each tile at its real size.
    static constexpr int kSampleSide = 128;
    static constexpr int kTextureColumns = 4;

    explicit JPPrefWindow(JPPrefController *prefs, QWidget *parent = nullptr);
    ~JPPrefWindow() override;

    CCPictureCollection *textureGrid() const { return m_textureGrid; }
    QCheckBox *useColorBox() const { return m_useColor; }
    QCheckBox *playClickBox() const { return m_playClick; }
    QCheckBox *simpleEdgesBox() const { return m_simpleEdges; }
    QCheckBox *rotatePiecesBox() const { return m_rotatePieces; }
    QPushButton *colorButton() const { return m_colorButton; }
    QPushButton *resetColorButton() const { return m_resetColor; }
    QPushButton *closeButton() const { return m_close; }
    QLabel *creditLabel() const { return m_credit; }

    // Opens the colour chooser on the current board colour; a chosen colour turns the plain
    // colour on.
    void chooseColor();

    using CCPictureCollectionDelegate::pictureCollection;
    int numberOfPicturesInCollection(CCPictureCollection *collection) override;
    QImage pictureCollection(CCPictureCollection *collection, int index) override;
    // The samples show at their real size.
    int pictureCollectionImageSize(CCPictureCollection *collection) override;
    void pictureCollectionSelectionChanged(CCPictureCollection *collection) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    // Shows the settings' current values without redrawing the board.
    void syncFromPrefs();
    void updateColorButton();

    JPPrefController *m_prefs;
    std::array<QImage, kTextureCount> m_samples;
    CCPictureCollection *m_textureGrid = nullptr;
    QCheckBox *m_useColor = nullptr;
    QPushButton *m_colorButton = nullptr;
    QPushButton *m_resetColor = nullptr;
    QCheckBox *m_playClick = nullptr;
    QCheckBox *m_simpleEdges = nullptr;
    QCheckBox *m_rotatePieces = nullptr;
    QLabel *m_credit = nullptr;
    QPushButton *m_close = nullptr;
    bool m_syncing = false;
};
