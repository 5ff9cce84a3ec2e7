#include "support/cc_kernel.h"

#include "support/cc_notifier.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTimer>

namespace {

const QColor kLightPanel = QColor::fromRgbF(0.9019607843137255f, 0.9019607843137255f, 0.9019607843137255f);
const QColor kLightOutlineView = QColor::fromRgbF(0.8980392156862745f, 0.9254901960784314f, 0.9725490196078431f);
// The opaque grey shared by both backgrounds in dark mode.
const QColor kDarkBackground = QColor(0x26, 0x26, 0x26);

// The desktop's small system font is 11 points beside the regular 13.
constexpr qreal kSmallFontRatio = 11.0 / 13.0;

bool paletteIsDark()
{
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

}

CCKernel *CCKernel::sharedInstance()
{
    static CCKernel *const kernel = new CCKernel;
    return kernel;
}

CCKernel::CCKernel()
{
    // A window that opens while the palette is already dark must not start out light.
    applyAppearance(qobject_cast<QGuiApplication *>(QCoreApplication::instance()) && paletteIsDark());
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
}

QString CCKernel::systemVersionString() const
{
    return QSysInfo::productVersion();
}

QString CCKernel::systemName() const
{
    return QSysInfo::prettyProductName();
}

QString CCKernel::appName() const
{
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? QStringLiteral("Tobbin Jigsaw") : name;
}

QString CCKernel::appVersionString() const
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral(TJ_VERSION) : version;
}

QString CCKernel::bootVolumeName() const
{
    return QStorageInfo::root().displayName();
}

QFont CCKernel::systemFont() const
{
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

QFont CCKernel::smallSystemFont() const
{
    QFont font = systemFont();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * kSmallFontRatio);
    else if (font.pixelSize() > 0)
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * kSmallFontRatio)));
    return font;
}

QString CCKernel::advancedUserMarkerPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Wrenmoor/Wrenmoor Advanced User");
}

bool CCKernel::isAdvancedUser() const
{
    return QFileInfo::exists(advancedUserMarkerPath());
}

void CCKernel::applyAppearance(bool dark)
{
    m_darkMode = dark;
    m_panelBackground = dark ? kDarkBackground : kLightPanel;
    m_outlineViewBackground = dark ? kDarkBackground : kLightOutlineView;
}

void CCKernel::updateAppearance()
{
    m_appearanceUpdatePending = false;
    applyAppearance(paletteIsDark());
    CCNotifier::sharedInstance()->post(QLatin1String(kDarkModeNotification), this);
}

bool CCKernel::eventFilter(QObject *watched, QEvent *event)
{
    // A palette or theme change reaches the application and every window; one update per
    // burst is enough.
    const QEvent::Type type = event->type();
    if ((type == QEvent::ApplicationPaletteChange || type == QEvent::ThemeChange) && !m_appearanceUpdatePending) {
        m_appearanceUpdatePending = true;
        QTimer::singleShot(0, this, &CCKernel::updateAppearance);
    }
    return QObject::eventFilter(watched, event);
}
