#include "noise_volume.h"

NoiseVolume::NoiseVolume(unsigned int octaveCount, int /*unused*/) : octaves(octaveCount) {}

// Placeholder until the noise volume is built: no texture yet.
unsigned int NoiseVolume::makeSliceTexture() {
    return 0;
}
