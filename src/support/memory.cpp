#include "support/memory.h"

#include "support/log.h"

#include <cstdlib>

namespace {

void logAllocationFailure(size_t size)
{
    LogString(QStringLiteral("Allocation failed for %1 bytes.").arg(qulonglong(size)));
    LogBacktrace();
}

}

void *AllocateMemory(size_t size)
{
    // malloc(0) may legitimately return null, which callers would take for a failure.
    void *block = std::malloc(size ? size : 1);
    if (!block)
        logAllocationFailure(size);
    return block;
}

void *AllocateAndClearMemory(size_t size)
{
    void *block = std::calloc(size ? size : 1, 1);
    if (!block)
        logAllocationFailure(size);
    return block;
}
