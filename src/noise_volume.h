// The mist: a 64x64x64 block of fractal value noise uploaded as a 3D alpha
// texture, drawn as seven ground sheets and one fog sheet; it also cuts the
// 2D slice textures of the lanterns' bodies.
#ifndef FIREFLIES_NOISE_VOLUME_H
#define FIREFLIES_NOISE_VOLUME_H

class NoiseVolume {
  public:
    // octaves: noise octaves (the game uses 3); the second value has no effect.
    NoiseVolume(unsigned int octaves, int unused);

    // A new 2D alpha texture cut from a random slice; the GL texture name.
    unsigned int makeSliceTexture();

    unsigned int octaves; // noise octaves
};

#endif
