#include "services/cc_news_updater.h"

#include "services/cc_app_updater_thread.h"
#include "services/cc_pane_window.h"
#include "services/news_page.h"
#include "services/shared_settings.h"
#include "support/helpers.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTextBrowser>
#include <QTextFrame>
#include <QTimer>

#include <algorithm>

namespace {

const QString kAutoNewsKey = QStringLiteral("com.wrenmoor.shared.autoNewsCheck");
const QString kLastCheckKey = QStringLiteral("com.wrenmoor.shared.lastNewsCheck");
const QString kLastDateKey = QStringLiteral("com.wrenmoor.shared.lastNewsDate");

constexpr int kNewsInsetX = 8;

// A stored day index, or 0 when it is missing, damaged or later than latest: such a value
// would hold back every check or every item for years.
int32_t storedDay(const QSettings &settings, const QString &key, int32_t latest)
{
    const std::optional<qint64> value = ReadSettingsInteger(settings, key);
    return value && *value > 0 && *value <= latest ? int32_t(*value) : 0;
}

// News may be dated up to the end of next year.
int32_t latestNewsDate(int32_t today)
{
    return (today / 10000 + 1) * 10000 + 1231;
}

}

CCNewsUpdater *CCNewsUpdater::sharedInstance()
{
    static CCNewsUpdater *const updater = new CCNewsUpdater;
    return updater;
}

CCNewsUpdater::CCNewsUpdater(QObject *parent)
    : QObject(parent)
{
    refreshToday();
    m_autoCheck = ReadSettingsBool(*SharedSettings(), kAutoNewsKey);
    buildWindow();
}

CCNewsUpdater::~CCNewsUpdater()
{
    dropDownload();
}

void CCNewsUpdater::refreshToday()
{
    m_today = m_todayOverride ? m_todayOverride : DayIndexForToday();
}

void CCNewsUpdater::setAutoCheck(bool on)
{
    m_autoCheck = on;
    if (m_autoCheckBox)
        m_autoCheckBox->setChecked(on);
}

CCNewsUpdater::Pane CCNewsUpdater::currentPane() const
{
    const auto at = std::find(m_panes.begin(), m_panes.end(), m_window->currentPane());
    return at == m_panes.end() ? Pane::Main : Pane(at - m_panes.begin());
}

void CCNewsUpdater::showPane(Pane which)
{
    m_window->showPane(pane(which));
}

void CCNewsUpdater::startAutoCheck()
{
    if (!m_autoCheck) {
        delete m_autoCheckTimer;
        m_autoCheckTimer = nullptr;
        return;
    }
    if (m_autoCheckTimer)
        return;
    m_autoCheckTimer = new QTimer(this);
    m_autoCheckTimer->setInterval(kAutoCheckIntervalMs);
    connect(m_autoCheckTimer, &QTimer::timeout, this, &CCNewsUpdater::autoCheckTimerFired);
    m_autoCheckTimer->start();
    autoCheckTimerFired();
}

void CCNewsUpdater::autoCheckTimerFired()
{
    refreshToday();
    if (isRunning() || m_window->isVisible())
        return;
    if (m_today <= storedDay(*SharedSettings(), kLastCheckKey, m_today))
        return;
    m_checkNowRequest = false;
    startCheck(false);
}

void CCNewsUpdater::startCheck(bool reportFailure)
{
    if (!m_window || isRunning())
        return;
    m_newsPath.clear();
    m_reportFailure = reportFailure;
    auto *download = new CCNewsUpdaterThread(this);
    m_currentDownload = download;
    connect(download, &CCAppUpdaterThread::finished, this, &CCNewsUpdater::downloadFinished);
    download->start();
}

void CCNewsUpdater::dropDownload()
{
    if (CCAppUpdaterThread *download = m_currentDownload) {
        disconnect(download, nullptr, this, nullptr);
        download->cancel();
        download->deleteLater();
    }
    m_currentDownload = nullptr;
}

void CCNewsUpdater::downloadFinished(bool success)
{
    CCAppUpdaterThread *download = m_currentDownload;
    if (!download || sender() != download)
        return;
    m_newsPath = success ? download->downloadPath() : QString();
    disconnect(download, nullptr, this, nullptr);
    download->deleteLater();
    m_currentDownload = nullptr;

    if (m_newsPath.isEmpty() && !m_reportFailure)
        m_checkNowRequest = false;
    else
        reportCheckResults();
    Q_EMIT operationFinished(success);
}

void CCNewsUpdater::reportCheckResults()
{
    m_checkSpinner->setRange(0, 1);
    const std::unique_ptr<QSettings> shared = SharedSettings();
    std::unique_ptr<CCNewsDocument> news;
    int32_t newest = 0;
    if (!m_newsPath.isEmpty()) {
        m_lastCheckField->setText(NewsDateText(m_today));
        shared->setValue(kLastCheckKey, m_today);
        QFile page(m_newsPath);
        if (page.open(QIODevice::ReadOnly)) {
            news = std::make_unique<CCNewsDocument>();
            ReadNewsPage(news.get(), page.read(CCAppUpdaterThread::kPageSizeLimit));
            page.close();
        }
        const int32_t previous = storedDay(*shared, kLastDateKey, latestNewsDate(m_today));
        const std::optional<int32_t> found =
            news ? handleNewsText(news.get(), previous, m_today) : std::optional<int32_t>();
        if (!found) {
            news.reset();
        } else if (*found > previous) {
            newest = *found;
        } else {
            news.reset();
            newest = -1;
        }
        QFile::remove(m_newsPath);
        m_newsPath.clear();
    }

    Pane pane = Pane::CheckFail;
    if (news) {
        m_lastUpdateField->setText(NewsDateText(newest));
        shared->setValue(kLastDateKey, newest);
        QTextFrameFormat frame = news->rootFrame()->frameFormat();
        frame.setLeftMargin(kNewsInsetX);
        frame.setRightMargin(kNewsInsetX);
        frame.setTopMargin(0);
        frame.setBottomMargin(0);
        news->rootFrame()->setFrameFormat(frame);
        // The view owns the text it shows and drops the one shown before; its own first
        // document goes with the view's text control.
        QPointer<QTextDocument> previousText = m_newsView->document();
        const bool ownedByUs = previousText && previousText->parent() == m_newsView;
        news->setParent(m_newsView);
        m_newsView->setDocument(news.release());
        if (ownedByUs && previousText)
            previousText->deleteLater();
        pane = Pane::NewsDisplay;
        m_window->setWindowTitle(QStringLiteral("Wrenmoor News"));
    } else if (newest < 0) {
        pane = Pane::UpToDate;
    } else if (!m_reportFailure) {
        m_checkNowRequest = false;
        shared->sync();
        return;
    }

    if (m_checkNowRequest || pane == Pane::NewsDisplay) {
        showPane(pane);
        if (!m_window->isVisible())
            m_window->runModal();
    }
    m_checkNowRequest = false;
    shared->sync();
}

void CCNewsUpdater::proceed()
{
    if (currentPane() != Pane::Main) {
        m_window->endModal();
        return;
    }
    m_checkNowRequest = true;
    showPane(Pane::Checking);
    m_checkSpinner->setRange(0, 0);
    if (isRunning())
        m_reportFailure = true; // an automatic check already under way now reports to the user
    else
        startCheck(true);
}

void CCNewsUpdater::cancel()
{
    m_newsPath.clear();
    dropDownload();
    m_checkSpinner->setRange(0, 1);
    m_window->endModal();
}

void CCNewsUpdater::displayUpdateDialog()
{
    showPane(Pane::Main);
    m_window->setWindowTitle(QStringLiteral("Check for Wrenmoor News"));
    refreshToday();
    setAutoCheck(m_autoCheck);
    const std::unique_ptr<QSettings> shared = SharedSettings();
    m_lastCheckField->setText(NewsDateText(storedDay(*shared, kLastCheckKey, m_today)));
    m_lastUpdateField->setText(NewsDateText(storedDay(*shared, kLastDateKey, latestNewsDate(m_today))));
    m_displayedByCommand = true;
    m_window->runModal();
}
