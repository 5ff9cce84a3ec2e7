#pragma once

#include "model/jp_puzzle.h"

#include <QDialog>

class QProgressBar;

// The progress window shown while a new puzzle's pieces are made. The puzzle runs it modally
// and reports progress on the main thread; the bar moves only in steps of at least 0.01, so
// it redraws at most about a hundred times. The user cannot close it.
class JPBuildingProgressDialog : public QDialog, public JPBuildingDialog
{
    Q_OBJECT

public:
    // Smaller changes of the fraction are not shown.
    static constexpr double kMinimumStep = 0.01;

    explicit JPBuildingProgressDialog(QWidget *parent = nullptr);

    // Makes every puzzle built from now on show this dialog.
    static void install();

    void updateProgress(double fraction) override;
    void runModal() override;
    void endModal() override;

    QProgressBar *progressBar() const { return m_progressBar; }

protected:
    void reject() override { }

private:
    QProgressBar *m_progressBar = nullptr;
    double m_oldValue = 0.0;
    bool m_ended = false;
};
