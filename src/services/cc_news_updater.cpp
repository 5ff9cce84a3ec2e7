#include "services/cc_news_updater.h"

#include "services/cc_app_updater_thread.h"
#include "services/cc_pane_window.h"
#include "services/news_page.h"
#include "services/shared_settings.h"
#include "support/helpers.h"

#include <QFile>
#include <QLabel>
#include <QTextBrowser>
#include <QTextFrame>

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
    : CCPeriodicCheck(kAutoCheckInterval, QStringLiteral("Check for Wrenmoor News"), parent)
{
    refreshToday();
    setAutoCheck(ReadSettingsBool(*SharedSettings(), kAutoNewsKey));
    buildWindow();
}

void CCNewsUpdater::refreshToday()
{
    m_today = m_todayOverride ? m_todayOverride : DayIndexForToday();
}

CCNewsUpdater::Pane CCNewsUpdater::currentPane() const
{
    return Pane(window()->currentPane());
}

QWidget *CCNewsUpdater::pane(Pane which) const
{
    return window()->pane(int(which));
}

void CCNewsUpdater::showPane(Pane which)
{
    window()->showPane(int(which));
}

void CCNewsUpdater::autoCheckTimerFired()
{
    refreshToday();
    if (isBusy())
        return;
    if (m_today <= storedDay(*SharedSettings(), kLastCheckKey, m_today))
        return;
    m_checkNowRequest = false;
    startCheck(false);
}

CCAppUpdaterThread *CCNewsUpdater::makeCheck()
{
    m_newsPath.clear();
    return new CCNewsUpdaterThread(this);
}

void CCNewsUpdater::downloadFinished(const CCAppUpdaterThread &download, bool success)
{
    m_newsPath = success ? download.downloadPath() : QString();
    if (m_newsPath.isEmpty() && !reportFailure())
        m_checkNowRequest = false;
    else
        reportCheckResults();
}

void CCNewsUpdater::reportCheckResults()
{
    stopSpinner();
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
        window()->setWindowTitle(QStringLiteral("Wrenmoor News"));
    } else if (newest < 0) {
        pane = Pane::UpToDate;
    } else if (!reportFailure()) {
        m_checkNowRequest = false;
        shared->sync();
        return;
    }

    if (m_checkNowRequest || pane == Pane::NewsDisplay) {
        showPane(pane);
        showWindow();
    }
    m_checkNowRequest = false;
    shared->sync();
}

void CCNewsUpdater::proceed()
{
    if (currentPane() != Pane::Main) {
        window()->endModal();
        return;
    }
    m_checkNowRequest = true;
    checkNow(int(Pane::Checking));
}

void CCNewsUpdater::cancel()
{
    m_newsPath.clear();
    CCPeriodicCheck::cancel();
}

void CCNewsUpdater::displayUpdateDialog()
{
    window()->setWindowTitle(QStringLiteral("Check for Wrenmoor News"));
    refreshToday();
    const std::unique_ptr<QSettings> shared = SharedSettings();
    m_lastCheckField->setText(NewsDateText(storedDay(*shared, kLastCheckKey, m_today)));
    m_lastUpdateField->setText(NewsDateText(storedDay(*shared, kLastDateKey, latestNewsDate(m_today))));
    runDialog();
}

void CCNewsUpdater::storeSettings()
{
    const std::unique_ptr<QSettings> shared = SharedSettings();
    shared->setValue(kAutoNewsKey, autoCheck());
    shared->sync();
}
