#include "model.h"

float sortDirection[3] = {0.0f, 0.0f, 0.0f};

void setSortDirection(const float* values) {
    sortDirection[0] = values[0];
    sortDirection[1] = values[1];
    sortDirection[2] = values[2];
}
