#include "services/shared_settings.h"

#include <QVariant>

std::unique_ptr<QSettings> SharedSettings()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Wrenmoor"),
                                       QStringLiteral("com.wrenmoor.shared"));
}

bool ReadSettingsBool(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    // Text files store booleans as text; anything but a clear yes is no.
    const QString text = value.toString().trimmed();
    if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    bool ok = false;
    return text.toLongLong(&ok) != 0 && ok;
}

std::optional<qint64> ReadSettingsInteger(const QSettings &settings, const QString &key)
{
    const QVariant value = settings.value(key);
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const qint64 number = value.toString().trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}
