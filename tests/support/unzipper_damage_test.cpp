#include "support/cc_unzipper.h"

#include "support_fixtures.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace tj::test;

namespace {

QByteArray makeArchive(const QString &folder, const char *script, const QString &name)
{
    EXPECT_TRUE(runPython(folder, withWriter(script)));
    return readFile(folder + QLatin1Char('/') + name);
}

// Whatever the damage, a reader either refuses or hands out bytes that really were
// stored in the archive: the CRC check leaves no room for anything else.
void expectOnlyOriginals(const QByteArray &archive, const std::vector<QByteArray> &originals)
{
    auto reader = CCUnzipper::initWithData(archive);
    if (!reader)
        return;
    const uint64_t count = reader->numberOfFiles();
    EXPECT_LE(count, originals.size());
    for (uint64_t i = 0; i <= count; ++i) {
        reader->filePathAtIndex(i);
        const auto data = reader->copyDataOfFileAtIndex(i);
        if (data) {
            EXPECT_NE(std::find(originals.begin(), originals.end(), *data), originals.end()) << "entry " << i;
        }
    }
    reader->findFileOfType(QStringLiteral("txt"));
}

}

TEST(UnzipperDamage, RefusesFilesThatAreNotUsableArchives)
{
    const QString folder = freshFolder();
    // Appending to a file that isn't an archive leaves the stub in front, as a
    // self-extractor does; zipfile itself still reads the result.
    ASSERT_TRUE(runPython(folder, QStringLiteral(R"PY(
import zipfile
zipfile.ZipFile('empty.zip', 'w').close()
with zipfile.ZipFile('good.zip', 'w') as zf:
    zf.writestr('a.txt', 'payload')
open('sfx.zip', 'wb').write(b'MZ' + bytes(4000))
with zipfile.ZipFile('sfx.zip', 'a') as zf:
    zf.writestr('a.txt', 'payload')
assert zipfile.ZipFile('sfx.zip').read('a.txt') == b'payload'
)PY")));
    writeFile(folder + QStringLiteral("/nothing.zip"), QByteArray());
    writeFile(folder + QStringLiteral("/pk.zip"), QByteArray("PK"));
    writeFile(folder + QStringLiteral("/noise.zip"), QByteArray("PK") + payload(9, 5000, false));

    EXPECT_TRUE(CCUnzipper::initWithFile(folder + QStringLiteral("/good.zip")));
    for (const char *name : {"missing.zip", "empty.zip", "nothing.zip", "pk.zip", "noise.zip", "sfx.zip", ""})
        EXPECT_FALSE(CCUnzipper::initWithFile(folder + QLatin1Char('/') + QLatin1String(name))) << name;
    const QByteArray good = readFile(folder + QStringLiteral("/good.zip"));
    EXPECT_TRUE(CCUnzipper::initWithData(good));
    EXPECT_FALSE(CCUnzipper::initWithData(QByteArray("#!/bin/sh\n") + good));
    EXPECT_FALSE(CCUnzipper::initWithData(QByteArray()));
}

TEST(UnzipperDamage, EntriesFailingTheirChecksYieldNothing)
{
    const QString folder = freshFolder();
    const QByteArray archive = makeArchive(folder, R"PY(
data = b'jigsaw piece ' * 40
entries = [
    {'name': b'bad-crc-stored', 'data': data, 'method': 0, 'crc': zlib.crc32(data) ^ 1},
    {'name': b'bad-crc-deflated', 'data': data, 'crc': zlib.crc32(data) ^ 0x80000000},
    {'name': b'stored-longer', 'data': data, 'method': 0, 'usize': len(data) + 1},
    {'name': b'stored-shorter', 'data': data, 'method': 0, 'usize': len(data) - 1},
    {'name': b'deflated-shorter', 'data': data, 'usize': len(data) - 1},
    {'name': b'deflated-longer', 'data': data, 'usize': len(data) + 1},
    {'name': b'bzip2', 'data': data, 'method': 12},
    {'name': b'local-method-differs', 'data': data, 'local_method': 0},
    {'name': b'not-deflate', 'data': data, 'raw': b'\xff' * 100},
    {'name': b'cut-stream', 'data': data, 'raw': deflate(data)[:-3]},
    {'name': b'good', 'data': data},
]
open('checks.zip', 'wb').write(build(entries))
)PY",
                                           QStringLiteral("checks.zip"));
    auto reader = CCUnzipper::initWithData(archive);
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->numberOfFiles(), 11u);
    for (uint64_t i = 0; i < 10; ++i)
        EXPECT_FALSE(reader->copyDataOfFileAtIndex(i)) << reader->filePathAtIndex(i)->toStdString();
    EXPECT_EQ(reader->copyDataOfFileAtIndex(10), QByteArray("jigsaw piece ").repeated(40));
}

TEST(UnzipperDamage, RefusesEntriesGrowingSixtyFourTimesOrPastTheCallersLimit)
{
    const QString folder = freshFolder();
    const QByteArray entry = payload(5, 100000, true);
    writeFile(folder + QStringLiteral("/entry.txt"), entry);
    // Padding after the end of the deflate stream sets the stored size exactly.
    const QByteArray archive = makeArchive(folder, R"PY(
zeros = bytes(64000)
def padded(size):
    raw = deflate(zeros)
    return raw + bytes(size - len(raw))
entry = open('entry.txt', 'rb').read()
save('limits.zip', [{'name': b'at-limit', 'data': zeros, 'raw': padded(1000)},
                    {'name': b'below-limit', 'data': zeros, 'raw': padded(1001)},
                    {'name': b'deflated.txt', 'data': entry}, {'name': b'stored.txt', 'data': entry, 'method': 0}])
import zipfile
with zipfile.ZipFile('bomb.zip', 'w', zipfile.ZIP_DEFLATED) as zf:
    zf.writestr('bomb.bin', bytes(20 * 1024 * 1024))
)PY",
                                           QStringLiteral("limits.zip"));
    auto reader = CCUnzipper::initWithData(archive);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->copyDataOfFileAtIndex(0));
    EXPECT_EQ(reader->copyDataOfFileAtIndex(1), QByteArray(64000, '\0'));
    for (uint64_t i = 2; i < 4; ++i) {
        EXPECT_FALSE(reader->copyDataOfFileAtIndex(i, 99999));
        EXPECT_EQ(reader->copyDataOfFileAtIndex(i, 100000), entry);
        // A limit above the hard one doesn't lift it; this entry is under both.
        EXPECT_TRUE(reader->copyDataOfFileAtIndex(i, UINT64_MAX));
    }

    auto bomb = CCUnzipper::initWithFile(folder + QStringLiteral("/bomb.zip"));
    ASSERT_TRUE(bomb);
    ASSERT_EQ(bomb->numberOfFiles(), 1u);
    EXPECT_EQ(bomb->entryAtIndex(0)->orig, 20u * 1024 * 1024);
    EXPECT_FALSE(bomb->copyDataOfFileAtIndex(0));
}

TEST(UnzipperDamage, HostileClaimsAreCheckedAgainstTheRealFile)
{
    const QString folder = freshFolder();
    ASSERT_TRUE(runPython(folder, withWriter(R"PY(
data = b'real bytes ' * 30
one = {'name': b'a.txt', 'data': data}
save('huge-count.zip', [one, dict(one, name=b'b.txt')], zip64=True,
     edit=lambda b: put(b, b.rfind(struct.pack('<I', 0x06064b50)) + 24, struct.pack('<QQ', 2**63 + 5, 2**63 + 5)))
save('huge-stored.zip', [dict(one, method=0, usize=0xF0000000, csize=0xF0000000)])
save('huge-deflated.zip', [dict(one, usize=200 * 2**20, csize=4 * 2**20)])
save('huge-zip64.zip', [dict(one, usize=2**62, csize=2**61)], zip64=True)
save('far-header.zip', [one], zip64=True,
     edit=lambda b: put(b, b.find(struct.pack('<HH', 1, 24)) + 20, struct.pack('<Q', 2**64 - 1)))
save('short-zip64-block.zip', [one], zip64=True,
     edit=lambda b: b.replace(struct.pack('<HH', 1, 24), struct.pack('<HH', 1, 8)))
save('no-locator.zip', [one], zip64=True, edit=lambda b: b.replace(struct.pack('<I', 0x07064b50), b'XXXX'))
save('directory-past-end.zip', [one], edit=lambda b: put(b, len(b) - 6, struct.pack('<I', len(b) + 10)))
)PY")));
    const auto open = [&](const char *name) {
        return CCUnzipper::initWithFile(folder + QLatin1Char('/') + QLatin1String(name));
    };
    const QByteArray data = QByteArray("real bytes ").repeated(30);

    auto hugeCount = open("huge-count.zip");
    ASSERT_TRUE(hugeCount);
    EXPECT_EQ(hugeCount->numberOfFiles(), 2u);
    EXPECT_EQ(hugeCount->copyDataOfFileAtIndex(1), data);

    for (const char *name : {"huge-stored.zip", "huge-deflated.zip", "huge-zip64.zip"}) {
        auto reader = open(name);
        ASSERT_TRUE(reader) << name;
        ASSERT_EQ(reader->numberOfFiles(), 1u) << name;
        EXPECT_FALSE(reader->copyDataOfFileAtIndex(0, UINT64_MAX)) << name;
    }
    for (const char *name : {"far-header.zip", "short-zip64-block.zip"}) {
        auto reader = open(name);
        ASSERT_TRUE(reader) << name;
        EXPECT_EQ(reader->numberOfFiles(), 0u) << name;
        EXPECT_FALSE(reader->copyDataOfFileAtIndex(0)) << name;
        EXPECT_FALSE(reader->findFileOfType(QStringLiteral("txt"))) << name;
    }
    EXPECT_FALSE(open("no-locator.zip"));
    EXPECT_FALSE(open("directory-past-end.zip"));
}

TEST(UnzipperDamage, DamagedCopiesNeverYieldForeignBytes)
{
    const QString folder = freshFolder();
    ASSERT_TRUE(runPython(folder, withWriter(R"PY(
import zipfile
entries = [{'name': b'one.txt', 'data': b'first entry ' * 20},
           {'name': b'two.bin', 'data': bytes(range(256)) * 3, 'method': 0},
           {'name': b'three.txt', 'data': b'third'}]
open('plain.zip', 'wb').write(build(entries))
open('zip64.zip', 'wb').write(build(entries, zip64=True))
)PY")));
    QByteArray everyByte(768, Qt::Uninitialized);
    for (int i = 0; i < everyByte.size(); ++i)
        everyByte[i] = char(i % 256);
    const std::vector<QByteArray> all = {QByteArray("first entry ").repeated(20), everyByte, QByteArray("third")};

    for (const char *name : {"plain.zip", "zip64.zip"}) {
        SCOPED_TRACE(name);
        const QByteArray archive = readFile(folder + QLatin1Char('/') + QLatin1String(name));
        auto whole = CCUnzipper::initWithData(archive);
        ASSERT_TRUE(whole);
        ASSERT_EQ(whole->numberOfFiles(), 3u);
        for (uint64_t i = 0; i < 3; ++i)
            EXPECT_EQ(whole->copyDataOfFileAtIndex(i), all[i]);

        for (qsizetype length = 0; length < archive.size(); ++length)
            expectOnlyOriginals(archive.left(length), all);
        for (qsizetype start = 0; start + 16 <= archive.size(); start += 7)
            expectOnlyOriginals(archive.left(start) + archive.mid(start + 16), all);
        for (qsizetype at = 0; at < archive.size(); ++at) {
            for (const char flip : {char(0xFF), char(0x01), char(0x80)}) {
                QByteArray damaged = archive;
                damaged[at] = char(damaged[at] ^ flip);
                expectOnlyOriginals(damaged, all);
            }
        }
    }
}

TEST(UnzipperDamage, HeaderCacheStaysBoundedOnAHugeDirectory)
{
    const QString folder = freshFolder();
    ASSERT_TRUE(runPython(folder, QStringLiteral(R"PY(
import zipfile
with zipfile.ZipFile('many.zip', 'w') as zf:
    for i in range(20000):
        zf.writestr('entry-%05d-with-a-rather-long-name.txt' % i, b'%d' % i)
    zf.writestr('last.jpg', b'picture')
)PY")));
    auto reader = CCUnzipper::initWithFile(folder + QStringLiteral("/many.zip"));
    ASSERT_TRUE(reader);
    const size_t ceiling = CCUnzipper::kMaximumCachedBlocks * CCUnzipper::kBlockSize;
    ASSERT_GT(reader->fileLength(), 2 * ceiling);
    EXPECT_EQ(reader->findFileOfType(QStringLiteral("jpg")), QStringLiteral("last.jpg"));
    EXPECT_LE(reader->cachedBytes(), ceiling);
    ASSERT_EQ(reader->numberOfFiles(), 20001u);
    EXPECT_LE(reader->cachedBytes(), ceiling);
    for (uint64_t i : {0u, 511u, 12345u, 19999u}) {
        const QString name = QStringLiteral("entry-%1-with-a-rather-long-name.txt").arg(i, 5, 10, QLatin1Char('0'));
        EXPECT_EQ(reader->filePathAtIndex(i), name);
        EXPECT_EQ(reader->copyDataOfFileAtIndex(i), QByteArray::number(qulonglong(i)));
    }
    EXPECT_EQ(reader->copyDataOfFileAtIndex(20000), QByteArray("picture"));
    EXPECT_LE(reader->cachedBytes(), ceiling);
}
