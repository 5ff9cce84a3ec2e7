// Renders the puzzle window, its tool strip (without and with a puzzle, a tool switched on
// and one pressed), the picture popover, both finishing dialogs, the thumbnail grid (filled,
// dark and empty), the preferences window, the new-puzzle dialog and the help window to PNG
// files for review:
//     window_shots PUZZLE_FOLDER OUTPUT_FOLDER

#include "app/app_storage.h"
#include "app/jp_help_viewer.h"
#include "app/jp_new_puzzle_dialog.h"
#include "app/jp_thumbnail_view.h"
#include "model/jp_puzzle.h"
#include "play/cc_popover_base_vc.h"
#include "play/jp_building_progress_dialog.h"
#include "play/jp_done_puzzle_dialog.h"
#include "play/jp_pref_controller.h"
#include "play/jp_pref_window.h"
#include "play/jp_toolbar_view.h"
#include "play/jp_window_controller.h"

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cstdio>
#include <utility>

namespace {

// Seven cells of the puzzle's own thumbnail with captions, one of them far too long.
class ShotGridDelegate : public CCPictureCollectionDelegate
{
public:
    explicit ShotGridDelegate(QImage thumbnail)
        : m_thumbnail(std::move(thumbnail))
    {
    }
    int numberOfPicturesInCollection(CCPictureCollection *) override { return count; }
    QImage pictureCollection(CCPictureCollection *, int) override { return m_thumbnail; }
    QString pictureCollection(CCPictureCollection *, int index, int labelIndex) override
    {
        if (labelIndex == 1)
            return QStringLiteral("%1 × %2").arg(m_thumbnail.width() * 8).arg(m_thumbnail.height() * 8);
        if (index == 2)
            return QStringLiteral("Citrus fruit cut open on a market stall in the late afternoon sun");
        return QStringLiteral("Citrus %1").arg(index + 1);
    }
    bool pictureCollectionLoadingWebsiteInfo(CCPictureCollection *) override { return loading; }

    int count = 7;
    bool loading = false;

private:
    QImage m_thumbnail;
};

QImage puzzleThumbnail(const QString &folder)
{
    QImageReader reader(QDir(folder).filePath(QStringLiteral("thumbnail.jpg")));
    reader.setAutoTransform(true);
    QImage thumbnail = reader.read();
    if (thumbnail.isNull()) {
        QImageReader picture(QDir(folder).filePath(QStringLiteral("image.jpg")));
        picture.setAutoTransform(true);
        thumbnail = picture.read();
    }
    return thumbnail.isNull() ? thumbnail : thumbnail.scaled(200, 200, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

bool save(QWidget *widget, const QDir &folder, const char *name)
{
    QApplication::processEvents();
    const QString path = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "can't write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_shots PUZZLE_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(out.path());
    std::unique_ptr<JPPuzzle> puzzle = JPPuzzle::initWithPath(QString::fromLocal8Bit(argv[1]));
    if (!puzzle) {
        std::fprintf(stderr, "can't open the puzzle\n");
        return 1;
    }
    JPWindowController window;
    window.resize(900, 640);
    window.show();
    bool ok = save(window.toolbarView(), out, "strip-empty");
    window.setCurrentPuzzle(puzzle.get());
    window.setWindowTitle(QStringLiteral("Jigsaw — ") + puzzle->name());
    ok &= save(window.toolbarView(), out, "strip-puzzle");
    window.edgesOnly();
    window.toggleLockDrag();
    const QPointF pressAt = window.toolbarView()->rectForTool(3).center();
    QMouseEvent press(QEvent::MouseButtonPress, pressAt, window.toolbarView()->mapToGlobal(pressAt), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.toolbarView(), &press);
    ok &= save(window.toolbarView(), out, "strip-switched");
    ok &= save(&window, out, "window");

    window.showPicture();
    QApplication::processEvents();
    for (CCPopoverBaseVC *popover : window.findChildren<CCPopoverBaseVC *>())
        ok &= save(popover, out, "popover");
    CCPopoverBaseVC::closePopovers();

    ok &= save(JPDonePuzzleDialog::initWithPuzzle(puzzle.get(), false).get(), out, "done-finished");
    ok &= save(JPDonePuzzleDialog::initWithPuzzle(puzzle.get(), true).get(), out, "done-deleting");
    JPBuildingProgressDialog building;
    building.updateProgress(0.42);
    ok &= save(&building, out, "building");

    ShotGridDelegate gridDelegate(puzzleThumbnail(QString::fromLocal8Bit(argv[1])));
    QWidget gridHost;
    auto *thumbnails = new JPThumbnailView(&gridHost);
    thumbnails->setDelegate(&gridDelegate);
    (new QVBoxLayout(&gridHost))->addWidget(thumbnails->scrollView());
    gridHost.resize(680, 560);
    gridHost.show();
    thumbnails->reloadData();
    thumbnails->selectIndex(2);
    ok &= save(&gridHost, out, "grid");
    QPalette dark = gridHost.palette();
    dark.setColor(QPalette::Window, QColor(40, 40, 40));
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(230, 230, 230));
    dark.setColor(QPalette::Highlight, QColor(38, 79, 120));
    gridHost.setPalette(dark);
    ok &= save(&gridHost, out, "grid-dark");
    gridHost.setPalette(QPalette());
    gridDelegate.count = 0;
    gridDelegate.loading = true;
    thumbnails->reloadData();
    ok &= save(&gridHost, out, "grid-empty");

    JPPrefController::sharedInstance()->showPreferences(&window);
    ok &= save(JPPrefController::sharedInstance()->preferencesWindow(), out, "preferences");

    // The new-puzzle dialog on its built-in pictures, one category, and an empty own-files list.
    SetUpStorageFolders();
    JPPrefController *prefs = JPPrefController::sharedInstance();
    const std::pair<int, int> dialogShots[] = {
        {JPNewPuzzleDialog::BuiltIn, 0}, {JPNewPuzzleDialog::BuiltIn, 6}, {JPNewPuzzleDialog::OwnFiles, 0}};
    const char *const dialogNames[] = {"new-puzzle", "new-puzzle-pets", "new-puzzle-own"};
    for (size_t i = 0; i < std::size(dialogShots); ++i) {
        prefs->setPuzzleSource(dialogShots[i].first);
        prefs->setCategory(dialogShots[i].second);
        JPNewPuzzleDialog dialog;
        dialog.show();
        QApplication::processEvents();
        dialog.thumbnailView()->selectIndex(1);
        QApplication::processEvents();
        ok &= save(&dialog, out, dialogNames[i]);
    }

    JPHelpViewer *help = JPHelpViewer::sharedInstance();
    help->showTopic(JPHelpViewer::TopicJoining);
    help->showFindBar();
    help->findField()->setText(QStringLiteral("snap"));
    help->findNext();
    QApplication::processEvents();
    ok &= save(help, out, "help");
    return ok ? 0 : 1;
}
