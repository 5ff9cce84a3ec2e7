#include "app/jp_finished_puzzles_dialog.h"

#include "model/play_stats.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const QString kBestMark = QStringLiteral("★");
// Room between the narrow columns.
constexpr int kColumnPadding = 16;

enum Column { NameColumn, PiecesColumn, TimeColumn, DateColumn, ColumnCount };

}

JPFinishedPuzzlesDialog::JPFinishedPuzzlesDialog(std::vector<FinishedPuzzle> entries, QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Finished Puzzles"));
    MarkBestTimes(entries);

    m_list = new QTreeWidget(this);
    m_list->setColumnCount(ColumnCount);
    m_list->setHeaderLabels(
        {QStringLiteral("Puzzle"), QStringLiteral("Pieces"), QStringLiteral("Time"), QStringLiteral("Finished")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setFocusPolicy(Qt::NoFocus);
    const QLocale locale;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        auto *row = new QTreeWidgetItem(m_list);
        row->setText(NameColumn, it->name);
        row->setText(PiecesColumn, QString::number(it->pieces));
        QString time = DurationText(it->seconds);
        if (it->best)
            time += QLatin1Char(' ') + kBestMark;
        row->setText(TimeColumn, time);
        row->setText(DateColumn, locale.toString(it->date.toLocalTime(), QLocale::ShortFormat));
        row->setTextAlignment(PiecesColumn, Qt::AlignRight | Qt::AlignVCenter);
        row->setTextAlignment(TimeColumn, Qt::AlignRight | Qt::AlignVCenter);
        if (it->best)
            row->setToolTip(TimeColumn, QStringLiteral("Best time for this picture with %1 pieces").arg(it->pieces));
    }
    m_list->header()->setSectionResizeMode(NameColumn, QHeaderView::Stretch);
    m_list->header()->setStretchLastSection(false);
    for (int column = PiecesColumn; column < ColumnCount; ++column) {
        m_list->resizeColumnToContents(column);
        m_list->setColumnWidth(column, m_list->columnWidth(column) + kColumnPadding);
    }

    auto *note = new QLabel(
        entries.empty()
            ? QStringLiteral("No puzzle has been finished yet.")
            : QString(kBestMark + QStringLiteral(" marks the best time for a picture and number of pieces.")),
        this);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addWidget(note);
    layout->addWidget(buttons);
    resize(560, 380);
}

void JPFinishedPuzzlesDialog::showRecord(QWidget *parent)
{
    JPFinishedPuzzlesDialog dialog(ReadFinishedRecord(FinishedRecordPath()), parent);
    dialog.exec();
}
