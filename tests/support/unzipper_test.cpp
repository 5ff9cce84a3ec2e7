#include "support/cc_unzipper.h"

#include "test_support.h"
#include "support_fixtures.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace tj::test;

namespace {

struct Expected
{
    QString name;
    QByteArray data;
};

// Every entry is listed under its name, in order, and extracts to exactly its bytes.
void expectEntries(CCUnzipper &reader, const std::vector<Expected> &expected)
{
    ASSERT_EQ(reader.numberOfFiles(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name.toStdString());
        EXPECT_EQ(reader.filePathAtIndex(i), expected[i].name);
        const auto data = reader.copyDataOfFileAtIndex(i);
        ASSERT_TRUE(data.has_value());
        EXPECT_TRUE(*data == expected[i].data);
    }
    EXPECT_FALSE(reader.filePathAtIndex(expected.size()).has_value());
    EXPECT_FALSE(reader.copyDataOfFileAtIndex(expected.size()).has_value());
}

// Payloads chosen to cross the reader's 512-byte blocks and 64 KiB inflate chunks, both
// compressible and not.
std::vector<Expected> writePayloads(const QString &folder)
{
    std::vector<Expected> entries = {
        {QStringLiteral("small.txt"), QByteArray("hello, puzzle")},
        {QStringLiteral("blocks.bin"), payload(1, 5000, false)},
        {QStringLiteral("pictures/large.txt"), payload(2, 300000, true)},
        {QStringLiteral("pictures/noise.bin"), payload(3, 200000, false)},
        {QStringLiteral("one.txt"), QByteArray("x")},
    };
    for (const Expected &entry : entries)
        writeFile(folder + QStringLiteral("/payload/") + entry.name, entry.data);
    return entries;
}

}

TEST(Unzipper, ReadsStoredAndDeflatedEntriesFromZipfileAndTheZipCommand)
{
    const QString folder = freshFolder();
    const auto expected = writePayloads(folder);
    ASSERT_TRUE(runPython(folder, QStringLiteral(R"PY(
import zipfile
names = ['small.txt', 'blocks.bin', 'pictures/large.txt', 'pictures/noise.bin', 'one.txt']
for method, archive in ((zipfile.ZIP_DEFLATED, 'deflated.zip'), (zipfile.ZIP_STORED, 'stored.zip')):
    with zipfile.ZipFile(archive, 'w', method) as zf:
        for n in names:
            zf.write('payload/' + n, n)
with zipfile.ZipFile('mixed.zip', 'w') as zf:
    for i, n in enumerate(names):
        zf.write('payload/' + n, n, zipfile.ZIP_DEFLATED if i % 2 else zipfile.ZIP_STORED)
)PY")));
    const QStringList names = {QStringLiteral("small.txt"), QStringLiteral("blocks.bin"),
                               QStringLiteral("pictures/large.txt"), QStringLiteral("pictures/noise.bin"),
                               QStringLiteral("one.txt")};
    // -fz writes ZIP64 extra fields and a ZIP64 end record even for small archives.
    for (const char *options : {"-q", "-q0", "-qfz"}) {
        const QString archive = QStringLiteral("../zip%1.zip").arg(QLatin1String(options));
        ASSERT_TRUE(runProgram(folder + QStringLiteral("/payload"), QStringLiteral("zip"),
                               QStringList{QLatin1String(options), archive} + names));
    }

    for (const char *archive : {"deflated.zip", "stored.zip", "mixed.zip", "zip-q.zip", "zip-q0.zip", "zip-qfz.zip"}) {
        SCOPED_TRACE(archive);
        const QString path = folder + QLatin1Char('/') + QLatin1String(archive);
        auto reader = CCUnzipper::initWithFile(path);
        ASSERT_TRUE(reader);
        expectEntries(*reader, expected);
        auto inMemory = CCUnzipper::initWithData(readFile(path));
        ASSERT_TRUE(inMemory);
        expectEntries(*inMemory, expected);
    }

    auto deflated = CCUnzipper::initWithFile(folder + QStringLiteral("/deflated.zip"));
    auto stored = CCUnzipper::initWithFile(folder + QStringLiteral("/stored.zip"));
    ASSERT_TRUE(deflated && stored);
    EXPECT_EQ(deflated->entryAtIndex(2)->type, 8);
    EXPECT_LT(deflated->entryAtIndex(2)->size, deflated->entryAtIndex(2)->orig);
    EXPECT_EQ(stored->entryAtIndex(2)->type, 0);
    EXPECT_EQ(stored->entryAtIndex(2)->size, stored->entryAtIndex(2)->orig);

    // Streamed from standard input: sizes only in the central directory and a data descriptor.
    const QByteArray streamed = payload(4, 70000, true);
    ASSERT_TRUE(runProgram(folder, QStringLiteral("zip"),
                           {QStringLiteral("-q"), QStringLiteral("streamed.zip"), QStringLiteral("-")}, streamed));
    auto reader = CCUnzipper::initWithFile(folder + QStringLiteral("/streamed.zip"));
    ASSERT_TRUE(reader);
    expectEntries(*reader, {{QStringLiteral("-"), streamed}});
}

TEST(Unzipper, ReadsZip64Records)
{
    const QString folder = freshFolder();
    const auto expected = writePayloads(folder);
    ASSERT_TRUE(runPython(folder, withWriter(R"PY(
import zipfile
names = ['small.txt', 'blocks.bin', 'pictures/large.txt', 'pictures/noise.bin', 'one.txt']
with zipfile.ZipFile('forced.zip', 'w', zipfile.ZIP_DEFLATED, allowZip64=True) as zf:
    for n in names:
        with open('payload/' + n, 'rb') as src, zf.open(n, 'w', force_zip64=True) as dst:
            dst.write(src.read())
entries = [{'name': n.encode(), 'data': open('payload/' + n, 'rb').read(), 'method': i % 2 * 8,
            'extra': struct.pack('<HH5s', 0x5455, 5, b'\x01abcd') if i == 3 else b''}
           for i, n in enumerate(names)]
open('escaped.zip', 'wb').write(build(entries, zip64=True, comment=b'zip64 everywhere'))
)PY")));

    for (const char *archive : {"forced.zip", "escaped.zip"}) {
        SCOPED_TRACE(archive);
        auto reader = CCUnzipper::initWithFile(folder + QLatin1Char('/') + QLatin1String(archive));
        ASSERT_TRUE(reader);
        expectEntries(*reader, expected);
    }
    auto reader = CCUnzipper::initWithFile(folder + QStringLiteral("/escaped.zip"));
    ASSERT_TRUE(reader);
    EXPECT_GT(reader->entryAtIndex(4)->header, 0u);
    EXPECT_EQ(reader->entryAtIndex(3)->orig, 200000u);
}

TEST(Unzipper, OpensAnArchiveWithTheLongestCommentFromANonAsciiPath)
{
    const QString folder = freshFolder() + QStringLiteral("/Bilder \u00e4\u00f6/\u30d1\u30ba\u30eb");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(runPython(folder, QStringLiteral(R"PY(
import zipfile
for size in (0, 1, 65535):
    with zipfile.ZipFile('Gr\u00f6\u00dfe%d.zip' % size, 'w', zipfile.ZIP_DEFLATED) as zf:
        zf.writestr('a.txt', 'first')
        zf.writestr('b.txt', 'second' * 100)
        zf.comment = bytes(i % 251 for i in range(size))
)PY")));
    for (int size : {0, 1, 65535}) {
        SCOPED_TRACE(size);
        auto reader = CCUnzipper::initWithFile(folder + QStringLiteral("/Gr\u00f6\u00dfe%1.zip").arg(size));
        ASSERT_TRUE(reader);
        expectEntries(*reader, {{QStringLiteral("a.txt"), QByteArray("first")},
                                {QStringLiteral("b.txt"), QByteArray("second").repeated(100)}});
    }
}

TEST(Unzipper, EmptyEntriesAndFoldersAreListedButYieldNothing)
{
    const QString folder = freshFolder();
    ASSERT_TRUE(runPython(folder, QStringLiteral(R"PY(
import zipfile
with zipfile.ZipFile('empty.zip', 'w', zipfile.ZIP_DEFLATED) as zf:
    zf.writestr('empty.txt', b'')
    zf.mkdir('folder')
    zf.writestr('folder/full.txt', b'contents')
    zf.writestr(zipfile.ZipInfo('stored-empty.txt'), b'')
)PY")));
    auto reader = CCUnzipper::initWithFile(folder + QStringLiteral("/empty.zip"));
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->numberOfFiles(), 4u);
    EXPECT_EQ(reader->filePathAtIndex(0), QStringLiteral("empty.txt"));
    EXPECT_EQ(reader->filePathAtIndex(1), QStringLiteral("folder/"));
    EXPECT_EQ(reader->filePathAtIndex(3), QStringLiteral("stored-empty.txt"));
    EXPECT_FALSE(reader->copyDataOfFileAtIndex(0));
    EXPECT_FALSE(reader->copyDataOfFileAtIndex(1));
    EXPECT_FALSE(reader->copyDataOfFileAtIndex(3));
    EXPECT_EQ(reader->copyDataOfFileAtIndex(2), QByteArray("contents"));
}

TEST(Unzipper, DecodesNamesThroughTheFallbackEncodings)
{
    const QString folder = freshFolder();
    // zipfile writes non-ASCII names as flagged UTF-8, so legacy bytes are patched in over
    // placeholders of the same length.
    ASSERT_TRUE(runPython(folder, QStringLiteral(R"PY(
import zipfile
names = {b'cafX.jpg': b'caf\xe9.jpg', b'QquotedQ.txt': b'\x93quoted\x94.txt', b'Qx.txt': b'\x81x.txt'}
with zipfile.ZipFile('names.zip', 'w') as zf:
    for placeholder in names:
        zf.writestr(placeholder.decode(), b'x')
    zf.writestr('日本/写真.jpg', b'utf8')
data = open('names.zip', 'rb').read()
for placeholder, legacy in names.items():
    data = data.replace(placeholder, legacy)
open('names.zip', 'wb').write(data)
)PY")));
    auto reader = CCUnzipper::initWithFile(folder + QStringLiteral("/names.zip"));
    ASSERT_TRUE(reader);
    ASSERT_EQ(reader->numberOfFiles(), 4u);
    EXPECT_EQ(reader->filePathAtIndex(0), QStringLiteral("caf\u00e9.jpg"));
    EXPECT_EQ(reader->filePathAtIndex(1), QStringLiteral("\u201cquoted\u201d.txt"));
    // 0x81 is unused in code page 1252, so only Mac OS Roman takes it.
    EXPECT_EQ(reader->filePathAtIndex(2), QStringLiteral("\u00c5x.txt"));
    EXPECT_EQ(reader->filePathAtIndex(3), QStringLiteral("日本/写真.jpg"));
    EXPECT_EQ(reader->copyDataOfFileAtIndex(3), QByteArray("utf8"));
    EXPECT_EQ(reader->findFileOfType(QStringLiteral("jpg")), QStringLiteral("caf\u00e9.jpg"));
}

TEST(Unzipper, FindsTheFirstEntryOfAnExactExtension)
{
    const QString folder = freshFolder();
    ASSERT_TRUE(runPython(folder, QStringLiteral(R"PY(
import zipfile
with zipfile.ZipFile('types.zip', 'w') as zf:
    for n in ('readme.txt', 'dir.jpg/', 'A_thumb.JPG', '.jpg', 'pics/b_thumb.jpg', 'c_thumb.jpg', 'archive.tar.gz'):
        zf.writestr(n, b'' if n.endswith('/') else n.encode())
)PY")));
    auto reader = CCUnzipper::initWithFile(folder + QStringLiteral("/types.zip"));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->findFileOfType(QStringLiteral("jpg")), QStringLiteral("pics/b_thumb.jpg"));
    EXPECT_EQ(reader->findFileOfType(QStringLiteral("JPG")), QStringLiteral("A_thumb.JPG"));
    EXPECT_EQ(reader->findFileOfType(QStringLiteral("gz")), QStringLiteral("archive.tar.gz"));
    EXPECT_EQ(reader->findFileOfType(QStringLiteral("txt")), QStringLiteral("readme.txt"));
    EXPECT_FALSE(reader->findFileOfType(QStringLiteral("png")));
    EXPECT_FALSE(reader->findFileOfType(QStringLiteral("jp")));
    // Same answer whether or not the directory was built first.
    EXPECT_EQ(reader->numberOfFiles(), 7u);
    EXPECT_EQ(reader->findFileOfType(QStringLiteral("jpg")), QStringLiteral("pics/b_thumb.jpg"));
}

TEST(Unzipper, SafeLastPathComponentNeverLeavesTheFolder)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("../x.jpg"), QStringLiteral("x.jpg")},
        {QStringLiteral("/etc/x.jpg"), QStringLiteral("x.jpg")},
        {QStringLiteral("a/../../b.jpg"), QStringLiteral("b.jpg")},
        {QStringLiteral("C:\\x.jpg"), QStringLiteral("x.jpg")},
        {QStringLiteral("C:x.jpg"), QStringLiteral("x.jpg")},
        {QStringLiteral("..\\..\\windows\\y.jpg"), QStringLiteral("y.jpg")},
        {QStringLiteral("plain_thumb.jpg"), QStringLiteral("plain_thumb.jpg")},
        {QStringLiteral("caf\u00e9/\u00e9t\u00e9.jpg"), QStringLiteral("\u00e9t\u00e9.jpg")},
        {QStringLiteral("..."), QStringLiteral("...")},
        {QStringLiteral(""), QString()},
        {QStringLiteral("folder/"), QString()},
        {QStringLiteral(".."), QString()},
        {QStringLiteral("a/.."), QString()},
        {QStringLiteral("a/."), QString()},
        {QStringLiteral("a\\.."), QString()},
        {QStringLiteral("bad\nname.jpg"), QString()},
        {QString(QStringLiteral("nul")) + QChar(0) + QStringLiteral(".jpg"), QString()},
    };
    for (const auto &[name, safe] : cases) {
        SCOPED_TRACE(name.toStdString());
        const QString result = SafeLastPathComponent(name);
        EXPECT_EQ(result, safe);
        for (const char *bad : {"/", "\\", ":"})
            EXPECT_FALSE(result.contains(QLatin1String(bad)));
    }
}
