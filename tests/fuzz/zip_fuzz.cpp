// Opens the fuzz bytes as an archive, lists every entry and extracts each one.
#include "support/cc_unzipper.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    auto reader = CCUnzipper::initWithData(bytes);
    if (!reader)
        return 0;
    reader->findFileOfType(QStringLiteral("jpg"));
    const uint64_t count = reader->numberOfFiles();
    for (uint64_t i = 0; i <= count; ++i) {
        const auto path = reader->filePathAtIndex(i);
        if (path)
            SafeLastPathComponent(*path);
        const auto entry = reader->entryAtIndex(i);
        const auto contents = reader->copyDataOfFileAtIndex(i);
        // Whatever comes out has passed every check, so it has the declared size.
        if (contents && (!entry || static_cast<uint64_t>(contents->size()) != entry->orig))
            __builtin_trap();
    }
    return 0;
}
