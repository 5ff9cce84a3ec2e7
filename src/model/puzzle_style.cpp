#include "model/puzzle_style.h"

#include <mutex>

namespace {

std::mutex g_styleLock;
QColor g_outlineColor(0x20, 0x20, 0x20);

}

QColor OutlineColor()
{
    std::lock_guard<std::mutex> guard(g_styleLock);
    return g_outlineColor;
}

void SetOutlineColor(const QColor &color)
{
    std::lock_guard<std::mutex> guard(g_styleLock);
    g_outlineColor = color;
}
