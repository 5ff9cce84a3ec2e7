#pragma once

#include "services/cc_periodic_check.h"
#include "services/version_check.h"

#include <QDate>
#include <QDateTime>
#include <QString>

#include <optional>

class QComboBox;
class QLabel;
class QProgressBar;
class QWidget;

// Looks on the maker's web server for a newer version of the game, once a day while automatic
// checking is on (a check is due a week or a month after the last successful one) and when the
// user asks, and downloads and opens the newer file. One window shows one of seven panes.
// Main thread only; every download reports back there.
class CCAppUpdater : public CCPeriodicCheck
{
    Q_OBJECT

public:
    enum class Pane { Main, Checking, Available, Download, UpToDate, CheckFail, DownloadFail };
    static constexpr std::chrono::milliseconds kAutoCheckInterval = std::chrono::hours(24);

    // Created on first use, after the QApplication; lives for the process.
    static CCAppUpdater *sharedInstance();

    // Reads the settings and builds the window. Tests make their own.
    explicit CCAppUpdater(QObject *parent = nullptr);

    // The menu command: the window on its main pane, application-modal. When it closes the
    // settings are stored and automatic checking follows them.
    void displayUpdateDialog();
    void proceed() override;
    void cancel() override;

    // True when an automatic check is due on today after a successful check on lastCheck.
    static bool isAutoCheckDue(const std::optional<QDate> &lastCheck, const QDate &today, bool monthly);
    // "1.50 MB of 3.00 MB", or "1.50 MB" without an expected length.
    static QString progressText(qint64 done, qint64 total);

    bool checkMonthly() const { return m_checkMonthly; }
    void setCheckMonthly(bool monthly);
    const std::optional<QDateTime> &lastCheckDate() const { return m_lastCheckDate; }
    const QString &updatePath() const { return m_updatePath; }

    Pane currentPane() const;
    QWidget *pane(Pane which) const;
    QLabel *availableField() const { return m_availableField; }
    QLabel *downloadAmountField() const { return m_downloadAmountField; }
    QProgressBar *downloadSpinner() const { return m_downloadSpinner; }

protected:
    CCAppUpdaterThread *makeCheck() override;
    void autoCheckTimerFired() override;
    void downloadFinished(const CCAppUpdaterThread &download, bool success) override;
    void storeSettings() override;

private:
    void buildWindow();
    void showPane(Pane which);
    void startDownload();
    void reportCheck();
    void reportDownload();
    void updateProgress(qint64 done, qint64 total);

    QLabel *m_availableField = nullptr;
    QString m_availableStringCopy;
    QProgressBar *m_downloadSpinner = nullptr;
    QLabel *m_downloadAmountField = nullptr;
    QComboBox *m_intervalBox = nullptr;

    QString m_updatePath;
    AppVersion m_versionPath;
    bool m_checkRequest = false;
    bool m_success = false;
    bool m_checkMonthly = false;
    std::optional<QDateTime> m_lastCheckDate;
};
