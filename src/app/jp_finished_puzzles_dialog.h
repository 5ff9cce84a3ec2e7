#pragma once

#include "app/finished_record.h"

#include <QDialog>

class QTreeWidget;

// Lists the record of finished puzzles, newest first, with the best time of each picture
// and piece count marked. Made per use.
class JPFinishedPuzzlesDialog : public QDialog
{
    Q_OBJECT

public:
    explicit JPFinishedPuzzlesDialog(std::vector<FinishedPuzzle> entries, QWidget *parent = nullptr);

    // Shows the record kept in the support folder.
    static void showRecord(QWidget *parent);

    QTreeWidget *list() const { return m_list; }

private:
    QTreeWidget *m_list = nullptr;
};
