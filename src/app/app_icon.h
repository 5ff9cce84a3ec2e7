#pragma once

#include <QIcon>
#include <QString>

#include <array>

// The sizes the application icon is drawn at, in pixels.
inline constexpr std::array<int, 7> kApplicationIconSizes{16, 32, 48, 64, 128, 256, 512};

// The icon's resource name at one size, in the freedesktop layout
// ("icons/hicolor/32x32/apps/tobbin-jigsaw.png"), relative to the resource folder.
QString ApplicationIconResource(int size);

// The application icon from the shipped PNGs, or from the icon theme when none is found.
// Needs a QGuiApplication.
QIcon ApplicationIcon();
