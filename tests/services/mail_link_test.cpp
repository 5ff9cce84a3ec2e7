#include "services/mail_link.h"

#include "services_fixtures.h"

using namespace tj::test;

TEST(MailLink, AnyTextArrivesIntact)
{
    ASSERT_EQ(MailLink(QString(), QString()).path(), QLatin1String(kSupportAddress));
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
        const QMap<QString, QString> read = mailFields(MailLink(texts[0], texts[1]));
        ASSERT_EQ(read.value(QStringLiteral("subject")), texts[0]);
        ASSERT_EQ(read.value(QStringLiteral("body")), texts[1]);
    }
}
