#pragma once

#include "services/cc_app_updater_thread.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <memory>

class CCPaneWindow;
class QCheckBox;
class QProgressBar;
class QTimer;
class QVBoxLayout;

// What the update check and the news check share: one download at a time, a repeating timer
// that looks for a due automatic check while the setting allows them, and one window of panes
// whose first pane (index 0) is the main pane the menu command shows. Main thread only; every
// download reports back there.
class CCPeriodicCheck : public QObject
{
    Q_OBJECT

public:
    ~CCPeriodicCheck() override;

    // Starts or stops the timer as the setting says; a new timer fires at once.
    void startAutoCheck();
    // Starts a check; reportFailure shows failures too. Does nothing while a download runs.
    void startCheck(bool reportFailure);
    // The window's buttons: proceed is the default button's, cancel the way out.
    virtual void proceed() = 0;
    virtual void cancel();

    bool autoCheck() const { return m_autoCheck; }
    void setAutoCheck(bool on);
    bool isRunning() const { return m_currentDownload != nullptr; }
    bool hasAutoCheckTimer() const { return m_autoCheckTimer != nullptr; }
    CCPaneWindow *window() const { return m_window.get(); }

Q_SIGNALS:
    // A check or download ended and its result was handled (shown or dropped).
    void operationFinished(bool success);

protected:
    CCPeriodicCheck(std::chrono::milliseconds interval, const QString &title, QObject *parent);

    // A new check's download, not started; forgets what the last check found.
    virtual CCAppUpdaterThread *makeCheck() = 0;
    // The timer: starts a check when one is due.
    virtual void autoCheckTimerFired() = 0;
    // The current download ended. It is no longer current and goes when control returns to
    // the event loop.
    virtual void downloadFinished(const CCAppUpdaterThread &download, bool success) = 0;
    // Stores what the main pane changed, once the window the menu command showed has closed.
    virtual void storeSettings() = 0;

    // Makes download (a child of this) the current one and starts it; reportFailure shows
    // its failure too.
    void runDownload(CCAppUpdaterThread *download, bool reportFailure);
    void dropDownload();
    // True while a download runs or the window is up: no automatic check then.
    bool isBusy() const;
    bool reportFailure() const { return m_reportFailure; }

    // The main pane's setting, to be placed by the caller, and the spinner of the checking pane.
    QCheckBox *makeAutoCheckBox(const QString &title);
    void addCheckSpinner(QVBoxLayout *content);
    // Sizes the panes and shows the main pane; the end of building the window.
    void finishWindow();

    // The main pane's check button: the checking pane, its spinner running, and a check that
    // reports to the user. A check already under way now reports to the user instead.
    void checkNow(int checkingPane);
    // Stops the spinner after a requested check.
    void stopSpinner();
    // The menu command: the main pane, application-modal, until the window closes.
    void runDialog();
    // Shows the window with a result, unless it is up already.
    void showWindow();

private:
    void currentDownloadFinished(bool success);

    std::unique_ptr<CCPaneWindow> m_window;
    QProgressBar *m_checkSpinner = nullptr;
    QCheckBox *m_autoCheckBox = nullptr;
    QPointer<CCAppUpdaterThread> m_currentDownload;
    QTimer *m_autoCheckTimer = nullptr;
    const std::chrono::milliseconds m_interval;
    bool m_autoCheck = false;
    bool m_reportFailure = false;
    bool m_displayedByCommand = false;
};
