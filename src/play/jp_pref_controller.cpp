#include "play/jp_pref_controller.h"

#include "imaging/textures.h"
#include "model/jp_puzzle.h"
#include "model/puzzle_style.h"
#include "play/jp_pref_window.h"
#include "support/cc_notifier.h"

#include <optional>

namespace {

const QString kAdvancedAndLocalKey = QStringLiteral("wmjigsaw.a&l");
const QString kEdgesKey = QStringLiteral("wmjigsaw.edges");
const QString kRotateKey = QStringLiteral("wmjigsaw.rotate");
const QString kLockDragKey = QStringLiteral("wmjigsaw.lockDrag");
const QString kUseColorKey = QStringLiteral("wmjigsaw.useColor");
const QString kSimpleEdgesKey = QStringLiteral("wmjigsaw.simpleEdges");
const QString kPlayClickKey = QStringLiteral("wmjigsaw.playClick");
const QString kToolsKey = QStringLiteral("wmjigsaw.tools");
const QString kStatusBarKey = QStringLiteral("wmjigsaw.statusBar");
const QString kOverviewKey = QStringLiteral("wmjigsaw.overview");
const QString kDownloadDateKey = QStringLiteral("wmjigsaw.downloadDate");
const QString kWebsiteZipKey = QStringLiteral("wmjigsaw.websiteZip");
const QString kCategoryKey = QStringLiteral("wmjigsaw.category");
const QString kSourceKey = QStringLiteral("wmjigsaw.source");
const QString kSizeKey = QStringLiteral("wmjigsaw.size");
const QString kTextureKey = QStringLiteral("wmjigsaw.texture");
const QString kColorKey = QStringLiteral("wmjigsaw.color");

// Day indexes are year x 10000 + month x 100 + day; anything past the year 9999 is damage.
constexpr long long kLatestDayIndex = 9999LL * 10000 + 1231;

// Settings files store booleans as text; anything but a clear yes or no is damage.
bool readBool(const QSettings &settings, const QString &key, bool fallback)
{
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
    }
    if (value.typeId() == QMetaType::Int || value.typeId() == QMetaType::LongLong)
        return value.toLongLong() != 0;
    return fallback;
}

std::optional<long long> readInteger(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        bool ok = false;
        const long long result = value.toString().trimmed().toLongLong(&ok);
        if (ok)
            return result;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// Values index tables, so only the range a table covers is accepted.
int readRange(const QSettings &settings, const QString &key, long long low, long long high, int fallback)
{
    const std::optional<long long> value = readInteger(settings, key);
    if (!value || *value < low || *value > high)
        return fallback;
    return int(*value);
}

}

JPPrefController *JPPrefController::sharedInstance()
{
    static JPPrefController *instance = [] {
        auto *made = new JPPrefController;
        made->loadFrom(QSettings());
        return made;
    }();
    return instance;
}

JPPrefController::JPPrefController()
    : m_backgroundColor(ColorFromKolor(kDefaultBackgroundKolor))
{
}

// The window acts on this object, so it goes with it even when a parent holds it.
JPPrefController::~JPPrefController()
{
    delete m_window.data();
}

void JPPrefController::loadFrom(const QSettings &settings)
{
    m_advancedAndLocal = readBool(settings, kAdvancedAndLocalKey, false);
    m_edgesOnly = readBool(settings, kEdgesKey, false);
    m_rotatePieces = readBool(settings, kRotateKey, false);
    m_lockedDrag = readBool(settings, kLockDragKey, false);
    m_useColor = readBool(settings, kUseColorKey, false);
    m_simpleEdges = readBool(settings, kSimpleEdgesKey, false);
    m_playClick = readBool(settings, kPlayClickKey, true);
    m_showToolbar = readBool(settings, kToolsKey, true);
    m_showStatusBar = readBool(settings, kStatusBarKey, true);
    m_showOverview = readBool(settings, kOverviewKey, true);
    const std::optional<long long> date = readInteger(settings, kDownloadDateKey);
    m_lastWebsiteDate = date && *date >= 0 && *date <= kLatestDayIndex ? *date : 0;
    const QVariant zip = settings.value(kWebsiteZipKey);
    m_websiteZipName = zip.typeId() == QMetaType::QString ? zip.toString() : QString();
    m_category = readRange(settings, kCategoryKey, 0, kCategoryCount - 1, 0);
    m_puzzleSource = readRange(settings, kSourceKey, 0, kSourceCount - 1, 0);
    m_puzzleSize = readRange(settings, kSizeKey, 0, kMaxPuzzleSize, kDefaultPuzzleSize);
    m_textureIndex = readRange(settings, kTextureKey, 0, kTextureCount - 1, kDefaultTexture);
    const QVariant color = settings.value(kColorKey);
    Kolor kolor = color.typeId() == QMetaType::QString ? KolorFromString(color.toString()) : kNoKolor;
    if (!KolorIsColor(kolor))
        kolor = kDefaultBackgroundKolor;
    setBackgroundKolor(kolor);
    syncCreationOptions();
    setOutlineColor();
}

void JPPrefController::saveTo(QSettings &settings) const
{
    settings.setValue(kAdvancedAndLocalKey, m_advancedAndLocal);
    settings.setValue(kEdgesKey, m_edgesOnly);
    settings.setValue(kRotateKey, m_rotatePieces);
    settings.setValue(kLockDragKey, m_lockedDrag);
    settings.setValue(kUseColorKey, m_useColor);
    settings.setValue(kSimpleEdgesKey, m_simpleEdges);
    settings.setValue(kPlayClickKey, m_playClick);
    settings.setValue(kToolsKey, m_showToolbar);
    settings.setValue(kStatusBarKey, m_showStatusBar);
    settings.setValue(kOverviewKey, m_showOverview);
    settings.setValue(kDownloadDateKey, qlonglong(m_lastWebsiteDate));
    if (m_websiteZipName.isEmpty())
        settings.remove(kWebsiteZipKey);
    else
        settings.setValue(kWebsiteZipKey, m_websiteZipName);
    settings.setValue(kCategoryKey, m_category);
    settings.setValue(kSourceKey, m_puzzleSource);
    settings.setValue(kSizeKey, m_puzzleSize);
    settings.setValue(kTextureKey, m_textureIndex);
    settings.setValue(kColorKey, stringForKolor(m_backgroundKolor));
}

void JPPrefController::savePreferences() const
{
    QSettings settings;
    saveTo(settings);
    settings.sync();
}

QString JPPrefController::stringForKolor(Kolor kolor)
{
    if (KolorAlpha(kolor) == 100)
        return QStringLiteral("{%1, %2, %3}").arg(KolorRed(kolor)).arg(KolorGreen(kolor)).arg(KolorBlue(kolor));
    return QStringLiteral("{%1, %2, %3, %4}")
        .arg(KolorRed(kolor))
        .arg(KolorGreen(kolor))
        .arg(KolorBlue(kolor))
        .arg(KolorAlpha(kolor));
}

Kolor JPPrefController::outlineKolor() const
{
    if (!m_useColor)
        return TextureOutlineKolor(m_textureIndex);
    const double r = KolorRed(m_backgroundKolor) / 255.0;
    const double g = KolorGreen(m_backgroundKolor) / 255.0;
    const double b = KolorBlue(m_backgroundKolor) / 255.0;
    if (0.3 * r + 0.59 * g + 0.11 * b >= 0.5)
        return KolorFromColor(GrayColor(5));
    const uint32_t v = GrayscaleKolorCIE(m_backgroundKolor) & 0xFF;
    if (v <= 39)
        return KolorFromColor(GrayColor(4));
    if (v <= 112)
        return KolorFromColor(GrayColor(6));
    return KolorFromColor(GrayColor(5));
}

void JPPrefController::setOutlineColor()
{
    SetOutlineColor(ColorFromKolor(outlineKolor()));
}

void JPPrefController::setBackgroundKolor(Kolor kolor)
{
    m_backgroundKolor = kolor;
    m_backgroundColor = ColorFromKolor(kolor);
}

void JPPrefController::setRotatePieces(bool on)
{
    m_rotatePieces = on;
    syncCreationOptions();
}

void JPPrefController::setEdgesOnly(bool on)
{
    m_edgesOnly = on;
    syncCreationOptions();
}

void JPPrefController::setSimpleEdges(bool on)
{
    m_simpleEdges = on;
    syncCreationOptions();
}

void JPPrefController::syncCreationOptions() const
{
    CreationOptions &options = JPPuzzle::creationOptions();
    options.rotatePieces = m_rotatePieces;
    options.edgesOnly = m_edgesOnly;
    options.simpleEdges = m_simpleEdges;
}

JPPrefWindow *JPPrefController::preferencesWindow() const
{
    return m_window;
}

void JPPrefController::showPreferences(QWidget *parent)
{
    if (!m_window)
        m_window = new JPPrefWindow(this, parent);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void JPPrefController::changeColor(const QColor &color)
{
    // A fully clear colour has no Kolor and would be stored as damage.
    const Kolor kolor = KolorFromColor(color);
    if (!KolorIsColor(kolor))
        return;
    m_backgroundColor = color;
    m_backgroundKolor = kolor;
    setOutlineColor();
    redraw();
}

void JPPrefController::resetColor()
{
    setBackgroundKolor(kDefaultBackgroundKolor);
    setOutlineColor();
    redraw();
}

void JPPrefController::selectTexture(int index)
{
    if (index < 0 || index >= kTextureCount)
        return;
    m_textureIndex = index;
    setOutlineColor();
    redraw();
}

void JPPrefController::redraw()
{
    CCNotifier::sharedInstance()->post(QLatin1String(kSwitchNotification));
}
