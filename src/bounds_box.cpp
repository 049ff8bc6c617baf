#include "bounds_box.h"

// Placeholder until the backdrop is built: no texture yet.
BoundsBox::BoundsBox() : textureId(0) {}
