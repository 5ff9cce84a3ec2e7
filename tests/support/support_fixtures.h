#pragma once

// Files for the zip reader and property list tests are written by tools this project doesn't
// own: Python's zipfile and plistlib modules, the zip command, and a small hand-rolled Python
// writer for archive layouts those tools never produce (every ZIP64 field escaped, exact size
// ratios).

#include "support/cc_xml_decoder.h"

#include <QByteArray>
#include <QProcess>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>

namespace tj::test {

// Random bytes, or text-like bytes that deflate well when compressible is set.
inline QByteArray payload(uint32_t seed, qsizetype size, bool compressible)
{
    std::mt19937 random(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = compressible ? char('a' + random() % 6) : char(random() & 0xFF);
    return bytes;
}

inline testing::AssertionResult runProgram(const QString &folder, const QString &program, const QStringList &arguments,
                                           const QByteArray &input = QByteArray())
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForStarted(30000))
        return testing::AssertionFailure() << program.toStdString() << " did not start";
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return testing::AssertionFailure()
            << program.toStdString() << " failed: " << process.readAllStandardError().toStdString();
    return testing::AssertionSuccess();
}

inline testing::AssertionResult runPython(const QString &folder, const QString &script)
{
    return runProgram(folder, QStringLiteral("python3"), {QStringLiteral("-c"), script});
}

// Prepended to scripts that need archives zipfile can't write. build() takes a list of
// dicts with "name" (bytes) and "data", optionally "method" (0 or 8), "raw" (the
// compressed bytes as stored), "crc", "usize", "csize", "local_method" and "extra"
// (extra-field blocks placed before the ZIP64 block).
inline const char *kPythonWriter = R"PY(
import struct, zlib

def deflate(data):
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    return c.compress(data) + c.flush()

def build(entries, zip64=False, comment=b'', prefix=b''):
    out = bytearray(prefix)
    central = bytearray()
    for e in entries:
        data = e['data']
        method = e.get('method', 8)
        comp = e['raw'] if 'raw' in e else (deflate(data) if method == 8 else data)
        crc = e.get('crc', zlib.crc32(data))
        usize = e.get('usize', len(data))
        csize = e.get('csize', len(comp))
        name = e['name']
        offset = len(out)
        out += struct.pack('<IHHHHHIIIHH', 0x04034b50, 45, 0, e.get('local_method', method), 0, 0, crc,
                           min(csize, 0xFFFFFFFF), min(usize, 0xFFFFFFFF), len(name), 0) + name + comp
        if zip64:
            extra = e.get('extra', b'') + struct.pack('<HHQQQ', 1, 24, usize, csize, offset)
            sizes = (0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF)
        else:
            extra = e.get('extra', b'')
            sizes = (csize, usize, offset)
        central += struct.pack('<IHHHHHHIIIHHHHHII', 0x02014b50, 45, 45, 0, method, 0, 0, crc,
                               sizes[0], sizes[1], len(name), len(extra), 0, 0, 0, 0, sizes[2]) + name + extra
    start = len(out)
    out += central
    n = len(entries)
    if zip64:
        record = len(out)
        out += struct.pack('<IQHHIIQQQQ', 0x06064b50, 44, 45, 45, 0, 0, n, n, len(central), start)
        out += struct.pack('<IIQI', 0x07064b50, 0, record, 1)
        out += struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, 0xFFFF, 0xFFFF, 0xFFFFFFFF, 0xFFFFFFFF, len(comment))
    else:
        out += struct.pack('<IHHHHIIH', 0x06054b50, 0, 0, n, n, len(central), start, len(comment))
    return bytes(out + comment)

def put(blob, at, value):
    blob[at:at + len(value)] = value
    return blob

# Writes an archive, letting edit change its bytes first.
def save(name, entries, edit=lambda blob: blob, **options):
    open(name, 'wb').write(edit(bytearray(build(entries, **options))))
)PY";

// The XML reader's step as text: the tag, '<' when it opens an element, '/' when it closes
// one (both for a leaf), then the level after the step.
inline QString stepText(const CCXmlDecoder &decoder)
{
    return decoder.xmlTag() + QLatin1String(decoder.startTag() ? "<" : "") + QLatin1String(decoder.endTag() ? "/" : "")
        + QString::number(decoder.level());
}

inline QString withWriter(const char *script)
{
    return QString::fromLatin1(kPythonWriter) + QString::fromUtf8(script);
}

}
