#include "support/cc_unzipper.h"

#include "support_fixtures.h"
#include "test_support.h"

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

// Every entry as "name:contents", with "-" for one that yields nothing.
QString listing(CCUnzipper &reader)
{
    QStringList entries;
    for (uint64_t i = 0; i < reader.numberOfFiles(); ++i) {
        const auto data = reader.copyDataOfFileAtIndex(i);
        entries << reader.filePathAtIndex(i).value_or(QStringLiteral("?")) + QLatin1Char(':')
                + (data ? QString::fromUtf8(*data) : QStringLiteral("-"));
    }
    return entries.join(QStringLiteral(", "));
}

}

TEST(Unzipper, ReadsEveryLayoutOfZipfileTheZipCommandAndZip64RecordsWithComments)
{
    // Also from a path that isn't ASCII.
    const QString folder = freshFolder() + QStringLiteral("/Bilder \u00e4\u00f6/\u30d1\u30ba\u30eb");
    // Payloads chosen to cross the reader's 512-byte blocks and 64 KiB inflate chunks, both
    // compressible and not.
    const std::vector<Expected> expected = {
        {QStringLiteral("small.txt"), QByteArray("hello, puzzle")},
        {QStringLiteral("blocks.bin"), payload(1, 5000, false)},
        {QStringLiteral("pictures/large.txt"), payload(2, 300000, true)},
        {QStringLiteral("pictures/noise.bin"), payload(3, 200000, false)},
        {QStringLiteral("one.txt"), QByteArray("x")},
    };
    QStringList names;
    for (const Expected &entry : expected) {
        writeFile(folder + QStringLiteral("/payload/") + entry.name, entry.data);
        names << entry.name;
    }
    ASSERT_TRUE(runPython(folder, withWriter(R"PY(
import zipfile
names = ['small.txt', 'blocks.bin', 'pictures/large.txt', 'pictures/noise.bin', 'one.txt']
for method, archive in ((zipfile.ZIP_DEFLATED, 'deflated.zip'), (zipfile.ZIP_STORED, 'stored.zip')):
    with zipfile.ZipFile(archive, 'w', method) as zf:
        for n in names:
            zf.write('payload/' + n, n)
        # The longest comment there can be, and the shortest.
        zf.comment = bytes(i % 251 for i in range(65535 if method == zipfile.ZIP_DEFLATED else 1))
with zipfile.ZipFile('mixed.zip', 'w') as zf:
    for i, n in enumerate(names):
        zf.write('payload/' + n, n, zipfile.ZIP_DEFLATED if i % 2 else zipfile.ZIP_STORED)
with zipfile.ZipFile('forced.zip', 'w', zipfile.ZIP_DEFLATED, allowZip64=True) as zf:
    for n in names:
        with open('payload/' + n, 'rb') as src, zf.open(n, 'w', force_zip64=True) as dst:
            dst.write(src.read())
entries = [{'name': n.encode(), 'data': open('payload/' + n, 'rb').read(), 'method': i % 2 * 8,
            'extra': struct.pack('<HH5s', 0x5455, 5, b'\x01abcd') if i == 3 else b''}
           for i, n in enumerate(names)]
open('escaped.zip', 'wb').write(build(entries, zip64=True, comment=b'zip64 everywhere'))
)PY")));
    // -fz writes ZIP64 extra fields and a ZIP64 end record even for small archives.
    for (const char *options : {"-q", "-q0", "-qfz"}) {
        const QString archive = QStringLiteral("../zip%1.zip").arg(QLatin1String(options));
        ASSERT_TRUE(runProgram(folder + QStringLiteral("/payload"), QStringLiteral("zip"),
                               QStringList{QLatin1String(options), archive} + names));
    }

    for (const char *archive : {"deflated.zip", "stored.zip", "mixed.zip", "forced.zip", "escaped.zip", "zip-q.zip",
                                "zip-q0.zip", "zip-qfz.zip"}) {
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
    auto escaped = CCUnzipper::initWithFile(folder + QStringLiteral("/escaped.zip"));
    ASSERT_TRUE(deflated && stored && escaped);
    EXPECT_EQ(deflated->entryAtIndex(2)->type, 8);
    EXPECT_LT(deflated->entryAtIndex(2)->size, deflated->entryAtIndex(2)->orig);
    EXPECT_EQ(stored->entryAtIndex(2)->type, 0);
    EXPECT_EQ(stored->entryAtIndex(2)->size, stored->entryAtIndex(2)->orig);
    EXPECT_GT(escaped->entryAtIndex(4)->header, 0u);
    EXPECT_EQ(escaped->entryAtIndex(3)->orig, 200000u);

    // Streamed from standard input: sizes only in the central directory and a data descriptor.
    const QByteArray streamed = payload(4, 70000, true);
    ASSERT_TRUE(runProgram(folder, QStringLiteral("zip"),
                           {QStringLiteral("-q"), QStringLiteral("streamed.zip"), QStringLiteral("-")}, streamed));
    auto reader = CCUnzipper::initWithFile(folder + QStringLiteral("/streamed.zip"));
    ASSERT_TRUE(reader);
    expectEntries(*reader, {{QStringLiteral("-"), streamed}});
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
    // 0x81 is unused in code page 1252, so only Mac OS Roman takes it.
    EXPECT_EQ(listing(*reader),
              QStringLiteral("caf\u00e9.jpg:x, \u201cquoted\u201d.txt:x, \u00c5x.txt:x, 日本/写真.jpg:utf8"));
    EXPECT_EQ(reader->findFileOfType(QStringLiteral("jpg")), QStringLiteral("caf\u00e9.jpg"));
}

TEST(Unzipper, FindsTheFirstEntryOfAnExactExtensionAndListsEmptyEntries)
{
    const QString folder = freshFolder();
    ASSERT_TRUE(runPython(folder, QStringLiteral(R"PY(
import zipfile
with zipfile.ZipFile('types.zip', 'w', zipfile.ZIP_DEFLATED) as zf:
    for n in ('readme.txt', 'dir.jpg/', 'A_thumb.JPG', '.jpg', 'pics/b_thumb.jpg', 'c_thumb.jpg', 'archive.tar.gz'):
        zf.writestr(n, b'' if n.endswith('/') else n.encode())
    zf.writestr('empty.txt', b'')
    zf.writestr(zipfile.ZipInfo('stored-empty.txt'), b'')
)PY")));
    auto reader = CCUnzipper::initWithFile(folder + QStringLiteral("/types.zip"));
    ASSERT_TRUE(reader);
    const std::vector<std::pair<const char *, QString>> cases = {
        {"jpg", QStringLiteral("pics/b_thumb.jpg")},
        {"JPG", QStringLiteral("A_thumb.JPG")},
        {"gz", QStringLiteral("archive.tar.gz")},
        {"txt", QStringLiteral("readme.txt")},
        {"png", QStringLiteral("none")},
        {"jp", QStringLiteral("none")},
    };
    // Same answers before and after the directory was built.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto &[type, found] : cases)
            EXPECT_EQ(reader->findFileOfType(QLatin1String(type)).value_or(QStringLiteral("none")), found) << type;
        EXPECT_EQ(reader->numberOfFiles(), 9u);
    }
    // Folders and empty entries are listed but yield nothing.
    EXPECT_EQ(listing(*reader),
              QStringLiteral("readme.txt:readme.txt, dir.jpg/:-, A_thumb.JPG:A_thumb.JPG, .jpg:.jpg, "
                             "pics/b_thumb.jpg:pics/b_thumb.jpg, c_thumb.jpg:c_thumb.jpg, "
                             "archive.tar.gz:archive.tar.gz, empty.txt:-, stored-empty.txt:-"));
}

TEST(Unzipper, SafeLastPathComponentNeverLeavesTheFolder)
{
    const std::vector<std::pair<QString, const char *>> cases = {
        {QStringLiteral("../x.jpg"), "x.jpg"},
        {QStringLiteral("/etc/x.jpg"), "x.jpg"},
        {QStringLiteral("a/../../b.jpg"), "b.jpg"},
        {QStringLiteral("C:\\x.jpg"), "x.jpg"},
        {QStringLiteral("C:x.jpg"), "x.jpg"},
        {QStringLiteral("..\\..\\windows\\y.jpg"), "y.jpg"},
        {QStringLiteral("plain_thumb.jpg"), "plain_thumb.jpg"},
        {QStringLiteral("caf\u00e9/\u00e9t\u00e9.jpg"), "\u00e9t\u00e9.jpg"},
        {QStringLiteral("..."), "..."},
        {QString(), ""},
        {QStringLiteral("folder/"), ""},
        {QStringLiteral(".."), ""},
        {QStringLiteral("a/.."), ""},
        {QStringLiteral("a/."), ""},
        {QStringLiteral("a\\.."), ""},
        {QStringLiteral("bad\nname.jpg"), ""},
        {QStringLiteral("nul") + QChar(0) + QStringLiteral(".jpg"), ""},
    };
    for (const auto &[name, safe] : cases) {
        SCOPED_TRACE(name.toStdString());
        const QString result = SafeLastPathComponent(name);
        EXPECT_EQ(result, QString::fromUtf8(safe));
        for (const char *bad : {"/", "\\", ":"})
            EXPECT_FALSE(result.contains(QLatin1String(bad)));
    }
}
