#include "services/cc_app_updater.h"

#include "services/cc_pane_window.h"
#include "services/cc_update_threads.h"
#include "services/shared_settings.h"
#include "services/wrenmoor_server.h"
#include "support/cc_kernel.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QUrl>

#include <algorithm>
#include <climits>

namespace {

const QString kAutoUpdateKey = QStringLiteral("com.wrenmoor.shared.autoUpdate");
const QString kMonthlyKey = QStringLiteral("com.wrenmoor.shared.autoUpdateMonthly");
const QString kLastCheckKey = QStringLiteral("com.wrenmoor.shared.lastUpdateCheck");

constexpr double kBytesPerMB = 1048576.0;
// The bar's scale while the server keeps the size to itself.
constexpr qint64 kUnknownLengthScale = 5242880;

}

CCAppUpdater *CCAppUpdater::sharedInstance()
{
    static CCAppUpdater *const updater = new CCAppUpdater;
    return updater;
}

CCAppUpdater::CCAppUpdater(QObject *parent)
    : CCPeriodicCheck(kAutoCheckInterval, QStringLiteral("Check for Updates"), parent)
{
    bool ok = false;
    const qint64 seconds = QSettings().value(kLastCheckKey).toString().toLongLong(&ok);
    const QDateTime last = QDateTime::fromSecsSinceEpoch(seconds);
    // A date in the future (a damaged setting or a clock put back) would hold every check off.
    if (ok && seconds > 0 && last.isValid() && last <= QDateTime::currentDateTime())
        m_lastCheckDate = last;
    const std::unique_ptr<QSettings> shared = SharedSettings();
    setAutoCheck(ReadSettingsBool(*shared, kAutoUpdateKey));
    m_checkMonthly = ReadSettingsBool(*shared, kMonthlyKey);
    buildWindow();
}

bool CCAppUpdater::isAutoCheckDue(const std::optional<QDate> &lastCheck, const QDate &today, bool monthly)
{
    if (!lastCheck || !lastCheck->isValid())
        return true;
    const QDate due = monthly ? lastCheck->addMonths(1) : lastCheck->addDays(7);
    return today >= due;
}

QString CCAppUpdater::progressText(qint64 done, qint64 total)
{
    if (total > 0)
        return QString::asprintf("%.2f MB of %.2f MB", double(done) / kBytesPerMB, double(total) / kBytesPerMB);
    return QString::asprintf("%.2f MB", double(done) / kBytesPerMB);
}

void CCAppUpdater::setCheckMonthly(bool monthly)
{
    m_checkMonthly = monthly;
    if (m_intervalBox)
        m_intervalBox->setCurrentIndex(monthly ? 1 : 0);
}

CCAppUpdater::Pane CCAppUpdater::currentPane() const
{
    return Pane(window()->currentPane());
}

QWidget *CCAppUpdater::pane(Pane which) const
{
    return window()->pane(int(which));
}

void CCAppUpdater::showPane(Pane which)
{
    window()->showPane(int(which));
}

void CCAppUpdater::autoCheckTimerFired()
{
    if (isBusy())
        return;
    const std::optional<QDate> last = m_lastCheckDate ? std::optional<QDate>(m_lastCheckDate->date()) : std::nullopt;
    if (!isAutoCheckDue(last, QDate::currentDate(), m_checkMonthly))
        return;
    startCheck(false);
}

CCAppUpdaterThread *CCAppUpdater::makeCheck()
{
    m_updatePath.clear();
    m_checkRequest = true;
    m_success = false;
    return new CCUpdateCheckThread(WrenmoorServerUrl(QString::fromLatin1(kDownloadsPath)),
                                   QString::fromLatin1(kAppExecutableName),
                                   CCKernel::sharedInstance()->appVersionString(), this);
}

void CCAppUpdater::startDownload()
{
    m_downloadSpinner->setRange(0, 0);
    m_downloadSpinner->setValue(0);
    m_downloadAmountField->clear();
    showPane(Pane::Download);
    m_success = false;
    m_checkRequest = false;
    auto *download = new CCUpdateDownloadThread(QUrl(m_updatePath), CCUpdateDownloadThread::downloadsFolder(), this);
    connect(download, &CCAppUpdaterThread::progressed, this, &CCAppUpdater::updateProgress);
    runDownload(download, true);
}

void CCAppUpdater::updateProgress(qint64 done, qint64 total)
{
    m_downloadAmountField->setText(progressText(done, total));
    // A bar ignores values past its end, so a server that sends more than it said still moves it.
    const qint64 scale = std::max(total > 0 ? total : kUnknownLengthScale, done);
    m_downloadSpinner->setRange(0, int(std::min<qint64>(scale, INT_MAX)));
    m_downloadSpinner->setValue(int(std::min<qint64>(done, INT_MAX)));
}

void CCAppUpdater::downloadFinished(const CCAppUpdaterThread &download, bool success)
{
    m_success = success;
    if (success) {
        m_updatePath = download.downloadPath();
        if (m_checkRequest) {
            const std::array<int, 3> version = download.downloadVersion();
            m_versionPath = AppVersion{version[0], version[1], version[2]};
        }
    }
    if (!success && !reportFailure())
        return;
    if (m_checkRequest)
        reportCheck();
    else
        reportDownload();
}

void CCAppUpdater::reportCheck()
{
    stopSpinner();
    if (m_success) {
        m_lastCheckDate = QDateTime::currentDateTime();
        QSettings settings;
        settings.setValue(kLastCheckKey, QString::number(m_lastCheckDate->toSecsSinceEpoch()));
        settings.sync();
    }
    if (!m_updatePath.isEmpty()) {
        QString sentence = m_availableStringCopy;
        sentence.replace(QLatin1String("###"), m_versionPath.displayString());
        m_availableField->setText(sentence);
        showPane(Pane::Available);
    } else if (reportFailure()) {
        showPane(m_success ? Pane::UpToDate : Pane::CheckFail);
    } else {
        return;
    }
    showWindow();
}

void CCAppUpdater::reportDownload()
{
    const QString file = m_updatePath;
    if (m_success && !file.isEmpty() && QFileInfo(file).isFile()) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(file).absolutePath()));
        QDesktopServices::openUrl(QUrl::fromLocalFile(file));
        window()->endModal();
        return;
    }
    showPane(Pane::DownloadFail);
    showWindow();
}

void CCAppUpdater::proceed()
{
    switch (currentPane()) {
    case Pane::Main:
        checkNow(int(Pane::Checking));
        break;
    case Pane::Available:
        if (!isRunning())
            startDownload();
        break;
    default:
        window()->endModal();
        break;
    }
}

void CCAppUpdater::cancel()
{
    m_updatePath.clear();
    CCPeriodicCheck::cancel();
}

void CCAppUpdater::displayUpdateDialog()
{
    setCheckMonthly(m_checkMonthly);
    runDialog();
}

void CCAppUpdater::storeSettings()
{
    const std::unique_ptr<QSettings> shared = SharedSettings();
    shared->setValue(kAutoUpdateKey, autoCheck());
    shared->setValue(kMonthlyKey, m_checkMonthly);
    shared->sync();
}
