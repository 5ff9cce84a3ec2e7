#pragma once

#include <QColor>

// The colour piece outlines are stroked in over the board (dimmed pieces); the settings
// choose it to contrast with the board's texture or colour.
QColor OutlineColor();
void SetOutlineColor(const QColor &color);
