#pragma once

#include "services/cc_app_updater_thread.h"

#include <QString>
#include <QVariantMap>

#include <cstdint>

// Downloads one file of the website's puzzle folder: the catalogue, a thumbnail archive or a
// picture ("Animals/red_panda.jpg"). The file lands in the temporary folder under a fresh
// GUID name with the name's own extension. Pictures may be up to 64 MiB, anything else 16 MiB.
class JPWebsiteDownloader : public CCNewsUpdaterThread
{
    Q_OBJECT

public:
    JPWebsiteDownloader(const QString &fileName, const QVariantMap &puzzleDict, uint64_t sequence,
                        QObject *parent = nullptr);

    // The server address of a name relative to the puzzle folder; invalid when the name is
    // empty or has an empty, "." or ".." component, so no name leaves that folder.
    static QUrl addressForFileName(const QString &fileName);

    const QString &fileName() const { return m_fileName; }
    const QVariantMap &puzzleDict() const { return m_puzzleDict; }
    uint64_t sequence() const { return m_sequence; }

protected:
    QString decideDestination(const QString &suggestedFilename) override;

private:
    const QString m_fileName;
    const QVariantMap m_puzzleDict;
    const uint64_t m_sequence;
};
