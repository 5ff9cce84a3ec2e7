#pragma once

#include <QSettings>
#include <QString>

#include <memory>
#include <optional>

// The settings every application of the maker shares (automatic update and news checks).
std::unique_ptr<QSettings> SharedSettings();

// A stored boolean; absent or unreadable reads as false.
bool ReadSettingsBool(const QSettings &settings, const QString &key);
// A stored whole number (a number or its decimal text); none when absent or unreadable.
std::optional<qint64> ReadSettingsInteger(const QSettings &settings, const QString &key);
