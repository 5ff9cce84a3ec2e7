#pragma once

#include <QDialog>

#include <memory>

class JPPuzzle;
class QLabel;
class QPushButton;

// Asks what to do with a finished puzzle (delete or keep it), or confirms the deletion of an
// unfinished one. Runs application-modally; the puzzle is not owned.
class JPDonePuzzleDialog : public QDialog
{
    Q_OBJECT

public:
    // True when the user chose to delete the puzzle; false when kept, cancelled or the
    // dialog could not be made (no puzzle).
    static bool disposePuzzle(JPPuzzle *puzzle, bool deleting, QWidget *parent = nullptr);
    static std::unique_ptr<JPDonePuzzleDialog> initWithPuzzle(JPPuzzle *puzzle, bool deleting,
                                                              QWidget *parent = nullptr);

    // Ends the modal run with code 1 (delete) or 0 (keep or cancel).
    void ok();
    void cancel();

    QLabel *alertField() const { return m_alertField; }
    QLabel *messageField() const { return m_messageField; }
    // The time played and the piece count (with the pieces joined when deleting).
    QLabel *statsField() const { return m_statsField; }
    QLabel *imageView() const { return m_imageView; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *deleteButton() const { return m_deleteButton; }
    bool deleting() const { return m_deleting; }

private:
    JPDonePuzzleDialog(JPPuzzle *puzzle, bool deleting, QWidget *parent);

    JPPuzzle *m_puzzle;
    bool m_deleting;
    QLabel *m_alertField = nullptr;
    QLabel *m_messageField = nullptr;
    QLabel *m_statsField = nullptr;
    QLabel *m_imageView = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QPushButton *m_deleteButton = nullptr;
};
