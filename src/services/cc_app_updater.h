#pragma once

#include "services/cc_app_updater_thread.h"
#include "services/version_check.h"

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class CCPaneWindow;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QTimer;
class QWidget;

// Looks on the maker's web server for a newer version of the game, once a day while automatic
// checking is on (a check is due a week or a month after the last successful one) and when the
// user asks, and downloads and opens the newer file. One window shows one of seven panes.
// Main thread only; every download reports back there.
class CCAppUpdater : public QObject
{
    Q_OBJECT

public:
    enum class Pane { Main, Checking, Available, Download, UpToDate, CheckFail, DownloadFail };
    static constexpr int kPaneCount = 7;
    static constexpr int kAutoCheckIntervalMs = 86'400'000;

    // Created on first use, after the QApplication; lives for the process.
    static CCAppUpdater *sharedInstance();

    // Reads the settings and builds the window. Tests make their own.
    explicit CCAppUpdater(QObject *parent = nullptr);
    ~CCAppUpdater() override;

    // Starts or stops the daily timer as the setting says; a new timer fires at once.
    void startAutoCheck();
    // The menu command: the window on its main pane, application-modal. When it closes the
    // settings are stored and automatic checking follows them.
    void displayUpdateDialog();
    // The window's two buttons.
    void proceed();
    void cancel();
    // Fetches the downloads page; reportFailure shows failures and "up to date" too. Does
    // nothing while a check or download runs.
    void startCheck(bool reportFailure);

    // True when an automatic check is due on today after a successful check on lastCheck.
    static bool isAutoCheckDue(const std::optional<QDate> &lastCheck, const QDate &today, bool monthly);
    // "1.50 MB of 3.00 MB", or "1.50 MB" without an expected length.
    static QString progressText(qint64 done, qint64 total);

    bool autoCheck() const { return m_autoCheck; }
    void setAutoCheck(bool on);
    bool checkMonthly() const { return m_checkMonthly; }
    void setCheckMonthly(bool monthly);
    const std::optional<QDateTime> &lastCheckDate() const { return m_lastCheckDate; }
    const QString &updatePath() const { return m_updatePath; }
    const AppVersion &versionPath() const { return m_versionPath; }
    bool isRunning() const { return m_currentDownload != nullptr; }
    bool hasAutoCheckTimer() const { return m_autoCheckTimer != nullptr; }

    CCPaneWindow *window() const { return m_window.get(); }
    Pane currentPane() const;
    QWidget *pane(Pane which) const { return m_panes.at(size_t(which)); }
    QLabel *availableField() const { return m_availableField; }
    QLabel *downloadAmountField() const { return m_downloadAmountField; }
    QProgressBar *downloadSpinner() const { return m_downloadSpinner; }

Q_SIGNALS:
    // A check or download ended and its result was handled (shown or dropped).
    void operationFinished(bool success);

private:
    void buildWindow();
    void showPane(Pane which);
    void autoCheckTimerFired();
    void startDownload();
    void downloadFinished(bool success);
    void reportCheck();
    void reportDownload();
    void updateProgress(qint64 done, qint64 total);
    void storeSharedSettings();
    void dropDownload();
    void runWindow();

    std::unique_ptr<CCPaneWindow> m_window;
    std::array<QWidget *, kPaneCount> m_panes{};
    QLabel *m_availableField = nullptr;
    QString m_availableStringCopy;
    QProgressBar *m_checkSpinner = nullptr;
    QProgressBar *m_downloadSpinner = nullptr;
    QLabel *m_downloadAmountField = nullptr;
    QCheckBox *m_autoCheckBox = nullptr;
    QComboBox *m_intervalBox = nullptr;

    QPointer<CCAppUpdaterThread> m_currentDownload;
    QTimer *m_autoCheckTimer = nullptr;
    QString m_updatePath;
    AppVersion m_versionPath;
    bool m_checkRequest = false;
    bool m_reportFailure = false;
    bool m_success = false;
    bool m_autoCheck = false;
    bool m_checkMonthly = false;
    bool m_displayedByCommand = false;
    std::optional<QDateTime> m_lastCheckDate;
};
