// Opens the fuzz bytes as an archive, lists every entry and extracts each one.
#include "support/cc_unzipper.h"

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    auto reader =
        CCUnzipper::initWithData(QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (!reader)
        return 0;
    reader->findFileOfType(QStringLiteral("jpg"));
    const uint64_t count = reader->numberOfFiles();
    for (uint64_t i = 0; i <= count; ++i) {
        if (const auto path = reader->filePathAtIndex(i))
            SafeLastPathComponent(*path);
        const auto entry = reader->entryAtIndex(i);
        const auto contents = reader->copyDataOfFileAtIndex(i);
        // Whatever comes out has passed every check, so it has the declared size.
        FUZZ_CHECK(!contents || (entry && uint64_t(contents->size()) == entry->orig));
    }
    return 0;
}
