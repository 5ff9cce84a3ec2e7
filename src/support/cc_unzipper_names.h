#pragma once

#include <QByteArray>
#include <QString>

// Decodes an entry name: UTF-8, then the file system's own encoding, then Windows code
// page 1252, then Mac OS Roman, the first that accepts every byte. Archives from old
// tools store names in whatever 8-bit encoding their machine used.
QString DecodeZipName(const QByteArray &bytes);
