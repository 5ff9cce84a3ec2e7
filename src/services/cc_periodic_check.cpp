#include "services/cc_periodic_check.h"

#include "services/cc_app_updater_thread.h"
#include "services/cc_pane_window.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

CCPeriodicCheck::CCPeriodicCheck(std::chrono::milliseconds interval, const QString &title, QObject *parent)
    : QObject(parent)
    , m_window(std::make_unique<CCPaneWindow>())
    , m_interval(interval)
{
    m_window->setWindowTitle(title);
    connect(m_window.get(), &CCPaneWindow::proceedRequested, this, &CCPeriodicCheck::proceed);
    connect(m_window.get(), &CCPaneWindow::cancelRequested, this, &CCPeriodicCheck::cancel);
    connect(m_window.get(), &QDialog::finished, this, [this] {
        if (!m_displayedByCommand)
            return;
        m_displayedByCommand = false;
        storeSettings();
        startAutoCheck();
    });
}

CCPeriodicCheck::~CCPeriodicCheck()
{
    // The subclass is gone: nothing may call its overrides any more.
    m_window->disconnect(this);
    dropDownload();
}

void CCPeriodicCheck::setAutoCheck(bool on)
{
    m_autoCheck = on;
    if (m_autoCheckBox)
        m_autoCheckBox->setChecked(on);
}

QCheckBox *CCPeriodicCheck::makeAutoCheckBox(const QString &title)
{
    m_autoCheckBox = new QCheckBox(title);
    connect(m_autoCheckBox, &QCheckBox::toggled, this, [this](bool on) { m_autoCheck = on; });
    return m_autoCheckBox;
}

void CCPeriodicCheck::addCheckSpinner(QVBoxLayout *content)
{
    m_checkSpinner = new QProgressBar;
    m_checkSpinner->setRange(0, 1);
    m_checkSpinner->setTextVisible(false);
    content->addWidget(m_checkSpinner);
}

void CCPeriodicCheck::finishWindow()
{
    m_window->fitPanes();
    setAutoCheck(m_autoCheck);
    m_window->showPane(0);
}

void CCPeriodicCheck::startAutoCheck()
{
    if (!m_autoCheck) {
        delete m_autoCheckTimer;
        m_autoCheckTimer = nullptr;
        return;
    }
    if (m_autoCheckTimer)
        return;
    m_autoCheckTimer = new QTimer(this);
    m_autoCheckTimer->setInterval(m_interval);
    connect(m_autoCheckTimer, &QTimer::timeout, this, &CCPeriodicCheck::autoCheckTimerFired);
    m_autoCheckTimer->start();
    autoCheckTimerFired();
}

bool CCPeriodicCheck::isBusy() const
{
    return isRunning() || m_window->isVisible();
}

void CCPeriodicCheck::startCheck(bool reportFailure)
{
    if (isRunning())
        return;
    runDownload(makeCheck(), reportFailure);
}

void CCPeriodicCheck::runDownload(CCAppUpdaterThread *download, bool reportFailure)
{
    m_reportFailure = reportFailure;
    m_currentDownload = download;
    connect(download, &CCAppUpdaterThread::finished, this, &CCPeriodicCheck::currentDownloadFinished);
    download->start();
}

void CCPeriodicCheck::dropDownload()
{
    if (CCAppUpdaterThread *download = m_currentDownload) {
        disconnect(download, nullptr, this, nullptr);
        download->cancel();
        download->deleteLater();
    }
    m_currentDownload = nullptr;
}

void CCPeriodicCheck::currentDownloadFinished(bool success)
{
    // A download dropped meanwhile may have had its report queued already.
    CCAppUpdaterThread *download = m_currentDownload;
    if (!download || sender() != download)
        return;
    disconnect(download, nullptr, this, nullptr);
    download->deleteLater();
    m_currentDownload = nullptr;
    downloadFinished(*download, success);
    Q_EMIT operationFinished(success);
}

void CCPeriodicCheck::checkNow(int checkingPane)
{
    m_window->showPane(checkingPane);
    m_checkSpinner->setRange(0, 0);
    if (isRunning())
        m_reportFailure = true;
    else
        startCheck(true);
}

void CCPeriodicCheck::stopSpinner()
{
    m_checkSpinner->setRange(0, 1);
}

void CCPeriodicCheck::cancel()
{
    dropDownload();
    stopSpinner();
    m_window->endModal();
}

void CCPeriodicCheck::runDialog()
{
    setAutoCheck(m_autoCheck);
    m_window->showPane(0);
    m_displayedByCommand = true;
    m_window->runModal();
}

void CCPeriodicCheck::showWindow()
{
    if (!m_window->isVisible())
        m_window->runModal();
}
