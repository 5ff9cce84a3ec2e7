#pragma once

#include "app/puzzle_candidate.h"
#include "support/widgets/cc_picture_collection.h"

#include <QDialog>
#include <QImage>
#include <QList>
#include <QString>

#include <memory>

class JPPrefController;
class JPThumbnailView;
class JPWebsitePuzzles;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

// The modal window in which the player picks the picture of a new puzzle and its piece count.
// Candidates come from one of five sources; the chosen one goes to the application
// controller's createPuzzle() once the dialog has closed.
class JPNewPuzzleDialog : public QDialog, public CCPictureCollectionDelegate
{
    Q_OBJECT

public:
    enum Source { BuiltIn = 0, Website = 1, Completed = 2, OwnFiles = 3, Clipboard = 4, NoSource = 5 };
    // The piece counts offered, one size cell each, smallest first.
    static const QList<int> &pieceCounts();
    static const QStringList &categoryNames();

    // Runs the dialog modally; the choice arrives later through createPuzzle().
    static void selectNewPuzzle(QWidget *parent);

    explicit JPNewPuzzleDialog(QWidget *parent = nullptr);
    ~JPNewPuzzleDialog() override;

    // Shows the source and category of the settings.
    void changeSource();
    void changeSize();
    void clearList();
    void ok();
    void giveHelp();
    // Adds the chosen picture files (the "Select a file…" cell does this after its file panel).
    void addImageFiles(const QStringList &files);
    void refreshClipboard();
    // Ends the dialog and queues the new puzzle: path is a picture, a kept puzzle folder, or
    // empty for the clipboard picture.
    void selectPuzzle(const QString &path, const PuzzleCandidate &candidate);

    void updateCount();
    const QString &countString() const { return m_countString; }
    bool showCategory() const { return m_showCategory; }
    bool loadingWebsiteInfo() const;
    // The candidates shown, in grid order.
    QList<PuzzleCandidate> shownPuzzles() const;
    JPThumbnailView *thumbnailView() const { return m_thumbnailView; }
    QPushButton *okButton() const { return m_okButton; }
    // The size cell of a piece count, or null.
    QPushButton *sizeCell(int count) const;
    JPWebsitePuzzles *websitePuzzles() const { return m_website.get(); }

    int numberOfPicturesInCollection(CCPictureCollection *collection) override;
    QImage pictureCollection(CCPictureCollection *collection, int index) override;
    QString pictureCollection(CCPictureCollection *collection, int index, int labelIndex) override;
    void pictureCollectionSelectionChanged(CCPictureCollection *collection) override;
    void pictureCollectionDoubleClick(CCPictureCollection *collection) override;
    int pictureCollectionImageSize(CCPictureCollection *collection) override;
    bool pictureCollectionLoadingWebsiteInfo(CCPictureCollection *collection) override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    using Candidate = std::shared_ptr<PuzzleCandidate>;

    void buildWindow();
    void identifyPuzzles();
    bool addDictForImageFile(const QString &path, QString *message);
    void addDictForCompletedPuzzle(const QString &folder);
    Candidate clipboardCandidate() const;
    Candidate actionCell(const QString &name, const QImage &image) const;
    void chooseCountFor(const Candidate &candidate);
    void reloadGrid();
    void setSpinning(bool on);
    Candidate selectedCandidate() const;
    static bool isButton(const Candidate &candidate);

    JPThumbnailView *m_thumbnailView = nullptr;
    QPushButton *m_okButton = nullptr;
    QCheckBox *m_advancedAndLocalButton = nullptr;
    QButtonGroup *m_sizeMatrix = nullptr;
    QProgressBar *m_spinner = nullptr;
    QComboBox *m_sourceMenu = nullptr;
    QComboBox *m_categoryMenu = nullptr;
    QPushButton *m_clearButton = nullptr;
    QLabel *m_countLabel = nullptr;
    JPPrefController *m_prefController = nullptr;
    std::unique_ptr<JPWebsitePuzzles> m_website;

    QList<Candidate> m_puzzleDicts;
    QList<Candidate> m_filteredDicts;
    QList<Candidate> m_builtinDicts;
    int m_sourceOfDicts = NoSource;
    bool m_suppressButton = false;
    bool m_awakened = false;
    bool m_canClearList = false;
    bool m_showCategory = false;
    QString m_countString;
};
