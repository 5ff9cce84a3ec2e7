#include "services/wrenmoor_server.h"

#include <QByteArray>

namespace {

bool isUsableBase(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty() && !url.hasQuery() && !url.hasFragment();
}

}

QUrl WrenmoorServerBase()
{
    const QByteArray value = qgetenv(kWrenmoorServerVariable).trimmed();
    if (!value.isEmpty()) {
        const QUrl url(QString::fromUtf8(value), QUrl::StrictMode);
        if (isUsableBase(url))
            return url;
    }
    return QUrl(QString::fromLatin1(kDefaultWrenmoorServer));
}

QUrl WrenmoorServerUrl(const QString &path)
{
    QUrl url = WrenmoorServerBase();
    QString basePath = url.path(QUrl::FullyDecoded);
    while (basePath.endsWith(QLatin1Char('/')))
        basePath.chop(1);
    url.setPath(basePath + path, QUrl::DecodedMode);
    return url;
}
