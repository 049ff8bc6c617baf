// The flower: the random numbers it takes and what it makes of them, its
// ring of petal copies, and its picture.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <cmath>
#include <cstdlib>
#include <memory>

#include "flower.h"
#include "gl_context.h"
#include "gl_feedback.h"
#include "random_unit.h"
#include "scene_shots.h"

namespace {

// What a flower built right after srand(seed) must hold, worked out from the
// same random sequence: tilt, yaw, copy count, and the rand() value that
// follows the flower's last draw.
struct ExpectedFlower {
    float tilt;
    float yaw;
    unsigned int count;
    int next;
};

ExpectedFlower expectFlower(unsigned int seed) {
    std::srand(seed);
    ExpectedFlower e;
    e.tilt = static_cast<float>(randomUnit() * 120.0);
    e.yaw = static_cast<float>(randomUnit() * 360.0);
    double r = randomUnit();
    e.count = (static_cast<int>(r * 2 + 8) % 2 == 1) ? static_cast<unsigned int>(r * 2 + 8) + 1
                                                     : static_cast<unsigned int>(r * 2 + 8);
    for (unsigned int i = 0; i < e.count; ++i) {
        std::rand();
    }
    e.next = std::rand();
    return e;
}

// The first group of a copy's list and its first triangle's first corner.
const float* firstCorner(const Model& model) {
    return model.groups->triangles.at(0).position[0];
}

} // namespace

TEST(Flower, CopyCountRule) {
    EXPECT_EQ(Flower::petalCountFor(0.0), 8u);
    EXPECT_EQ(Flower::petalCountFor(0.49), 8u);
    EXPECT_EQ(Flower::petalCountFor(0.5), 10u); // 9 is raised to 10
    EXPECT_EQ(Flower::petalCountFor(0.99), 10u);
    EXPECT_EQ(Flower::petalCountFor(unitFromDraw(32767)), 10u);
    EXPECT_EQ(Flower::petalCountFor(unitFromDraw(0)), 8u);
    // The extreme draws give the extreme poses.
    EXPECT_EQ(static_cast<float>(unitFromDraw(32767) * 120.0), 120.0f);
    EXPECT_EQ(static_cast<float>(unitFromDraw(32767) * 360.0), 360.0f);
    // glibc's rand() goes far beyond 32767; the game still gets [0, 1].
    EXPECT_LE(unitFromDraw(2147483647), 1.0);
    EXPECT_GE(unitFromDraw(2147483647), 0.0);
}

TEST(Flower, TakesThreePlusOneRandomNumberPerCopy) {
    REQUIRE_GL_CONTEXT();
    bool sawEight = false, sawTen = false;
    for (unsigned int seed = 1; seed <= 8 && !(sawEight && sawTen); ++seed) {
        ExpectedFlower e = expectFlower(seed);
        std::srand(seed);
        Flower flower;
        EXPECT_EQ(std::rand(), e.next) << "seed " << seed;
        EXPECT_EQ(flower.tilt, e.tilt);
        EXPECT_EQ(flower.yaw, e.yaw);
        EXPECT_EQ(flower.petalCount, e.count);
        EXPECT_EQ(flower.petalModels.size(), e.count);
        EXPECT_GE(flower.tilt, 0.0f);
        EXPECT_LE(flower.tilt, 120.0f);
        EXPECT_GE(flower.yaw, 0.0f);
        EXPECT_LE(flower.yaw, 360.0f);
        EXPECT_EQ(flower.x, 0.0);
        EXPECT_EQ(flower.z, 0.0);
        sawEight = sawEight || flower.petalCount == 8;
        sawTen = sawTen || flower.petalCount == 10;
    }
    EXPECT_TRUE(sawEight);
    EXPECT_TRUE(sawTen);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Flower, EvenAndOddCopiesKeepDifferentPetals) {
    REQUIRE_GL_CONTEXT();
    std::srand(2);
    Flower flower;
    ASSERT_GE(flower.petalModels.size(), 8u);
    const Model& even = *flower.petalModels[0];
    const Model& odd = *flower.petalModels[1];
    const Model& evenAgain = *flower.petalModels[2];
    ASSERT_NE(even.groups, nullptr);
    ASSERT_NE(odd.groups, nullptr);
    EXPECT_EQ(even.groupCount, evenAgain.groupCount);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(firstCorner(even)[c], firstCorner(evenAgain)[c]);
    }
    bool differ = false;
    for (int c = 0; c < 3; ++c) {
        differ = differ || firstCorner(even)[c] != firstCorner(odd)[c];
    }
    EXPECT_TRUE(differ);
    // Every copy gets the petal material.
    for (const ModelGroup* g = even.groups; g != nullptr && g->triangleCount > 0; g = g->next) {
        ASSERT_EQ(g->textureCount, 1) << g->name;
        EXPECT_TRUE(glIsTexture(static_cast<GLuint>(g->textureIds[0])));
        EXPECT_EQ(g->color[0], 0.5f);
        EXPECT_EQ(g->color[1], 0.1f);
        EXPECT_EQ(g->alpha, 1.0f);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Flower, CopiesTurnByEqualStepsAroundTheTiltedAxis) {
    REQUIRE_GL_CONTEXT();
    for (unsigned int seed : {1u, 4u}) {
        std::srand(seed);
        Flower flower;
        flower.x = 5.0;
        flower.z = -7.0;
        auto drawn = captureFeedback([&] { flower.draw(12.0); });
        // The same ring built copy by copy, each at its own absolute angle.
        auto expected = captureFeedback([&] {
            for (unsigned int i = 0; i < flower.petalCount; ++i) {
                glPushMatrix();
                glTranslated(5.0, 0.0, -7.0);
                glScaled(10, 10, 10);
                glRotated(flower.yaw, 0, 1, 0);
                glRotated(flower.tilt, 1, 0, 0);
                glRotated((i + 1) * 360.0 / flower.petalCount, 0, 1, 0);
                flower.petalModels[i]->draw();
                glPopMatrix();
            }
        });
        ASSERT_FALSE(drawn.empty());
        ASSERT_EQ(drawn.size(), expected.size());
        double worst = 0;
        for (size_t p = 0; p < drawn.size(); ++p) {
            ASSERT_EQ(drawn[p].size(), expected[p].size());
            for (size_t v = 0; v < drawn[p].size(); ++v) {
                for (int c = 0; c < 3; ++c) {
                    worst =
                        std::max(worst, static_cast<double>(std::fabs(drawn[p][v].position[c] -
                                                                      expected[p][v].position[c])));
                }
            }
        }
        EXPECT_LT(worst, 2e-3) << "seed " << seed << ", " << flower.petalCount << " copies";
        GLint depth = 0;
        glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
        EXPECT_EQ(depth, 1);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Flower, Picture) {
    REQUIRE_GL_CONTEXT();
    std::srand(6);
    Flower flower;
    flower.x = 0.0;
    flower.z = 0.0;
    glClearColor(0.05f, 0.1f, 0.2f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    setGameCamera(0, 8, -22, 0, 0, 0);
    placeLight1(0.0f, 7.0f, 0.0f);
    flower.draw(10.0);
    std::string frame = readFramebufferRgb();
    EXPECT_TRUE(saveShot(frame, "flower"));

    const unsigned int background = pixelAt(frame, 0, 0);
    int covered = 0, purple = 0;
    for (int y = 0; y < 600; y += 4) {
        for (int x = 0; x < 800; x += 4) {
            unsigned int pixel = pixelAt(frame, x, y);
            if (pixel != background) {
                ++covered;
                int r = pixel >> 16, g = (pixel >> 8) & 255, b = pixel & 255;
                // Colour (0.5, 0.1, 0.5) times the petal picture.
                purple += (r > g && b > g) ? 1 : 0;
            }
        }
    }
    EXPECT_GT(covered, 200 * 150 / 50); // the ring fills a real part of the view
    EXPECT_GT(purple, covered / 2);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
