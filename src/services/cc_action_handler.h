#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QMenu;
class QWidget;

// The menu commands every application of the maker shares: the about box, the maker's web site
// and donation page, the update and news checks, mail to the maker, the collected logs and the
// next window. Every command but "visit the web site" is off while a modal window is up, and
// every validation first closes any open popover. Main thread only.
class CCActionHandler : public QObject
{
    Q_OBJECT

public:
    enum class Command {
        ShowAbout,
        VisitWebsite,
        Donations,
        CheckUpdates,
        CheckNewsUpdates,
        ContactWrenmoor,
        ReportProblem,
        CopyLogs,
        EmailLogs,
        NextWindow,
    };

    static CCActionHandler *sharedInstance();

    // Adds the shared commands to helpMenu (about box first, then the web site, donations,
    // update and news checks, mail, report a problem, copy and e-mail logs) and "Next Window"
    // (Ctrl+`) to windowMenu when given; both menus validate their items whenever they open.
    // The actions belong to the menus.
    void installMenuItems(QMenu *helpMenu, QMenu *windowMenu = nullptr);
    // The action for command, connected to this handler and validated with its menu.
    QAction *makeAction(Command command, QObject *parent);

    // The about box's description; without one the application delegate's "aboutString"
    // property, then "A Wrenmoor app.".
    void setAboutString(const QString &text) { m_aboutString = text; }
    QString aboutString() const;

    // Closes open popovers and tells whether command can run now.
    bool validate(Command command) const;
    // Sets the enabled state of every action of ours in menu.
    void validateMenu(QMenu *menu) const;

    void perform(Command command);
    void showAbout();
    void visitWebsite();
    void donations();
    void checkUpdates();
    void checkNewsUpdates();
    // problem: the sender is the problem-report command.
    void contactWrenmoor(bool problem);
    void copyLogs();
    void emailLogs();
    void nextWindow();

    // The windows in the order they were last active, front first, as far as this handler saw.
    QList<QWidget *> windowsFrontToBack() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CCActionHandler();

    QString m_aboutString;
    QList<QPointer<QWidget>> m_activationOrder;
};
