#include "flower.h"

Flower::Flower() : x(0.0), z(0.0) {}
