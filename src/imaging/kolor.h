#pragma once

#include <cstdint>

// A packed colour: red bits 0-7, green 8-15, blue 16-23, opacity in percent 24-31.
using Kolor = uint32_t;
// A premultiplied pixel: alpha bits 0-7, blue 8-15, green 16-23, red 24-31.
using Pixel = uint32_t;
