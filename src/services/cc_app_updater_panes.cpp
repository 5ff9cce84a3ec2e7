#include "services/cc_app_updater.h"

#include "services/cc_pane_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

void CCAppUpdater::buildWindow()
{
    using Button = CCPaneWindow::Button;
    const Button ok{QStringLiteral("OK"), Button::DefaultProceed};
    const Button stop{QStringLiteral("Cancel"), Button::DefaultCancel};
    CCPaneWindow *panes = window();
    QVBoxLayout *content = nullptr;

    panes->addPane(QStringLiteral("*** can look on the Wrenmoor website for a newer version of itself."),
                   {{QStringLiteral("Close"), Button::Cancel}, {QStringLiteral("Check Now"), Button::DefaultProceed}},
                   &content);
    auto *scheduleRow = new QHBoxLayout;
    QCheckBox *autoCheckBox = makeAutoCheckBox(QStringLiteral("Check automatically"));
    m_intervalBox = new QComboBox;
    m_intervalBox->addItems({QStringLiteral("every week"), QStringLiteral("every month")});
    scheduleRow->addWidget(autoCheckBox);
    scheduleRow->addWidget(m_intervalBox);
    scheduleRow->addStretch(1);
    content->addLayout(scheduleRow);
    connect(autoCheckBox, &QCheckBox::toggled, m_intervalBox, &QWidget::setEnabled);
    connect(m_intervalBox, &QComboBox::currentIndexChanged, this, [this](int index) { m_checkMonthly = index == 1; });

    panes->addPane(QStringLiteral("Looking on the Wrenmoor website for a newer version of ***\u2026"), {stop},
                   &content);
    addCheckSpinner(content);

    m_availableField = panes->addPane(
        QStringLiteral("Version ### of *** is available. Would you like to download it now?"),
        {{QStringLiteral("Not Now"), Button::Cancel}, {QStringLiteral("Download"), Button::DefaultProceed}}, &content);

    panes->addPane(QStringLiteral("Downloading the new version of ***\u2026"), {stop}, &content);
    m_downloadSpinner = new QProgressBar;
    m_downloadSpinner->setTextVisible(false);
    m_downloadAmountField = new QLabel;
    content->addWidget(m_downloadSpinner);
    content->addWidget(m_downloadAmountField);

    panes->addPane(QStringLiteral("*** is up to date."), {ok}, &content);
    panes->addPane(QStringLiteral("*** could not check the Wrenmoor website for a newer version. Please check your "
                                  "Internet connection, or try again later."),
                   {ok}, &content);
    panes->addPane(QStringLiteral("The new version of *** could not be downloaded. Please check your Internet "
                                  "connection, or try again later."),
                   {ok}, &content);

    panes->fillName(QString::fromLatin1(kAppExecutableName));
    m_availableStringCopy = m_availableField->text();
    setCheckMonthly(m_checkMonthly);
    m_intervalBox->setEnabled(autoCheck());
    finishWindow();
}
