#pragma once

// Pages and links as the maker's server and a mail program see them, and a real server on
// 127.0.0.1 standing in for the maker's, for the services tests.

#include "services/cc_pane_window.h"
#include "services/cc_periodic_check.h"
#include "services/shared_settings.h"
#include "services/wrenmoor_server.h"

#include "http_test_server.h"
#include "test_helpers.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QMap>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace tj::test {

// size bytes of noise, which no compression shrinks.
inline QByteArray randomBytes(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (char &c : data)
        c = char(QRandomGenerator::global()->bounded(256));
    return data;
}

// A downloads page linking each of links, as the maker's server lists its files.
inline QByteArray downloadsPage(const QStringList &links)
{
    QByteArray page = "<html><body><h1>Downloads</h1>\n";
    for (const QString &link : links)
        page += "<p><a href=\"" + link.toUtf8() + "\">" + link.toUtf8() + "</a></p>\n";
    return page + "</body></html>\n";
}

// A news page: a heading that is not at a line start, one with a typo in the year, three items
// (the newest with a link and colour), and a footer.
inline constexpr char kNewsPage[] = R"(<html><head><title>Wrenmoor News</title></head><body>
<h1>Wrenmoor News</h1>
<p>Welcome to the news page. Dated 1/1/2019: is not a heading here.</p>
<p>1/5/20240: a typo in the date, no heading.</p>
<p>3/14/2024: Tobbin Jigsaw 2.2 is out. <a href="https://wrenmoor.example/downloads">Get it</a> now.</p>
<p>It brings <font color="#ff0000">red</font> pieces.</p>
<p>1/5/2024: New pictures for the website.</p>
<p>11/30/2023: Winter sale.</p>
<p>Older items are in the archive.</p>
<p>Write to us for more news</p>
<p>Copyright Wrenmoor</p>
</body></html>)";

// What a mail program reads out of a mail link: "address" and each field, decoded.
inline QMap<QString, QString> mailFields(const QUrl &link)
{
    QMap<QString, QString> fields;
    fields.insert(QStringLiteral("address"), link.path());
    for (const QString &pair : link.query(QUrl::FullyEncoded).split(QLatin1Char('&'))) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        fields.insert(pair.left(equals), QUrl::fromPercentEncoding(pair.mid(equals + 1).toUtf8()));
    }
    return fields;
}

// Runs the check or download under way to its end.
inline bool settle(const CCPeriodicCheck &check)
{
    return waitFor([&] { return !check.isRunning(); });
}

// The menu command and its check button, run to the end of the check.
template <typename Updater> void requestCheck(Updater &updater)
{
    updater.displayUpdateDialog();
    ASSERT_TRUE(updater.window()->isVisible());
    updater.proceed();
    ASSERT_EQ(updater.currentPane(), Updater::Pane::Checking);
    const QProgressBar *spinner = updater.pane(Updater::Pane::Checking)->template findChild<QProgressBar *>();
    EXPECT_EQ(spinner->maximum(), 0) << "the spinner runs while the check does";
    ASSERT_TRUE(settle(updater));
    EXPECT_EQ(spinner->maximum(), 1);
}

// A server on 127.0.0.1 that the services take for the maker's, and fresh shared settings.
class ServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.start());
        qputenv(kWrenmoorServerVariable, server.baseUrl().toUtf8());
        SharedSettings()->clear();
    }

    void TearDown() override { qunsetenv(kWrenmoorServerVariable); }

    HttpTestServer server;
};

}
