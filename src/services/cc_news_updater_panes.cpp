#include "services/cc_news_updater.h"

#include "services/cc_pane_window.h"
#include "services/wrenmoor_server.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

constexpr int kNewsViewHeight = 320;

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
    using Button = CCPaneWindow::Button;
    // Every result pane just closes the window.
    const Button ok{QStringLiteral("OK"), Button::DefaultCancel};
    CCPaneWindow *panes = window();
    QVBoxLayout *content = nullptr;

    panes->addPane(QStringLiteral("Wrenmoor posts news about its apps on the Wrenmoor news page."),
                   {{QStringLiteral("Close"), Button::Cancel}, {QStringLiteral("Check Now"), Button::DefaultProceed}},
                   &content);
    m_newsLinkView = newsLink();
    content->addWidget(m_newsLinkView);
    content->addWidget(makeAutoCheckBox(QStringLiteral("Check for news once a day")));
    auto *dates = new QFormLayout;
    m_lastCheckField = new QLabel;
    m_lastUpdateField = new QLabel;
    dates->addRow(QStringLiteral("Last checked:"), m_lastCheckField);
    dates->addRow(QStringLiteral("Newest news seen:"), m_lastUpdateField);
    content->addLayout(dates);

    panes->addPane(QStringLiteral("Looking for news from Wrenmoor\u2026"), {{QStringLiteral("Cancel"), Button::Cancel}},
                   &content);
    addCheckSpinner(content);

    panes->addPane(QStringLiteral("There is no news since the last check."), {ok}, &content);
    content->addWidget(newsLink());

    panes->addPane(QString(), {ok}, &content);
    m_newsView = new QTextBrowser;
    m_newsView->setOpenLinks(false);
    m_newsView->setReadOnly(true);
    m_newsView->setFixedHeight(kNewsViewHeight);
    content->addWidget(m_newsView);
    content->addWidget(newsLink());

    panes->addPane(QStringLiteral("The news could not be fetched from the Wrenmoor website. Please check your Internet "
                                  "connection, or try again later."),
                   {ok}, &content);
    finishWindow();
}
