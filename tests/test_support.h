#pragma once

#include <QString>

#include <ostream>

// Lets failures show text instead of code units.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace tj::test {

// The temporary folder that stands in for the home folder during this test run.
QString homeFolder();

// A fresh empty folder inside the temporary home, unique per call.
QString freshFolder(const QString &prefix = QStringLiteral("case"));

// Folder of checked-in test fixtures beside the test sources ("data" next to the test).
inline QString dataFolder()
{
#ifdef TJ_TEST_DATA
    return QStringLiteral(TJ_TEST_DATA);
#else
    return QString();
#endif
}

}
