// The mist: a 64x64x64 block of fractal value noise, shaped by a cubic
// density curve and uploaded once as a 3D alpha texture. Every frame it is
// drawn as seven translucent ground sheets below the fireflies' plane and one
// upright fog sheet in front of the camera whose pattern stays put in the
// world. The same block gives every lantern its body texture: a random slice
// cut into a 2D alpha texture. Needs a current GL context from construction on.
#ifndef FIREFLIES_NOISE_VOLUME_H
#define FIREFLIES_NOISE_VOLUME_H

class NoiseVolume {
  public:
    static constexpr int kSize = 64;         // voxels along each axis of the block
    static constexpr int kLatticeSize = 33;  // lattice points per axis; plane 32 repeats plane 0
    static constexpr int kCurveSize = 10000; // entries of the density curve
    static constexpr int kSliceTexels = 64 * 64; // texels of one lantern slice

    // Builds the lattice (exactly 32768 rand() calls), the density curve, the
    // volume and its 3D texture. octaves: noise octaves (the game uses 3);
    // the second value has no effect. Large (about 450 kB): make it with new.
    NoiseVolume(unsigned int octaves, int unused);

    // Trilinear lattice noise at half the point's coordinates, in [0, 1].
    // Periodic with period 64 on each axis; meant for coordinates >= 0
    // (negative ones wrap the same way, non-finite ones read as 0).
    float valueNoise(const float point[3]) const;

    // Sum of octaves of valueNoise, weights 1, 1/2, 1/4...; the point is
    // scaled in place by 1, 2, 4... so the samples lie at 1, 2, 8... times the
    // given point. In [0, 1.75) for 3 octaves, always below 2.
    float fractalNoise(float point[3]) const;

    // The density curve at the point's fractal noise, in [0, 2.744]. The
    // point itself is left unchanged.
    float density(const float point[3]) const;

    // Draws the seven ground sheets (half-width 2 size, at heights -1 to -10)
    // and the fog sheet. eye: camera eye point; view: eye to player, only x
    // and z are used (the game passes a 10-unit vector); heading: player's
    // heading in degrees; size: arena radius. Restores the GL state it
    // changes, the texture matrix of unit 0 is left at identity. layers other
    // than All draw only the ground sheets or only the fog sheet, with the
    // same state around them (for measuring what each costs).
    enum class Layers { All, GroundSheets, FogSheet };
    void draw(const double eye[3], const float view[3], double heading, double size,
              Layers layers = Layers::All) const;

    // Cuts a random slice (one rand() call) into a new mipmapped 2D alpha
    // texture, stores its GL name in sliceTexture and returns it; the new
    // texture stays bound to GL_TEXTURE_2D of the active unit.
    unsigned int makeSliceTexture();

    // The slice alpha of a voxel value: the low 8 bits of 5 x value (values of
    // 52 and up wrap, which draws bands).
    static unsigned char sliceAlpha(unsigned char value) {
        return static_cast<unsigned char>((5 * value) & 0xFF);
    }

    // The byte a voxel stores for a density: 255 x min(density, 1), truncated.
    static unsigned char densityToByte(float density);

    // The slice image of layer k (0..63) of the volume: entry i x 64 + j is
    // sliceAlpha(volume(i, j, k)). image must hold kSliceTexels bytes.
    void sliceImage(int k, unsigned char* image) const;

    // Voxel (i, j, k) of the block at index i x 4096 + j x 64 + k; uploaded
    // with k fastest, so texture (s, t, r) addresses (k, j, i) / 64.
    unsigned char volume[kSize * kSize * kSize];
    // Random values in [0, 1]; point (i, j, k) at i x 1089 + j x 33 + k.
    float lattice[kLatticeSize * kLatticeSize * kLatticeSize];
    // Entry i = (1.4 x i / 9999) cubed, from 0 to 2.744.
    float densityCurve[kCurveSize];
    unsigned int octaves;       // noise octaves summed by fractalNoise
    unsigned int volumeTexture; // GL name of the 3D alpha texture made from volume
    unsigned int sliceTexture;  // GL name of the most recent lantern slice texture; 0 before
};

// The noise pass of the constructor, on its own so that its start-up cost
// can be measured alone: fills volume (NoiseVolume::kSize cubed bytes, voxel
// (i, j, k) at i x 4096 + j x 64 + k) with 255 x min(density, 1) at every
// voxel, from lattice (kLatticeSize cubed values in [0, 1]), densityCurve
// (kCurveSize entries) and that many octaves. Reads nothing else.
void computeNoiseVolume(const float* lattice, const float* densityCurve, unsigned int octaves,
                        unsigned char* volume);

#endif
