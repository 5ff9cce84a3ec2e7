#include "support/log.h"

#include <cstdio>

// Minimal stand-in until the application log file is in place: one line on standard error.
void LogString(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}
