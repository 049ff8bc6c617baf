#include "firefly.h"

Firefly::Firefly() : x(0.0f), z(0.0f), heading(90.0f), score(0), fire(false), thrust(0.0f) {
    body.clear();
    body.drag = 0.0f;
}
