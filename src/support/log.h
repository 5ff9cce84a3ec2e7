#pragma once

#include <QString>

#include <exception>

// Writes one record to the application log (CCLogger). Safe from any thread; callers build
// the text with QString::arg.
void LogString(const QString &text);

// The current call stack, up to 50 frames, one "   <symbol line>\n" per frame.
QString BacktraceText();
// Logs BacktraceText() as one record.
void LogBacktrace();

// Logs "<context>: <what>\n<call stack at the point of logging>".
void LogException(const std::exception &exception, const QString &context);
// For catch (...): a std::exception as above, anything else as "<context>: <description>".
void LogException(const std::exception_ptr &exception, const QString &context);
