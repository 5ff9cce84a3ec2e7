#include "services/mail_link.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QRandomGenerator>
#include <QStringList>

namespace {

// What a mail program reads out of the link: the address and each field, decoded.
QMap<QString, QString> mailFields(const QUrl &link)
{
    QMap<QString, QString> fields;
    fields.insert(QStringLiteral("address"), link.path());
    const QString query = link.query(QUrl::FullyEncoded);
    for (const QString &pair : query.split(QLatin1Char('&'))) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        fields.insert(pair.left(equals), QUrl::fromPercentEncoding(pair.mid(equals + 1).toUtf8()));
    }
    return fields;
}

}

TEST(MailLink, SubjectAndBodyArriveIntact)
{
    const QString subject = QStringLiteral("Tom & Jerry = 100% ?#");
    const QString body = QStringLiteral("line one & two\n\nk\u00e4se, \u732b &body=trap");
    const QUrl link = MailLink(subject, body);
    ASSERT_TRUE(link.isValid());
    const QByteArray encoded = link.toEncoded();
    EXPECT_TRUE(encoded.startsWith("mailto:support@wrenmoor.example?subject=Tom%20%26%20Jerry"));
    EXPECT_EQ(encoded.count('&'), 1) << "only the separator before the body stays a bare &";

    const QMap<QString, QString> fields = mailFields(link);
    EXPECT_EQ(fields.value(QStringLiteral("address")), QLatin1String(kSupportAddress));
    EXPECT_EQ(fields.value(QStringLiteral("subject")), subject);
    EXPECT_EQ(fields.value(QStringLiteral("body")), body);
}

TEST(MailLink, AnyTextSurvivesTheRoundTrip)
{
    QRandomGenerator random(7);
    const QString alphabet = QStringLiteral("ab &=?#%+/\\:;\n\t\"'<>\u00e9\u4e16\U0001F600");
    for (int round = 0; round < 300; ++round) {
        QString subject;
        QString body;
        for (int i = int(random.bounded(20)); i > 0; --i)
            subject += alphabet.at(random.bounded(alphabet.size()));
        for (int i = int(random.bounded(60)); i > 0; --i)
            body += alphabet.at(random.bounded(alphabet.size()));
        // Half a surrogate pair is no text; keep whole characters only.
        subject = QString::fromUtf8(subject.toUtf8());
        body = QString::fromUtf8(body.toUtf8());
        const QMap<QString, QString> fields = mailFields(MailLink(subject, body));
        ASSERT_EQ(fields.value(QStringLiteral("subject")), subject);
        ASSERT_EQ(fields.value(QStringLiteral("body")), body);
    }
}

TEST(MailLink, ContactAndLogsMails)
{
    const QString product = QStringLiteral("Tobbin Jigsaw 1.0.0");
    const QMap<QString, QString> problem =
        mailFields(ContactLink(true, product, QStringLiteral("Debian GNU/Linux 12 (bookworm)")));
    EXPECT_EQ(problem.value(QStringLiteral("subject")), QStringLiteral("Problem report (Tobbin Jigsaw 1.0.0)"));
    EXPECT_EQ(problem.value(QStringLiteral("body")),
              QStringLiteral("--- Please do not delete this line: Tobbin Jigsaw 1.0.0, Debian GNU/Linux 12 (bookworm) "
                             "---\n\n"));
    const QMap<QString, QString> question = mailFields(ContactLink(false, product, QStringLiteral("x")));
    EXPECT_EQ(question.value(QStringLiteral("subject")), QStringLiteral("Question or comment (Tobbin Jigsaw 1.0.0)"));

    const QMap<QString, QString> logs = mailFields(LogsMailLink(product, QStringLiteral("a & b\n")));
    EXPECT_EQ(logs.value(QStringLiteral("subject")), QStringLiteral("Logs for Tobbin Jigsaw 1.0.0"));
    EXPECT_EQ(logs.value(QStringLiteral("body")), QStringLiteral("a & b\n"));
}
