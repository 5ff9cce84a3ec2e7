// Renders the puzzle window, its tool strip (without and with a puzzle, a tool switched on
// and one pressed), the picture popover and both finishing dialogs to PNG files for review:
//     window_shots PUZZLE_FOLDER OUTPUT_FOLDER

#include "model/jp_puzzle.h"
#include "play/cc_popover_base_vc.h"
#include "play/jp_building_progress_dialog.h"
#include "play/jp_done_puzzle_dialog.h"
#include "play/jp_toolbar_view.h"
#include "play/jp_window_controller.h"

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QProgressBar>
#include <QScreen>

#include <cstdio>

namespace {

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
    return ok ? 0 : 1;
}
