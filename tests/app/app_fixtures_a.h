#pragma once

// The website the app's tests download from, published once per run by the publishing code:
// Animals/red_panda, Animals/kingfisher and Pets/old_dog, whose thumbnails are in "thumbs-1.zip".

#include "services/http_test_server.h"
#include "services/website_publisher.h"
#include "services/wrenmoor_server.h"
#include "test_support.h"

namespace tj::test {

inline QString PublishedWebsite()
{
    static const QString folder = [] {
        const QString source = freshFolder(QStringLiteral("pictures"));
        const QString server = freshFolder(QStringLiteral("server"));
        for (const QString &name : {QStringLiteral("Animals/red_panda.jpg"), QStringLiteral("Animals/kingfisher.jpg"),
                                    QStringLiteral("Pets/old_dog.png")})
            writeFile(source + QLatin1Char('/') + name, readFile(WriteTestPicture(700, 600, name.section(u'/', 1))));
        EXPECT_TRUE(PublishWebsite(source, server, QStringLiteral("thumbs-1")).ok);
        return server;
    }();
    return folder;
}

// While it lives, the game finds the published website at this server on 127.0.0.1.
struct WebsiteServer : HttpTestServer
{
    WebsiteServer()
        : started(start())
    {
        serveFolder(PublishedWebsite());
        qputenv(kWrenmoorServerVariable, baseUrl().toUtf8());
    }
    ~WebsiteServer() { qunsetenv(kWrenmoorServerVariable); }

    const bool started;
};

}
