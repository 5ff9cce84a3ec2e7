#include "services/mail_link.h"

QString MailEscape(const QString &text)
{
    QString escaped = QString::fromLatin1(QUrl::toPercentEncoding(text));
    escaped.replace(QLatin1Char('&'), QLatin1String("%26"));
    return escaped;
}

QUrl MailLink(const QString &subject, const QString &body)
{
    const QString link = QStringLiteral("mailto:") + QLatin1String(kSupportAddress) + QStringLiteral("?subject=")
        + MailEscape(subject) + QStringLiteral("&body=") + MailEscape(body);
    return QUrl(link, QUrl::StrictMode);
}

QUrl ContactLink(bool problem, const QString &product, const QString &systemName)
{
    const QString kind = problem ? QStringLiteral("Problem report") : QStringLiteral("Question or comment");
    const QString subject = QStringLiteral("%1 (%2)").arg(kind, product);
    const QString body = QStringLiteral("--- Please do not delete this line: %1, %2 ---\n\n").arg(product, systemName);
    return MailLink(subject, body);
}

QUrl LogsMailLink(const QString &product, const QString &logs)
{
    return MailLink(QStringLiteral("Logs for %1").arg(product), logs);
}
