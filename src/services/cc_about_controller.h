#pragma once

#include <QDialog>
#include <QString>

class QLabel;

// The about box: the game's name, version and build, a description given by the caller, the
// copyright, and links to the maker's web site and licence page. At most one exists; closing
// it deletes it. Main thread only.
class CCAboutController : public QDialog
{
    Q_OBJECT

public:
    // Brings the about box forward with description, creating and centring it when none is open.
    static CCAboutController *introduceTobbinApp(const QString &description);
    // The open about box, or null.
    static CCAboutController *current();

    // "1.0.0 (1.0.0)": the version and the build, which is the application's "WMBuild" property
    // when it has one and otherwise the version again.
    static QString versionText();

    QLabel *nameField() const { return m_name; }
    QLabel *versionField() const { return m_version; }
    QLabel *descriptionField() const { return m_description; }
    QLabel *linkView() const { return m_link; }
    QLabel *licenseLinkView() const { return m_licenseLink; }

private:
    CCAboutController();
    ~CCAboutController() override;

    QLabel *m_name = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_description = nullptr;
    QLabel *m_link = nullptr;
    QLabel *m_licenseLink = nullptr;
};
