#pragma once

#include <QImage>
#include <QPointF>
#include <QRect>

#include <cstdint>

class JPAssembly;

// An assembly's composite picture scaled to the board. When members join, only the part of
// the picture that they cover is scaled again, so keeping it up to date costs about as much
// as the newcomers' own pictures, however large the assembly. Main thread only.
struct ScaledComposite
{
    uint64_t revision = 0; // the composite's revision it shows
    double scale = 0.0;
    QRect cells; // the board grid cells it covers (see ScaleAreaRegion)
    QImage scaled;
    QPointF at; // where its top-left corner goes on the board...
    QPointF anchor; // ...while the assembly lies at this board location

    // Where to draw it now.
    QPointF topLeft(QPointF boardLocation) const { return at + (boardLocation - anchor); }
};

// Brings the copy up to date with the assembly's composite at the board scale: scales the
// whole picture when the copy is new, was made at another scale or for another picture, and
// otherwise only where the picture changed since. False when the assembly has no composite.
bool UpdateScaledComposite(ScaledComposite &copy, JPAssembly &assembly, double scale);
