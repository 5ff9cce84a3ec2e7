#include "services/cc_app_updater.h"

#include "services/cc_pane_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton *addButton(QHBoxLayout *buttons, const QString &title, bool isDefault)
{
    auto *button = new QPushButton(title);
    button->setDefault(isDefault);
    button->setAutoDefault(isDefault);
    buttons->addWidget(button);
    return button;
}

}

void CCAppUpdater::buildWindow()
{
    m_window = std::make_unique<CCPaneWindow>();
    m_window->setWindowTitle(QStringLiteral("Check for Updates"));
    connect(m_window.get(), &CCPaneWindow::cancelRequested, this, &CCAppUpdater::cancel);
    connect(m_window.get(), &QDialog::finished, this, [this] {
        if (!m_displayedByCommand)
            return;
        m_displayedByCommand = false;
        storeSharedSettings();
        startAutoCheck();
    });

    // Every pane has its own buttons, each wired to proceed or cancel.
    const auto makePane = [this](Pane which, const QString &message, const QString &proceedTitle,
                                 const QString &cancelTitle, QVBoxLayout **content) {
        QHBoxLayout *buttons = nullptr;
        QWidget *pane = CCPaneWindow::makePane(m_window.get(), content, &buttons);
        QLabel *label = CCPaneWindow::addMessage(*content, message, which == Pane::Main);
        if (!cancelTitle.isEmpty())
            connect(addButton(buttons, cancelTitle, proceedTitle.isEmpty()), &QPushButton::clicked, this,
                    &CCAppUpdater::cancel);
        if (!proceedTitle.isEmpty())
            connect(addButton(buttons, proceedTitle, true), &QPushButton::clicked, this, &CCAppUpdater::proceed);
        m_panes.at(size_t(which)) = pane;
        return label;
    };

    QVBoxLayout *content = nullptr;
    makePane(Pane::Main, QStringLiteral("*** can look on the Wrenmoor website for a newer version of itself."),
             QStringLiteral("Check Now"), QStringLiteral("Close"), &content);
    auto *scheduleRow = new QHBoxLayout;
    m_autoCheckBox = new QCheckBox(QStringLiteral("Check automatically"));
    m_intervalBox = new QComboBox;
    m_intervalBox->addItems({QStringLiteral("every week"), QStringLiteral("every month")});
    scheduleRow->addWidget(m_autoCheckBox);
    scheduleRow->addWidget(m_intervalBox);
    scheduleRow->addStretch(1);
    content->addLayout(scheduleRow);
    connect(m_autoCheckBox, &QCheckBox::toggled, this, [this](bool on) {
        m_autoCheck = on;
        m_intervalBox->setEnabled(on);
    });
    connect(m_intervalBox, &QComboBox::currentIndexChanged, this, [this](int index) { m_checkMonthly = index == 1; });

    makePane(Pane::Checking, QStringLiteral("Looking on the Wrenmoor website for a newer version of ***\u2026"),
             QString(), QStringLiteral("Cancel"), &content);
    m_checkSpinner = new QProgressBar;
    m_checkSpinner->setRange(0, 1);
    m_checkSpinner->setTextVisible(false);
    content->addWidget(m_checkSpinner);

    m_availableField = makePane(Pane::Available,
                                QStringLiteral("Version ### of *** is available. Would you like to download it now?"),
                                QStringLiteral("Download"), QStringLiteral("Not Now"), &content);

    makePane(Pane::Download, QStringLiteral("Downloading the new version of ***\u2026"), QString(),
             QStringLiteral("Cancel"), &content);
    m_downloadSpinner = new QProgressBar;
    m_downloadSpinner->setTextVisible(false);
    m_downloadAmountField = new QLabel;
    content->addWidget(m_downloadSpinner);
    content->addWidget(m_downloadAmountField);

    makePane(Pane::UpToDate, QStringLiteral("*** is up to date."), QStringLiteral("OK"), QString(), &content);
    makePane(Pane::CheckFail,
             QStringLiteral("*** could not check the Wrenmoor website for a newer version. Please check your "
                            "Internet connection, or try again later."),
             QStringLiteral("OK"), QString(), &content);
    makePane(Pane::DownloadFail,
             QStringLiteral("The new version of *** could not be downloaded. Please check your Internet "
                            "connection, or try again later."),
             QStringLiteral("OK"), QString(), &content);

    const QString name = QString::fromLatin1(kAppExecutableName);
    for (QWidget *pane : m_panes) {
        CCPaneWindow::fillName(pane, name);
        CCPaneWindow::fitPane(pane);
    }
    m_availableStringCopy = m_availableField->text();
    setAutoCheck(m_autoCheck);
    setCheckMonthly(m_checkMonthly);
    m_intervalBox->setEnabled(m_autoCheck);
    showPane(Pane::Main);
}
