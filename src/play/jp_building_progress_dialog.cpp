#include "play/jp_building_progress_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The bar counts in thousandths so each 0.01 step shows.
constexpr int kBarMaximum = 1000;

}

JPBuildingProgressDialog::JPBuildingProgressDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setModal(true);
    setWindowTitle(QStringLiteral("Making Puzzle"));
    auto *label = new QLabel(QStringLiteral("Cutting the puzzle pieces…"), this);
    m_progressBar = new QProgressBar(this);
    m_progressBar->setRange(0, kBarMaximum);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    m_progressBar->setMinimumWidth(320);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(m_progressBar);
}

void JPBuildingProgressDialog::install()
{
    JPPuzzle::setBuildingDialogFactory([]() -> std::unique_ptr<JPBuildingDialog> {
        QWidget *parent = QApplication::activeWindow();
        return std::make_unique<JPBuildingProgressDialog>(parent);
    });
}

void JPBuildingProgressDialog::updateProgress(double fraction)
{
    if (!(fraction >= m_oldValue + kMinimumStep))
        return;
    const double shown = std::min(fraction, 1.0);
    m_progressBar->setValue(int(std::lround(shown * kBarMaximum)));
    if (m_progressBar->isVisible())
        m_progressBar->repaint();
    m_oldValue = fraction;
}

void JPBuildingProgressDialog::runModal()
{
    // The pieces may all be made before the dialog gets to run.
    if (!m_ended)
        exec();
}

void JPBuildingProgressDialog::endModal()
{
    m_ended = true;
    if (isVisible())
        done(0);
}
