#include "services/cc_about_controller.h"

#include "services/wrenmoor_server.h"
#include "support/cc_kernel.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int kAboutWidth = 340;
constexpr qreal kNameScale = 1.6;

QPointer<CCAboutController> g_aboutController;

QLabel *linkLabel(const QUrl &address, const QString &title)
{
    auto *label = new QLabel(QStringLiteral("<a href=\"%1\">%2</a>")
                                 .arg(address.toString(QUrl::FullyEncoded).toHtmlEscaped(), title.toHtmlEscaped()));
    label->setTextFormat(Qt::RichText);
    label->setOpenExternalLinks(true);
    // Clickable, never editable.
    label->setTextInteractionFlags(Qt::TextBrowserInteraction);
    label->setAlignment(Qt::AlignHCenter);
    return label;
}

QLabel *centredLabel(const QString &text)
{
    auto *label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    return label;
}

}

QString CCAboutController::versionText()
{
    const QString version = CCKernel::sharedInstance()->appVersionString();
    QString build;
    if (QCoreApplication *app = QCoreApplication::instance())
        build = app->property("WMBuild").toString();
    return QStringLiteral("%1 (%2)").arg(version, build.isEmpty() ? version : build);
}

CCAboutController::CCAboutController()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About %1").arg(CCKernel::sharedInstance()->appName()));
    setFixedWidth(kAboutWidth);

    auto *column = new QVBoxLayout(this);
    m_name = centredLabel(CCKernel::sharedInstance()->appName());
    QFont font = m_name->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * kNameScale);
    m_name->setFont(font);
    m_version = centredLabel(QStringLiteral("Version %1").arg(versionText()));
    m_description = centredLabel(QString());
    const QUrl site = WrenmoorServerBase();
    m_link = linkLabel(site, site.toDisplayString());
    m_licenseLink = linkLabel(WrenmoorServerUrl(QStringLiteral("/license/")), QStringLiteral("License"));
    QLabel *copyright = centredLabel(QStringLiteral("Copyright \u00a9 Wrenmoor"));

    column->addWidget(m_name);
    column->addWidget(m_version);
    column->addSpacing(8);
    column->addWidget(m_description);
    column->addSpacing(8);
    column->addWidget(m_link);
    column->addWidget(m_licenseLink);
    column->addSpacing(8);
    column->addWidget(copyright);
}

CCAboutController::~CCAboutController() = default;

CCAboutController *CCAboutController::current()
{
    return g_aboutController;
}

CCAboutController *CCAboutController::introduceTobbinApp(const QString &description)
{
    if (!g_aboutController) {
        g_aboutController = new CCAboutController;
        g_aboutController->adjustSize();
        if (QScreen *screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), g_aboutController->size());
            frame.moveCenter(screen->availableGeometry().center());
            g_aboutController->move(frame.topLeft());
        }
    }
    g_aboutController->m_description->setText(description);
    g_aboutController->adjustSize();
    g_aboutController->show();
    g_aboutController->raise();
    g_aboutController->activateWindow();
    return g_aboutController;
}
