#include "services/cc_news_updater.h"

#include "services/cc_pane_window.h"
#include "services/shared_settings.h"
#include "services/wrenmoor_server.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

constexpr int kNewsViewHeight = 320;

QPushButton *addButton(QHBoxLayout *buttons, const QString &title, bool isDefault)
{
    auto *button = new QPushButton(title);
    button->setDefault(isDefault);
    button->setAutoDefault(isDefault);
    buttons->addWidget(button);
    return button;
}

QLabel *newsLink()
{
    const QString address = WrenmoorServerUrl(QString::fromLatin1(kNewsPath)).toString(QUrl::FullyEncoded);
    auto *label = new QLabel(QStringLiteral("<a href=\"%1\">Wrenmoor news page</a>").arg(address.toHtmlEscaped()));
    label->setTextFormat(Qt::RichText);
    label->setOpenExternalLinks(true);
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    return label;
}

}

void CCNewsUpdater::buildWindow()
{
    m_window = std::make_unique<CCPaneWindow>();
    m_window->setWindowTitle(QStringLiteral("Check for Wrenmoor News"));
    connect(m_window.get(), &CCPaneWindow::cancelRequested, this, &CCNewsUpdater::cancel);
    connect(m_window.get(), &QDialog::finished, this, [this] {
        if (!m_displayedByCommand)
            return;
        m_displayedByCommand = false;
        const std::unique_ptr<QSettings> shared = SharedSettings();
        shared->setValue(QStringLiteral("com.wrenmoor.shared.autoNewsCheck"), m_autoCheck);
        shared->sync();
        startAutoCheck();
    });

    const auto makePane = [this](Pane which, const QString &message, bool check, QVBoxLayout **content) {
        QHBoxLayout *buttons = nullptr;
        QWidget *pane = CCPaneWindow::makePane(m_window.get(), content, &buttons);
        if (!message.isEmpty())
            CCPaneWindow::addMessage(*content, message, which == Pane::Main);
        if (check) {
            connect(addButton(buttons, QStringLiteral("Close"), false), &QPushButton::clicked, this,
                    &CCNewsUpdater::cancel);
            connect(addButton(buttons, QStringLiteral("Check Now"), true), &QPushButton::clicked, this,
                    &CCNewsUpdater::proceed);
        } else {
            const bool waiting = which == Pane::Checking;
            connect(addButton(buttons, waiting ? QStringLiteral("Cancel") : QStringLiteral("OK"), !waiting),
                    &QPushButton::clicked, this, &CCNewsUpdater::cancel);
        }
        m_panes.at(size_t(which)) = pane;
        return pane;
    };

    QVBoxLayout *content = nullptr;
    makePane(Pane::Main, QStringLiteral("Wrenmoor posts news about its apps on the Wrenmoor news page."), true,
             &content);
    m_newsLinkView = newsLink();
    content->addWidget(m_newsLinkView);
    m_autoCheckBox = new QCheckBox(QStringLiteral("Check for news once a day"));
    content->addWidget(m_autoCheckBox);
    connect(m_autoCheckBox, &QCheckBox::toggled, this, [this](bool on) { m_autoCheck = on; });
    auto *dates = new QFormLayout;
    m_lastCheckField = new QLabel;
    m_lastUpdateField = new QLabel;
    dates->addRow(QStringLiteral("Last checked:"), m_lastCheckField);
    dates->addRow(QStringLiteral("Newest news seen:"), m_lastUpdateField);
    content->addLayout(dates);

    makePane(Pane::Checking, QStringLiteral("Looking for news from Wrenmoor\u2026"), false, &content);
    m_checkSpinner = new QProgressBar;
    m_checkSpinner->setRange(0, 1);
    m_checkSpinner->setTextVisible(false);
    content->addWidget(m_checkSpinner);

    makePane(Pane::UpToDate, QStringLiteral("There is no news since the last check."), false, &content);
    content->addWidget(newsLink());

    makePane(Pane::NewsDisplay, QString(), false, &content);
    m_newsView = new QTextBrowser;
    m_newsView->setOpenLinks(false);
    m_newsView->setReadOnly(true);
    m_newsView->setFixedHeight(kNewsViewHeight);
    content->addWidget(m_newsView);
    content->addWidget(newsLink());

    makePane(Pane::CheckFail,
             QStringLiteral("The news could not be fetched from the Wrenmoor website. Please check your Internet "
                            "connection, or try again later."),
             false, &content);

    for (QWidget *pane : m_panes)
        CCPaneWindow::fitPane(pane);
    setAutoCheck(m_autoCheck);
    showPane(Pane::Main);
}
