#include "support/log.h"

#include "support/cc_logger.h"

#include <cstdlib>
#include <execinfo.h>
#include <string>

namespace {

constexpr int kMaxBacktraceFrames = 50;

}

void LogString(const QString &text)
{
    CCLogger::sharedInstance()->logString(text);
}

QString BacktraceText()
{
    void *frames[kMaxBacktraceFrames];
    const int count = backtrace(frames, kMaxBacktraceFrames);
    char **symbols = backtrace_symbols(frames, count);
    if (!symbols)
        return QString();
    QString text;
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("   ") + QString::fromLocal8Bit(symbols[i]) + QLatin1Char('\n');
    std::free(symbols);
    return text;
}

void LogBacktrace()
{
    LogString(BacktraceText());
}

void LogException(const std::exception &exception, const QString &context)
{
    LogString(QStringLiteral("%1: %2\n%3").arg(context, QString::fromLocal8Bit(exception.what()), BacktraceText()));
}

void LogException(const std::exception_ptr &exception, const QString &context)
{
    if (!exception) {
        LogString(QStringLiteral("%1: no exception").arg(context));
        return;
    }
    try {
        std::rethrow_exception(exception);
    } catch (const std::exception &caught) {
        LogException(caught, context);
    } catch (const QString &text) {
        LogString(QStringLiteral("%1: %2").arg(context, text));
    } catch (const std::string &text) {
        LogString(QStringLiteral("%1: %2").arg(context, QString::fromStdString(text)));
    } catch (const char *text) {
        LogString(QStringLiteral("%1: %2").arg(context, QString::fromLocal8Bit(text)));
    } catch (...) {
        LogString(QStringLiteral("%1: unknown exception").arg(context));
    }
}
