// The backdrop: four walls round the arena with "bounds.bmp" wrapped once
// round them like a panorama. No floor, no ceiling, no part in the rules.
#ifndef FIREFLIES_BOUNDS_BOX_H
#define FIREFLIES_BOUNDS_BOX_H

struct BoundsBox {
    unsigned int textureId; // GL texture made from "bounds.bmp"

    BoundsBox();
};

#endif
