#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

// CRC-32 as zip uses it (reflected polynomial 0xEDB88320), continued from crc.
uint32_t ZipCrc32(const QByteArray &data, uint32_t crc = 0);

// A plain zip archive in memory: UTF-8 names, each entry deflated when that makes it smaller
// (but not so dense that CCUnzipper would take it for a zip bomb) and stored otherwise. No ZIP64: none when there are
// more than 65,535 entries or the archive would reach 4 GiB, or a name is empty or longer than 65,535 bytes.
std::optional<QByteArray> MakeZipArchive(const QList<std::pair<QString, QByteArray>> &entries,
                                         const QDateTime &modified = QDateTime::currentDateTime());
