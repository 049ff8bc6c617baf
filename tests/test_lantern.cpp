// The lantern: its materials as the loader applies them, where and how big
// it is drawn, and its picture: a translucent body over whatever lies behind
// it and braided rims lit through their normal maps.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "gl_context.h"
#include "gl_feedback.h"
#include "lantern.h"
#include "noise_volume.h"
#include "scene_shots.h"

namespace {

NoiseVolume& sharedNoise() {
    static std::unique_ptr<NoiseVolume> noise = [] {
        std::srand(17);
        return std::make_unique<NoiseVolume>(3, 1);
    }();
    return *noise;
}

// One frame of a lantern at (0, 0) seen by the game's chase camera, over a
// plain background, with light 1 at lightX, 2, lightZ.
std::string lanternFrame(const Lantern& lantern, float red, float green, float blue, float lightX,
                         float lightZ) {
    glClearColor(red, green, blue, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    setGameCamera(0, 2, -24, 0, -2, 0);
    placeLight1(lightX, 2.0f, lightZ);
    const float view[3] = {0.0f, -2.0f, 10.0f};
    setSortDirection(view);
    lantern.draw(10.0);
    std::string frame = readFramebufferRgb();
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 0);
    return frame;
}

} // namespace

TEST(Lantern, GroupsTakeTheSliceThePaperAndTheBraid) {
    REQUIRE_GL_CONTEXT();
    unsigned int slice = sharedNoise().makeSliceTexture();
    Lantern lantern(static_cast<int>(slice));
    EXPECT_EQ(lantern.x, 0.0f);
    EXPECT_EQ(lantern.z, 0.0f);
    ASSERT_NE(lantern.model, nullptr);

    ModelGroup* mesh = lantern.model->findGroup("mesh");
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->textureCount, 2);
    EXPECT_EQ(mesh->textureIds[0], static_cast<int>(slice));
    EXPECT_TRUE(glIsTexture(static_cast<GLuint>(mesh->textureIds[1])));
    EXPECT_NE(mesh->textureIds[1], static_cast<int>(slice));
    EXPECT_FALSE(mesh->bumpMapped);
    EXPECT_FLOAT_EQ(mesh->alpha, 0.99f);
    EXPECT_GT(mesh->triangleCount, 0);

    for (const char* name : {"lowrim", "uprim"}) {
        ModelGroup* rim = lantern.model->findGroup(name);
        ASSERT_NE(rim, nullptr) << name;
        EXPECT_TRUE(rim->bumpMapped) << name;
        ASSERT_EQ(rim->textureCount, 1) << name;
        EXPECT_TRUE(glIsTexture(static_cast<GLuint>(rim->textureIds[0]))) << name;
        EXPECT_TRUE(glIsTexture(static_cast<GLuint>(rim->normalMapId))) << name;
        EXPECT_NE(rim->normalMapId, rim->textureIds[0]) << name;
        EXPECT_GT(rim->triangleCount, 0) << name;
    }
    EXPECT_EQ(lantern.model->findGroup("lowrim")->alpha, 1.0f);
    EXPECT_FLOAT_EQ(lantern.model->findGroup("uprim")->alpha, 0.99f);

    // Two lanterns, two slices, two textures.
    unsigned int otherSlice = sharedNoise().makeSliceTexture();
    Lantern other(static_cast<int>(otherSlice));
    EXPECT_NE(other.model->findGroup("mesh")->textureIds[0], mesh->textureIds[0]);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Lantern, HangsThreeBelowItsPlaceAtTenTimesTheModelSize) {
    REQUIRE_GL_CONTEXT();
    Lantern lantern(static_cast<int>(sharedNoise().makeSliceTexture()));
    lantern.x = 12.0f;
    lantern.z = -30.0f;

    // The extent of the drawn triangles in the model file's own units.
    float low[3] = {1e9f, 1e9f, 1e9f}, high[3] = {-1e9f, -1e9f, -1e9f};
    for (const ModelGroup* g = lantern.model->groups; g != nullptr && g->triangleCount > 0;
         g = g->next) {
        for (const Triangle& t : g->triangles) {
            for (const auto& corner : t.position) {
                for (int c = 0; c < 3; ++c) {
                    low[c] = std::min(low[c], corner[c]);
                    high[c] = std::max(high[c], corner[c]);
                }
            }
        }
    }
    auto polygons = captureFeedback([&] { lantern.draw(3.0); });
    ASSERT_FALSE(polygons.empty());
    float drawnLow[3] = {1e9f, 1e9f, 1e9f}, drawnHigh[3] = {-1e9f, -1e9f, -1e9f};
    for (const FeedbackPolygon& polygon : polygons) {
        for (const FeedbackVertex& v : polygon) {
            for (int c = 0; c < 3; ++c) {
                drawnLow[c] = std::min(drawnLow[c], v.position[c]);
                drawnHigh[c] = std::max(drawnHigh[c], v.position[c]);
            }
        }
    }
    const float offset[3] = {12.0f, -3.0f, -30.0f};
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(drawnLow[c], low[c] * 10 + offset[c], 5e-3) << "axis " << c;
        EXPECT_NEAR(drawnHigh[c], high[c] * 10 + offset[c], 5e-3) << "axis " << c;
    }
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Lantern, TranslucentBodyAndLitRims) {
    REQUIRE_GL_CONTEXT();
    Lantern lantern(static_cast<int>(sharedNoise().makeSliceTexture()));
    std::string onDark = lanternFrame(lantern, 0.05f, 0.05f, 0.15f, 0.0f, 0.0f);
    std::string onLight = lanternFrame(lantern, 0.2f, 0.6f, 0.3f, 0.0f, 0.0f);
    std::string sideLit = lanternFrame(lantern, 0.05f, 0.05f, 0.15f, 40.0f, 0.0f);
    EXPECT_TRUE(saveShot(onDark, "lantern"));
    EXPECT_TRUE(saveShot(onLight, "lantern-light-background"));
    EXPECT_TRUE(saveShot(sideLit, "lantern-side-light"));

    const unsigned int dark = pixelAt(onDark, 0, 0), light = pixelAt(onLight, 0, 0);
    int object = 0, seeThrough = 0, solid = 0, relit = 0;
    for (int y = 0; y < 600; y += 2) {
        for (int x = 0; x < 800; x += 2) {
            unsigned int a = pixelAt(onDark, x, y), b = pixelAt(onLight, x, y);
            if (a == dark && b == light) {
                continue; // background in both
            }
            ++object;
            if (a == b) {
                ++solid; // nothing of the background shows: the opaque rim
                relit += (pixelAt(sideLit, x, y) != a) ? 1 : 0;
            } else if (a != dark && b != light) {
                ++seeThrough; // drawn, and the background shows through it
            }
        }
    }
    EXPECT_GT(object, 1000);
    EXPECT_GT(seeThrough, object / 4);
    EXPECT_GT(solid, 50);
    // The rims' shading follows light 1.
    EXPECT_GT(relit, solid / 4);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
