// The mist's noise block: the periodic lattice, the value and fractal noise,
// the density curve and the bytes it stores, the random numbers it takes,
// the textures it makes, and the sheets it draws.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "gl_context.h"
#include "gl_feedback.h"
#include "noise_volume.h"
#include "random_unit.h"
#include "scene_shots.h"

namespace {

float latticeAt(const NoiseVolume& noise, int i, int j, int k) {
    return noise.lattice[i * 1089 + j * 33 + k];
}

std::unique_ptr<NoiseVolume> makeNoise(unsigned int seed) {
    std::srand(seed);
    return std::make_unique<NoiseVolume>(3, 1);
}

} // namespace

TEST(NoiseVolume, LatticeRepeatsWithPeriod32) {
    REQUIRE_GL_CONTEXT();
    auto noise = makeNoise(7);
    for (int a = 0; a < 33; ++a) {
        for (int b = 0; b < 33; ++b) {
            EXPECT_EQ(latticeAt(*noise, 32, a, b), latticeAt(*noise, 0, a, b));
            EXPECT_EQ(latticeAt(*noise, a, 32, b), latticeAt(*noise, a, 0, b));
            EXPECT_EQ(latticeAt(*noise, a, b, 32), latticeAt(*noise, a, b, 0));
        }
    }
    EXPECT_EQ(latticeAt(*noise, 32, 32, 32), latticeAt(*noise, 0, 0, 0));
    float low = 1.0f, high = 0.0f;
    for (float value : noise->lattice) {
        low = std::min(low, value);
        high = std::max(high, value);
    }
    EXPECT_GE(low, 0.0f);
    EXPECT_LE(high, 1.0f);
    EXPECT_GT(high - low, 0.9f); // spread over the whole range, not squashed
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(NoiseVolume, UsesExactly32768RandomNumbersInLatticeOrder) {
    REQUIRE_GL_CONTEXT();
    std::srand(1234);
    std::vector<float> expected;
    for (int n = 0; n < 32768; ++n) {
        expected.push_back(static_cast<float>(randomUnit()));
    }
    int next = std::rand();

    auto noise = makeNoise(1234);
    EXPECT_EQ(std::rand(), next);
    // Innermost index k, then j, then i.
    EXPECT_EQ(latticeAt(*noise, 0, 0, 1), expected[1]);
    EXPECT_EQ(latticeAt(*noise, 0, 1, 0), expected[32]);
    EXPECT_EQ(latticeAt(*noise, 1, 0, 0), expected[1024]);
    EXPECT_EQ(latticeAt(*noise, 31, 31, 31), expected[32767]);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(NoiseVolume, ValueNoiseInterpolatesTheLatticeAtHalfCoordinates) {
    REQUIRE_GL_CONTEXT();
    auto noise = makeNoise(99);
    const float onLattice[3] = {2, 4, 6};
    EXPECT_EQ(noise->valueNoise(onLattice), latticeAt(*noise, 1, 2, 3));

    const float far[3] = {66, 0, 0}, near[3] = {2, 0, 0};
    EXPECT_EQ(noise->valueNoise(far), noise->valueNoise(near));

    // Halfway along the second axis only: the mean of two lattice points.
    const float between[3] = {0, 1, 0};
    float mean = latticeAt(*noise, 0, 0, 0) +
                 0.5f * (latticeAt(*noise, 0, 1, 0) - latticeAt(*noise, 0, 0, 0));
    EXPECT_EQ(noise->valueNoise(between), mean);

    // The top cell reads the repeated plane 32 (the point 63.5 lies in cell 31).
    const float top[3] = {63.5, 63.5, 63.5};
    float value = noise->valueNoise(top);
    EXPECT_GE(value, 0.0f);
    EXPECT_LE(value, 1.0f);

    // Points the mist never asks for wrap instead of reading outside the lattice.
    const float negative[3] = {-2, -4, -6}, wrapped[3] = {62, 60, 58};
    EXPECT_EQ(noise->valueNoise(negative), noise->valueNoise(wrapped));
    const float huge[3] = {3e9f, 1e30f, -1e30f};
    EXPECT_GE(noise->valueNoise(huge), 0.0f);
    const float bad[3] = {NAN, INFINITY, -INFINITY};
    EXPECT_EQ(noise->valueNoise(bad), latticeAt(*noise, 0, 0, 0));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(NoiseVolume, FractalNoiseScalesThePointInPlace) {
    REQUIRE_GL_CONTEXT();
    auto noise = makeNoise(5);
    float point[3] = {1.5f, 3.0f, 0.25f};
    const float once[3] = {1.5f, 3.0f, 0.25f};
    const float twice[3] = {3.0f, 6.0f, 0.5f};
    const float eight[3] = {12.0f, 24.0f, 2.0f};
    float expected = 0.0f;
    expected += noise->valueNoise(once);
    expected += noise->valueNoise(twice) * 0.5f;
    expected += noise->valueNoise(eight) * 0.25f;
    EXPECT_EQ(noise->fractalNoise(point), expected);
    EXPECT_EQ(point[0], 12.0f);
    EXPECT_EQ(point[1], 24.0f);
    EXPECT_EQ(point[2], 2.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(NoiseVolume, DensityCurveAndTheOrigin) {
    REQUIRE_GL_CONTEXT();
    auto noise = makeNoise(21);
    EXPECT_EQ(noise->densityCurve[0], 0.0f);
    EXPECT_NEAR(noise->densityCurve[9999], 2.744f, 1e-5);
    EXPECT_NEAR(noise->densityCurve[5000], std::pow(1.4 * 5000 / 9999, 3), 1e-6);
    for (int i = 1; i < 10000; ++i) {
        ASSERT_GT(noise->densityCurve[i], noise->densityCurve[i - 1]) << i;
    }

    // The origin stays 0 in every octave: three samples of lattice(0, 0, 0).
    const float origin[3] = {0, 0, 0};
    float l = latticeAt(*noise, 0, 0, 0);
    float sum = l + l * 0.5f + l * 0.25f;
    EXPECT_EQ(noise->density(origin), noise->densityCurve[static_cast<int>(sum * 4999.5)]);
    EXPECT_NEAR(sum, 1.75f * l, 1e-6);

    // density leaves the point alone.
    float point[3] = {3, 5, 7};
    noise->density(point);
    EXPECT_EQ(point[0], 3.0f);
    EXPECT_EQ(point[2], 7.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(NoiseVolume, VolumeStoresTheClampedDensityOfEveryVoxel) {
    REQUIRE_GL_CONTEXT();
    EXPECT_EQ(NoiseVolume::densityToByte(0.5f), 127);
    EXPECT_EQ(NoiseVolume::densityToByte(1.0f), 255);
    EXPECT_EQ(NoiseVolume::densityToByte(2.744f), 255);
    EXPECT_EQ(NoiseVolume::densityToByte(0.0f), 0);
    EXPECT_EQ(NoiseVolume::densityToByte(0.999f), 254);

    auto noise = makeNoise(3);
    int saturated = 0, faint = 0;
    for (int i = 0; i < 64; ++i) {
        for (int j = 0; j < 64; ++j) {
            for (int k = 0; k < 64; ++k) {
                const float p[3] = {static_cast<float>(i), static_cast<float>(j),
                                    static_cast<float>(k)};
                float d = noise->density(p);
                unsigned char stored = noise->volume[i * 4096 + j * 64 + k];
                if (d > 1.0f) {
                    ASSERT_EQ(stored, 255) << i << " " << j << " " << k;
                    ++saturated;
                } else {
                    ASSERT_EQ(stored, static_cast<int>(d * 255)) << i << " " << j << " " << k;
                    faint += (stored < 128) ? 1 : 0;
                }
            }
        }
    }
    // Real mist has both thick and thin parts.
    EXPECT_GT(saturated, 0);
    EXPECT_GT(faint, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(NoiseVolume, UploadsTheVolumeAsA3DAlphaTexture) {
    REQUIRE_GL_CONTEXT();
    auto noise = makeNoise(8);
    ASSERT_NE(noise->volumeTexture, 0u);
    EXPECT_TRUE(glIsTexture(noise->volumeTexture));
    glBindTexture(GL_TEXTURE_3D, noise->volumeTexture);
    GLint format = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_3D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_ALPHA);
    std::vector<unsigned char> back(64 * 64 * 64);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_3D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, back.data());
    EXPECT_TRUE(std::equal(back.begin(), back.end(), noise->volume));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(NoiseVolume, SliceTexturesWrapTheirAlphaAndAreAlwaysNew) {
    REQUIRE_GL_CONTEXT();
    EXPECT_EQ(NoiseVolume::sliceAlpha(51), 255);
    EXPECT_EQ(NoiseVolume::sliceAlpha(52), 4);
    EXPECT_EQ(NoiseVolume::sliceAlpha(255), 251);
    EXPECT_EQ(NoiseVolume::sliceAlpha(0), 0);

    auto noise = makeNoise(11);
    std::srand(77);
    int layer = static_cast<int>(randomUnit() * 63.0);
    int next = std::rand();
    std::srand(77);
    unsigned int first = noise->makeSliceTexture();
    EXPECT_EQ(std::rand(), next); // one random number per slice
    EXPECT_EQ(noise->sliceTexture, first);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned int>(bound), first);

    std::vector<unsigned char> expected(64 * 64), back(64 * 64);
    noise->sliceImage(layer, expected.data());
    EXPECT_EQ(expected[2 * 64 + 5],
              NoiseVolume::sliceAlpha(noise->volume[2 * 4096 + 5 * 64 + layer]));
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_ALPHA, GL_UNSIGNED_BYTE, back.data());
    EXPECT_EQ(back, expected);
    GLint levels = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 6, GL_TEXTURE_WIDTH, &levels);
    EXPECT_EQ(levels, 1); // mipmapped down to 1 x 1

    // The same slice again still makes its own texture object.
    std::srand(77);
    unsigned int second = noise->makeSliceTexture();
    EXPECT_NE(second, first);
    EXPECT_EQ(noise->sliceTexture, second);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(NoiseVolume, MistSheetsCoverTheArenaAndTheFogSheetFacesTheCamera) {
    REQUIRE_GL_CONTEXT();
    auto noise = makeNoise(4);
    const double eye[3] = {10, 2, -20};
    const double heading = 30.0;
    const double h = heading * 0.0174532925;
    const float view[3] = {static_cast<float>(10 * std::sin(h)), -2.0f,
                           static_cast<float>(10 * std::cos(h))};
    auto polygons = captureFeedback([&] { noise->draw(eye, view, heading, 40.0); });
    // GL feeds every quad back as two triangles.
    ASSERT_EQ(polygons.size(), 16u);
    std::vector<FeedbackPolygon> quads;
    for (size_t n = 0; n < polygons.size(); n += 2) {
        FeedbackPolygon quad = polygons[n];
        quad.insert(quad.end(), polygons[n + 1].begin(), polygons[n + 1].end());
        quads.push_back(quad);
    }

    const float heights[7] = {-1, -2, -3, -4, -5, -6, -10};
    const float slices[7] = {0.5f, 0.45f, 0.4f, 0.35f, 0.3f, 0.27f, 0.2f};
    for (int s = 0; s < 7; ++s) {
        float minX = 1e9f, maxX = -1e9f, minZ = 1e9f, maxZ = -1e9f;
        for (const FeedbackVertex& v : quads[s]) {
            EXPECT_NEAR(v.position[1], heights[s], 1e-3);
            EXPECT_NEAR(v.texCoord[1], slices[s], 1e-6);
            // s runs with x and r with z across the whole block.
            EXPECT_NEAR(v.texCoord[0], (v.position[0] + 80) / 160, 1e-4);
            EXPECT_NEAR(v.texCoord[2], (v.position[2] + 80) / 160, 1e-4);
            EXPECT_NEAR(v.color[0], 0.8f, 1e-3);
            EXPECT_EQ(v.color[3], 1.0f);
            minX = std::min(minX, v.position[0]);
            maxX = std::max(maxX, v.position[0]);
            minZ = std::min(minZ, v.position[2]);
            maxZ = std::max(maxZ, v.position[2]);
        }
        EXPECT_NEAR(minX, -80, 1e-3);
        EXPECT_NEAR(maxX, 80, 1e-3);
        EXPECT_NEAR(minZ, -80, 1e-3);
        EXPECT_NEAR(maxZ, 80, 1e-3);
    }

    // The fog sheet: 4.5 units ahead of the eye, square to the heading,
    // 80 wide and high, with texture coordinates 0.008 times the world
    // position moved back 3.5 units along the heading.
    const FeedbackPolygon& fog = quads[7];
    const double dirX = std::sin(h), dirZ = std::cos(h);
    double centreX = 0, centreY = 0, centreZ = 0;
    for (const FeedbackVertex& v : fog) {
        centreX += v.position[0] / fog.size();
        centreY += v.position[1] / fog.size();
        centreZ += v.position[2] / fog.size();
        double along = (v.position[0] - eye[0]) * dirX + (v.position[2] - eye[2]) * dirZ;
        EXPECT_NEAR(along, 4.5, 1e-2);
        EXPECT_NEAR(std::fabs(v.position[1]), 40, 1e-2);
        EXPECT_NEAR(v.texCoord[0], 0.008 * (v.position[0] - 3.5 * dirX), 1e-4);
        EXPECT_NEAR(v.texCoord[1], 0.008 * v.position[1], 1e-4);
        EXPECT_NEAR(v.texCoord[2], 0.008 * (v.position[2] - 3.5 * dirZ), 1e-4);
        EXPECT_EQ(v.color[0], 1.0f);
    }
    EXPECT_NEAR(centreX, eye[0] + 4.5 * dirX, 1e-2);
    EXPECT_NEAR(centreY, 0, 1e-2);
    EXPECT_NEAR(centreZ, eye[2] + 4.5 * dirZ, 1e-2);
    double width = 0;
    for (const FeedbackVertex& a : fog) {
        for (const FeedbackVertex& b : fog) {
            width = std::max<double>(
                width, std::hypot(a.position[0] - b.position[0], a.position[2] - b.position[2]));
        }
    }
    EXPECT_NEAR(width, 80, 1e-2);

    // Everything it changed is put back.
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_3D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLfloat texture[16];
    glGetFloatv(GL_TEXTURE_MATRIX, texture);
    for (int n = 0; n < 16; ++n) {
        EXPECT_EQ(texture[n], (n % 5 == 0) ? 1.0f : 0.0f);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(NoiseVolume, MistOverAPlainBackground) {
    REQUIRE_GL_CONTEXT();
    auto noise = makeNoise(42);
    glClearColor(0.1f, 0.15f, 0.35f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    // The player at the origin heading +Z, the camera 10 behind and 2 up.
    const double eye[3] = {0, 2, -10};
    setGameCamera(eye[0], eye[1], eye[2], 0, 0, 0);
    const float view[3] = {0, -2, 10};
    noise->draw(eye, view, 0.0, 40.0);
    std::string frame = readFramebufferRgb();
    EXPECT_TRUE(saveShot(frame, "mist"));

    // The sky above the horizon keeps most of the clear colour under the
    // thin fog; the ground below is veiled toward light grey, in a pattern.
    unsigned int sky = pixelAt(frame, 5, 590);
    EXPECT_GT(static_cast<int>(sky & 255) - static_cast<int>(sky >> 16), 40);
    long redSum = 0;
    int samples = 0, low = 255, high = 0;
    for (int y = 0; y < 300; y += 10) {
        for (int x = 0; x < 800; x += 10) {
            int red = static_cast<int>(pixelAt(frame, x, y) >> 16);
            redSum += red;
            ++samples;
            low = std::min(low, red);
            high = std::max(high, red);
        }
    }
    EXPECT_GT(redSum / samples, 0x1a + 60);
    EXPECT_GT(high - low, 40);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
