#include "noise_volume.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cassert>
#include <cmath>
#include <vector>

#include "model.h"
#include "random_unit.h"
#include "tools.h"

namespace {

constexpr int kPeriod = 32;            // lattice cells per axis before it repeats
constexpr int kStrideI = 33 * 33;      // lattice step of the first index
constexpr int kStrideJ = 33;           // lattice step of the second index
constexpr double kCurveScale = 4999.5; // fractal sum to density-curve index
constexpr int kMistSheets = 7;         // ground sheets, top to bottom
const float kSheetHeight[kMistSheets] = {-1, -2, -3, -4, -5, -6, -10};
const float kSheetSlice[kMistSheets] = {0.5f, 0.45f, 0.4f, 0.35f, 0.3f, 0.27f, 0.2f};

// Where one noise coordinate (already halved) falls in the lattice: its
// cell 0..31 and the fraction across that cell.
struct Cell {
    int index;
    float fraction;
};

Cell latticeCell(float a) {
    if (a >= 0.0f && a < 2147483648.0f) {
        int whole = static_cast<int>(a);
        return {whole % kPeriod, a - static_cast<float>(whole)};
    }
    // Outside what the mist itself samples: wrap negative and huge values
    // onto the same period instead of indexing outside the lattice.
    if (!std::isfinite(a)) {
        return {0, 0.0f};
    }
    float whole = std::floor(a);
    double wrapped = std::fmod(static_cast<double>(whole), static_cast<double>(kPeriod));
    if (wrapped < 0.0) {
        wrapped += kPeriod;
    }
    return {static_cast<int>(wrapped), a - whole};
}

// Trilinear interpolation inside one lattice cell: along the second axis
// first, then the first, then the third.
inline float interpolateCell(const float* lattice, const Cell& ci, const Cell& cj, const Cell& ck) {
    const float* base = lattice + ci.index * kStrideI + cj.index * kStrideJ + ck.index;
    const float fa = ci.fraction;
    const float fb = cj.fraction;
    const float fq = ck.fraction;
    // base[di * kStrideI + dj * kStrideJ + dk] is L(i + di, j + dj, k + dk).
    float e00 = base[0] + fb * (base[kStrideJ] - base[0]);
    float e01 = base[1] + fb * (base[kStrideJ + 1] - base[1]);
    float e10 = base[kStrideI] + fb * (base[kStrideI + kStrideJ] - base[kStrideI]);
    float e11 = base[kStrideI + 1] + fb * (base[kStrideI + kStrideJ + 1] - base[kStrideI + 1]);
    float w0 = e00 + fa * (e10 - e00);
    float w1 = e01 + fa * (e11 - e01);
    return w0 + fq * (w1 - w0);
}

// The density curve at a fractal sum. The sum of any number of octaves stays
// below 2, so the index stays below 9999; the clamp only guards the table.
inline float curveAt(const float* curve, float sum) {
    int index = static_cast<int>(sum * kCurveScale);
    if (index < 0) {
        index = 0;
    } else if (index >= NoiseVolume::kCurveSize) {
        index = NoiseVolume::kCurveSize - 1;
    }
    return curve[index];
}

} // namespace

NoiseVolume::NoiseVolume(unsigned int octaveCount, int /*unused*/)
    : octaves(octaveCount), volumeTexture(0), sliceTexture(0) {
    // Random lattice, 32 x 32 x 32 draws, then the planes of index 32 copy
    // the planes of index 0 so that the noise tiles seamlessly.
    for (int i = 0; i < kPeriod; ++i) {
        for (int j = 0; j < kPeriod; ++j) {
            for (int k = 0; k < kPeriod; ++k) {
                lattice[i * kStrideI + j * kStrideJ + k] = static_cast<float>(randomUnit());
            }
        }
    }
    for (int i = 0; i < kLatticeSize; ++i) {
        for (int j = 0; j < kLatticeSize; ++j) {
            for (int k = 0; k < kLatticeSize; ++k) {
                if (i == kPeriod || j == kPeriod || k == kPeriod) {
                    int si = (i == kPeriod) ? 0 : i;
                    int sj = (j == kPeriod) ? 0 : j;
                    int sk = (k == kPeriod) ? 0 : k;
                    lattice[i * kStrideI + j * kStrideJ + k] =
                        lattice[si * kStrideI + sj * kStrideJ + sk];
                }
            }
        }
    }

    // Cubic density curve: thin mist stays thin, thick mist saturates.
    for (int i = 0; i < kCurveSize; ++i) {
        densityCurve[i] = static_cast<float>(std::pow(i / 9999.0 * 0.7 * 2, 3));
    }

    computeNoiseVolume(lattice, densityCurve, octaves, volume);

    if (glTexImage3D == nullptr) {
        throw LoadError{"OpenGL has no 3D textures (needs version 1.2): the mist cannot be made",
                        false};
    }
    glGenTextures(1, &volumeTexture);
    glBindTexture(GL_TEXTURE_3D, volumeTexture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage3D(GL_TEXTURE_3D, 0, GL_ALPHA, kSize, kSize, kSize, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                 volume);
}

float NoiseVolume::valueNoise(const float point[3]) const {
    float a = point[0] * 0.5f;
    float b = point[1] * 0.5f;
    float q = point[2] * 0.5f;
    return interpolateCell(lattice, latticeCell(a), latticeCell(b), latticeCell(q));
}

float NoiseVolume::fractalNoise(float point[3]) const {
    float sum = 0.0f;
    float amplitude = 1.0f;
    float frequency = 1.0f;
    for (unsigned int o = 0; o < octaves; ++o) {
        point[0] *= frequency;
        point[1] *= frequency;
        point[2] *= frequency;
        sum += valueNoise(point) * amplitude;
        frequency *= 2.0f;
        amplitude *= 0.5f;
    }
    return sum;
}

float NoiseVolume::density(const float point[3]) const {
    float p[3] = {point[0], point[1], point[2]};
    return curveAt(densityCurve, fractalNoise(p));
}

unsigned char NoiseVolume::densityToByte(float density) {
    if (density > 1.0f) {
        density = 1.0f;
    } else if (density < 0.0f) {
        density = 0.0f;
    }
    return static_cast<unsigned char>(static_cast<int>(density * 255));
}

void computeNoiseVolume(const float* lattice, const float* densityCurve, unsigned int octaves,
                        unsigned char* volume) {
    constexpr int kSize = NoiseVolume::kSize;
    // Every axis of the block takes the coordinates 0..63 through the same
    // scalings, so the lattice cell of each coordinate in each octave is
    // worked out once (with the very arithmetic of fractalNoise) and shared
    // by all voxels.
    std::vector<Cell> cells(static_cast<size_t>(octaves) * kSize);
    for (int c = 0; c < kSize; ++c) {
        float p = static_cast<float>(c);
        float frequency = 1.0f;
        for (unsigned int o = 0; o < octaves; ++o) {
            p *= frequency;
            cells[o * kSize + c] = latticeCell(p * 0.5f);
            frequency *= 2.0f;
        }
    }
    unsigned char* voxel = volume;
    for (int i = 0; i < kSize; ++i) {
        for (int j = 0; j < kSize; ++j) {
            for (int k = 0; k < kSize; ++k) {
                float sum = 0.0f;
                float amplitude = 1.0f;
                for (unsigned int o = 0; o < octaves; ++o) {
                    const Cell* row = &cells[o * kSize];
                    sum += interpolateCell(lattice, row[i], row[j], row[k]) * amplitude;
                    amplitude *= 0.5f;
                }
                *voxel++ = NoiseVolume::densityToByte(curveAt(densityCurve, sum));
            }
        }
    }
}

void NoiseVolume::draw(const double eye[3], const float view[3], double heading, double size,
                       Layers layers) const {
    glPushAttrib(kModelDrawAttributes);
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_3D);
    glBindTexture(GL_TEXTURE_3D, volumeTexture);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.8f, 0.8f, 0.8f, 1.0f);

    // Ground mist: each sheet stretches one slice of the block over the
    // whole arena square.
    const double half = 2.0 * size;
    const int sheets = layers == Layers::FogSheet ? 0 : kMistSheets;
    glBegin(GL_QUADS);
    for (int s = 0; s < sheets; ++s) {
        const float y = kSheetHeight[s];
        const float t = kSheetSlice[s];
        glNormal3f(0.0f, 1.0f, 0.0f);
        glTexCoord3f(0.0f, t, 1.0f);
        glVertex3d(-half, y, half);
        glTexCoord3f(0.0f, t, 0.0f);
        glVertex3d(-half, y, -half);
        glTexCoord3f(1.0f, t, 0.0f);
        glVertex3d(half, y, -half);
        glTexCoord3f(1.0f, t, 1.0f);
        glVertex3d(half, y, half);
    }
    glEnd();

    // Fog sheet: travels with the camera, 4.5 units ahead and facing it,
    // while its texture matrix maps it back to world coordinates so the fog
    // pattern keeps its place.
    glPushMatrix();
    glTranslated(view[0] * 0.4 + eye[0], 0.0, view[2] * 0.4 + eye[2]);
    glRotated(heading, 0.0, 1.0, 0.0);

    const double h = heading * kDegToRad;
    glMatrixMode(GL_TEXTURE);
    glPushMatrix();
    glScaled(0.008, 0.008, 0.008);
    glTranslated(std::sin(h) * 0.5 + eye[0], 0.0, std::cos(h) * 0.5 + eye[2]);
    glRotated(heading, 0.0, 1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    if (layers != Layers::GroundSheets) {
        glBegin(GL_QUADS);
        glTexCoord3d(size, size, 0.5);
        glVertex3d(size, size, 0.5);
        glTexCoord3d(-size, size, 0.5);
        glVertex3d(-size, size, 0.5);
        glTexCoord3d(-size, -size, 0.5);
        glVertex3d(-size, -size, 0.5);
        glTexCoord3d(size, -size, 0.5);
        glVertex3d(size, -size, 0.5);
        glEnd();
    }

    glDisable(GL_TEXTURE_3D);
    glMatrixMode(GL_TEXTURE);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void NoiseVolume::sliceImage(int k, unsigned char* image) const {
    assert(k >= 0 && k < kSize);
    for (int i = 0; i < kSize; ++i) {
        for (int j = 0; j < kSize; ++j) {
            image[i * kSize + j] = sliceAlpha(volume[i * kSize * kSize + j * kSize + k]);
        }
    }
}

unsigned int NoiseVolume::makeSliceTexture() {
    // One draw picks the layer: 0..62, and 63 only for the largest draw.
    int k = static_cast<int>(randomUnit() * 63.0);
    unsigned char image[kSliceTexels];
    sliceImage(k, image);

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glGenTextures(1, &sliceTexture);
    glBindTexture(GL_TEXTURE_2D, sliceTexture);
    gluBuild2DMipmaps(GL_TEXTURE_2D, GL_ALPHA, kSize, kSize, GL_ALPHA, GL_UNSIGNED_BYTE, image);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    return sliceTexture;
}
