#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

// Tags of the three alert buttons; 0 stands for an alert that was put off until later.
inline constexpr int kAlertFirstButton = 1;
inline constexpr int kAlertSecondButton = 2;
inline constexpr int kAlertThirdButton = 3;

struct CCAlertRequest
{
    QString message;
    QString moreInfo;
    // Up to three titles; none means a single default button.
    QStringList buttonStrings;
    bool showSuppressButton = false;
};

// Puts alerts on screen for CCAlert; the widget library installs one. Called on the main
// thread only. A presenter raises and lowers CCAlert's nesting counter while an alert shows.
class CCAlertPresenter
{
public:
    virtual ~CCAlertPresenter() = default;
    // Runs the alert application-modally and returns the tag of the button that closed it,
    // setting *suppress (when given) to the check box state; nullopt when it can't be shown.
    virtual std::optional<int> runModal(const CCAlertRequest &request, bool *suppress) = 0;
    // Shows the alert on host (a window; null for application-modal) and returns at once;
    // done then runs once with the tag and the check box state. False when it can't be shown.
    virtual bool beginSheet(const CCAlertRequest &request, QObject *host, std::function<void(int, bool)> done) = 0;
};

// The alert service every message meant for the user goes through. Without a presenter
// (command-line use, tests) an alert is written to the log and to standard error and
// answers with the first button.
class CCAlert
{
public:
    using Completion = std::function<void(int tag, bool suppressFutureAlerts)>;

    static CCAlert *sharedInstance();

    // Shows an application-modal alert and returns the closing button's tag. When the alert
    // can't be shown now (another thread, the presenter refuses) one without button strings is
    // posted again once the main event loop is idle and 0 is returned; one with buttons is
    // logged instead and answers with the first button.
    int giveAlertMessage(const QString &message, const QString &moreInfo, const QStringList &buttonStrings = {},
                         bool *suppressFutureAlerts = nullptr);
    // Shows the alert on hostWindow (a QWidget or QWindow; null for application-modal) and
    // returns at once; completion runs on the main thread after the alert closed.
    void startAlertMessage(const QString &message, const QString &moreInfo, const QStringList &buttonStrings,
                           bool showSuppressButton, QObject *hostWindow, Completion completion);
    // giveAlertMessage(strings[0], strings[1]) once the main event loop is idle; a missing or
    // empty string stands for none.
    void giveAlertWithStrings(const QStringList &strings);

    bool isAlertActive() const { return m_nesting.load() > 0; }
    int activeAlertCount() const { return m_nesting.load(); }
    void alertShown() { ++m_nesting; }
    void alertClosed() { --m_nesting; }

    // Not owned; null returns to the logging fallback.
    void setPresenter(CCAlertPresenter *presenter) { m_presenter.store(presenter); }
    CCAlertPresenter *presenter() const { return m_presenter.load(); }

private:
    CCAlert() = default;
    int showModal(const CCAlertRequest &request, bool *suppress, bool isRetry);
    void postRetry(const CCAlertRequest &request);

    std::atomic<int> m_nesting{0};
    std::atomic<CCAlertPresenter *> m_presenter{nullptr};
};
