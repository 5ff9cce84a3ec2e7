#pragma once

#include <QString>

namespace tj::test {

// The temporary folder that stands in for the home folder during this test run.
QString homeFolder();

// A fresh empty folder inside the temporary home, unique per call.
QString freshFolder(const QString &prefix = QStringLiteral("case"));

// Folder of checked-in test fixtures beside the test sources.
QString dataFolder();

}
