#pragma once

#include "services/cc_app_updater_thread.h"

// The version check: fetches the maker's downloads page and keeps the newest file of this
// program linked there. Succeeds when the page links one; downloadPath() is then the address
// of a newer file (empty when the running version is current) and downloadVersion() the
// newest version linked.
class CCUpdateCheckThread : public CCAppUpdaterThread
{
    Q_OBJECT

public:
    CCUpdateCheckThread(const QUrl &page, QString executableName, QString versionText, QObject *parent = nullptr);

protected:
    bool examineDownload(const QString &path) override;

private:
    const QString m_executableName;
    const QString m_versionText;
};

// The update download: the file goes into folder under the server's name for it, never over
// an existing file, and only when that name ends in ".dmg" or ".zip".
class CCUpdateDownloadThread : public CCAppUpdaterThread
{
    Q_OBJECT

public:
    CCUpdateDownloadThread(const QUrl &address, QString folder, QObject *parent = nullptr);

    // The user's downloads folder, created when missing; empty when there is none.
    static QString downloadsFolder();
    // The name the file suggested by the server gets in folder: its last path component, made
    // unique there; empty for any other kind of file.
    static QString updateFileName(const QString &suggested, const QString &folder);

protected:
    QString decideDestination(const QString &suggestedFilename) override;

private:
    const QString m_folder;
};
