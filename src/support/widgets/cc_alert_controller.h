#pragma once

#include "support/cc_alert.h"

#include <QDialog>

#include <array>
#include <functional>

class QAbstractButton;
class QCheckBox;
class QLabel;
class QPushButton;

// The alert window: the message as a bold title, the explanatory text below it (left out
// when empty, so the window is shorter), up to three buttons and an optional "don't show
// again" check box. Return or Enter answers with button 1, Escape with button 2, and
// Ctrl with the first letter of button 3's title with button 3. Main thread only.
class CCAlertController : public QDialog
{
    Q_OBJECT

public:
    // suppressFlag, when given, receives the check box state as the alert closes; the check
    // box shows when request.showSuppressButton is set.
    explicit CCAlertController(const CCAlertRequest &request, bool *suppressFlag = nullptr, QWidget *parent = nullptr);

    // Runs application-modally, centred, and returns the tag of the button that closed it.
    int runModal();
    // Shows the alert window-modal on host (application-modal when null) and returns at once;
    // completionHandler receives the tag after the alert closed.
    void beginSheetModalForWindow(QWidget *host, std::function<void(int)> completionHandler);
    // Closes with sender's tag, storing the check box state in the suppress flag first.
    void closeAlert(QAbstractButton *sender);

    // index 0 to 2 for buttons 1 to 3.
    QPushButton *button(int index) const { return m_buttons.at(size_t(index)); }
    QLabel *titleField() const { return m_title; }
    QLabel *infoField() const { return m_info; }
    QCheckBox *suppressButton() const { return m_suppress; }
    bool suppressState() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;

private:
    bool isButtonShown(int index) const;

    QLabel *m_title = nullptr;
    QLabel *m_info = nullptr;
    QCheckBox *m_suppress = nullptr;
    std::array<QPushButton *, 3> m_buttons{};
    QString m_thirdButtonTitle;
    bool *m_suppressFlag = nullptr;
};

// Makes CCAlert show its alerts with CCAlertController; called once at start-up.
void InstallAlertPresenter();
