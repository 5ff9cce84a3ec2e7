#pragma once

// Pages and links as the maker's server and a mail program see them, for the services tests.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace tj::test {

// A downloads page linking each of links, as the maker's server lists its files.
inline QByteArray downloadsPage(const QStringList &links)
{
    QByteArray page = "<html><body><h1>Downloads</h1>\n";
    for (const QString &link : links)
        page += "<p><a href=\"" + link.toUtf8() + "\">" + link.toUtf8() + "</a></p>\n";
    return page + "</body></html>\n";
}

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

}
