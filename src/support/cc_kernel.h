#pragma once

#include "support/notification_names.h"

#include <QCalendar>
#include <QColor>
#include <QColorSpace>
#include <QFont>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>

inline constexpr char kBundleIdentifier[] = "com.wrenmoor.tobbin-jigsaw";

// The application environment: versions and names, the advanced-user marker, the interface
// appearance and a few shared drawing resources. One instance, created on first use on the
// main thread once the QGuiApplication exists, never destroyed.
class CCKernel : public QObject
{
    Q_OBJECT

public:
    // Feature checks elsewhere compare major * 65536 + minor * 256 + patch against desktop
    // version thresholds (10.12, 10.14). Every feature they guard exists on this system, so
    // the number is a fixed 10.15.0 that passes all of them.
    static constexpr uint32_t kSystemVersion = 10 * 65536 + 15 * 256;

    static CCKernel *sharedInstance();

    uint32_t systemVersion() const { return kSystemVersion; }
    // The operating system's own version text ("12") and its display name ("Debian GNU/Linux 12").
    QString systemVersionString() const;
    QString systemName() const;
    QString appName() const;
    QString appVersionString() const;
    // Display name of the volume holding "/".
    QString bootVolumeName() const;

    // The application controller, held but not owned.
    QObject *appDelegate() const { return m_appDelegate; }
    void setAppDelegate(QObject *delegate) { m_appDelegate = delegate; }

    const QCalendar &calendar() const { return m_calendar; }
    const QColorSpace &colorSpace() const { return m_colorSpace; }
    QFont systemFont() const;
    QFont smallSystemFont() const;

    // True while "<data folder>/Wrenmoor/Wrenmoor Advanced User" exists.
    bool isAdvancedUser() const;
    static QString advancedUserMarkerPath();

    bool isDarkMode() const { return m_darkMode; }
    QColor panelBackgroundColor() const { return m_panelBackground; }
    QColor outlineViewBackgroundColor() const { return m_outlineViewBackground; }

    // Recomputes the appearance from the application palette and posts kDarkModeNotification.
    void updateAppearance();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CCKernel();
    void applyAppearance(bool dark);

    QPointer<QObject> m_appDelegate;
    QCalendar m_calendar{QCalendar::System::Gregorian};
    QColorSpace m_colorSpace{QColorSpace::SRgb};
    bool m_darkMode = false;
    bool m_appearanceUpdatePending = false;
    QColor m_panelBackground;
    QColor m_outlineViewBackground;
};
