#pragma once

#include "imaging/kolor.h"

#include <QImage>
#include <QString>

// The board textures: eight seamlessly tileable felt pictures shipped as
// resources/textures/NAME.jpg, each with the Kolor piece outlines are drawn in over it. The
// settings store the index. An index outside 0-7 means entry 0.
constexpr int kTextureCount = 8;

QString TextureName(int index);
Kolor TextureOutlineKolor(int index);
// The entry's picture, loaded on first use and kept for the life of the process; null when
// the resource is missing or unreadable. Safe from any thread.
QImage TextureImage(int index);
