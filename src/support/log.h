#pragma once

#include <QString>

// Writes one record to the application log. Safe from any thread.
void LogString(const QString &text);
