#pragma once

#include "services/cc_periodic_check.h"

#include <QString>

#include <cstdint>

class QLabel;
class QTextBrowser;
class QWidget;

// Fetches the maker's news page once a day while automatic checking is on, and when the user
// asks, and shows the items newer than the newest one shown before. Automatic checks only ever
// show news; a requested check also says that there is none or that the check failed. Main
// thread only; the download reports back there.
class CCNewsUpdater : public CCPeriodicCheck
{
    Q_OBJECT

public:
    enum class Pane { Main, Checking, UpToDate, NewsDisplay, CheckFail };
    static constexpr std::chrono::milliseconds kAutoCheckInterval = std::chrono::hours(1);

    // Created on first use, after the QApplication; lives for the process.
    static CCNewsUpdater *sharedInstance();

    explicit CCNewsUpdater(QObject *parent = nullptr);

    // The menu command: the window on its main pane, application-modal. When it closes the
    // setting is stored and automatic checking follows it.
    void displayUpdateDialog();
    // The check button on the main pane; elsewhere the window's way out, as cancel is.
    void proceed() override;
    void cancel() override;

    // Tests may move the day the controller takes for today (a day index).
    void setTodayForTesting(int32_t day) { m_todayOverride = day; }

    Pane currentPane() const;
    QWidget *pane(Pane which) const;
    QTextBrowser *newsView() const { return m_newsView; }
    QLabel *lastCheckField() const { return m_lastCheckField; }
    QLabel *lastUpdateField() const { return m_lastUpdateField; }

protected:
    CCAppUpdaterThread *makeCheck() override;
    void autoCheckTimerFired() override;
    void downloadFinished(const CCAppUpdaterThread &download, bool success) override;
    void storeSettings() override;

private:
    void buildWindow();
    void showPane(Pane which);
    void refreshToday();
    void reportCheckResults();

    QLabel *m_newsLinkView = nullptr;
    QTextBrowser *m_newsView = nullptr;
    QLabel *m_lastCheckField = nullptr;
    QLabel *m_lastUpdateField = nullptr;

    QString m_newsPath;
    int32_t m_today = 0;
    int32_t m_todayOverride = 0;
    bool m_checkNowRequest = false;
};
