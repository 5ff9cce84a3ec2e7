#include "services/mail_link.h"

#include "services_fixtures.h"

TEST(MailLink, AnyTextArrivesIntact)
{
    const QString subject = QStringLiteral("Tom & Jerry = 100% ?#");
    const QString body = QStringLiteral("line one & two\n\nk\u00e4se &body=trap");
    const QUrl link = MailLink(subject, body);
    ASSERT_TRUE(link.isValid());
    const QByteArray encoded = link.toEncoded();
    EXPECT_TRUE(encoded.startsWith("mailto:support@wrenmoor.example?subject=Tom%20%26%20Jerry"));
    EXPECT_EQ(encoded.count('&'), 1) << "only the separator before the body stays a bare &";
    const QMap<QString, QString> fields = tj::test::mailFields(link);
    EXPECT_EQ(fields.value(QStringLiteral("address")), QLatin1String(kSupportAddress));
    EXPECT_EQ(fields.value(QStringLiteral("subject")), subject);
    EXPECT_EQ(fields.value(QStringLiteral("body")), body);

    QRandomGenerator random(7);
    const QString alphabet = QStringLiteral("ab &=?#%+/\\:;\n\t\"'<>\u00e9\u4e16\U0001F600");
    for (int round = 0; round < 300; ++round) {
        QString texts[2];
        for (QString &text : texts) {
            for (int i = int(random.bounded(60)); i > 0; --i)
                text += alphabet.at(random.bounded(alphabet.size()));
            // Half a surrogate pair is no text; keep whole characters only.
            text = QString::fromUtf8(text.toUtf8());
        }
        const QMap<QString, QString> read = tj::test::mailFields(MailLink(texts[0], texts[1]));
        ASSERT_EQ(read.value(QStringLiteral("subject")), texts[0]);
        ASSERT_EQ(read.value(QStringLiteral("body")), texts[1]);
    }
}
