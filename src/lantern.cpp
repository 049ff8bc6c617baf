#include "lantern.h"

Lantern::Lantern(int /*sliceTexture*/) : x(0.0f), z(0.0f) {}
