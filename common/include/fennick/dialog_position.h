// Where a program's dialogs open: centred on their owner, kept within the full-screen area.
#pragma once

namespace fennick {

// The origin on one axis: never left of (or above) 0, never past the far edge.
constexpr int centredOrigin(int ownerCentre, int dialogSize, int screenSize)
{
    int origin = ownerCentre - dialogSize / 2;
    if (origin < 0)
        origin = 0;
    if (origin + dialogSize > screenSize)
        origin = screenSize - dialogSize;
    return origin;
}

}  // namespace fennick
