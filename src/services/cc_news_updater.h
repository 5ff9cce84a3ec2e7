#pragma once

#include "services/cc_app_updater_thread.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class CCNewsDocument;
class CCPaneWindow;
class QCheckBox;
class QLabel;
class QProgressBar;
class QTextBrowser;
class QTimer;
class QWidget;

// Fetches the maker's news page once a day while automatic checking is on, and when the user
// asks, and shows the items newer than the newest one shown before. Automatic checks only ever
// show news; a requested check also says that there is none or that the check failed. Main
// thread only; the download reports back there.
class CCNewsUpdater : public QObject
{
    Q_OBJECT

public:
    enum class Pane { Main, Checking, UpToDate, NewsDisplay, CheckFail };
    static constexpr int kPaneCount = 5;
    static constexpr int kAutoCheckIntervalMs = 3'600'000;

    // Created on first use, after the QApplication; lives for the process.
    static CCNewsUpdater *sharedInstance();

    explicit CCNewsUpdater(QObject *parent = nullptr);
    ~CCNewsUpdater() override;

    // Starts or stops the hourly timer as the setting says; a new timer fires at once.
    void startAutoCheck();
    // The menu command: the window on its main pane, application-modal. When it closes the
    // setting is stored and automatic checking follows it.
    void displayUpdateDialog();
    // The check button, and the window's way out.
    void proceed();
    void cancel();
    // Fetches the news page; reportFailure shows failures. Does nothing while one is fetched.
    void startCheck(bool reportFailure);

    bool autoCheck() const { return m_autoCheck; }
    void setAutoCheck(bool on);
    bool isRunning() const { return m_currentDownload != nullptr; }
    bool hasAutoCheckTimer() const { return m_autoCheckTimer != nullptr; }
    // The day index the controller takes for today; tests may move it.
    int32_t today() const { return m_today; }
    void setTodayForTesting(int32_t day) { m_todayOverride = day; }

    CCPaneWindow *window() const { return m_window.get(); }
    Pane currentPane() const;
    QWidget *pane(Pane which) const { return m_panes.at(size_t(which)); }
    QTextBrowser *newsView() const { return m_newsView; }
    QLabel *lastCheckField() const { return m_lastCheckField; }
    QLabel *lastUpdateField() const { return m_lastUpdateField; }

Q_SIGNALS:
    // A news download ended and its result was handled (shown or dropped).
    void operationFinished(bool success);

private:
    void buildWindow();
    void showPane(Pane which);
    void refreshToday();
    void autoCheckTimerFired();
    void downloadFinished(bool success);
    void reportCheckResults();
    void dropDownload();

    std::unique_ptr<CCPaneWindow> m_window;
    std::array<QWidget *, kPaneCount> m_panes{};
    QLabel *m_newsLinkView = nullptr;
    QTextBrowser *m_newsView = nullptr;
    QLabel *m_lastCheckField = nullptr;
    QLabel *m_lastUpdateField = nullptr;
    QProgressBar *m_checkSpinner = nullptr;
    QCheckBox *m_autoCheckBox = nullptr;

    QPointer<CCAppUpdaterThread> m_currentDownload;
    QTimer *m_autoCheckTimer = nullptr;
    QString m_newsPath;
    int32_t m_today = 0;
    int32_t m_todayOverride = 0;
    bool m_reportFailure = false;
    bool m_autoCheck = false;
    bool m_checkNowRequest = false;
    bool m_displayedByCommand = false;
};
