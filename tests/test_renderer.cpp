// Model::draw in a real GL context, read back pixel by pixel: textured
// colour, the back-to-front order of translucent triangles, DOT3 bump
// lighting from GL_LIGHT1, and the GL state a draw leaves behind; plus the
// matrix inverse the bump path relies on.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_fixture.h"
#include "gl_context.h"
#include "model.h"
#include "temp_dir.h"

namespace {

// A square from (-1, -1) to (1, 1) in the z = 0 plane, normal +z, as two
// triangles of group "square"; the stored (negated) texture coordinates
// equal the positions, so the tangent basis is (1,0,0), (0,-1,0), (0,0,1).
const char* kSquare = "v -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\n"
                      "vt 1 1\nvt -1 1\nvt -1 -1\nvt 1 -1\n"
                      "vn 0 0 1\n"
                      "g square\nf 1/1/1 2/2/1 3/3/1 4/4/1\n";

// Orthographic view of [-1, 1] squared, identity modelview, everything the
// renderer might meet switched off, black background.
void resetView() {
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_LIGHTING);
    const GLenum units[3] = {GL_TEXTURE0, GL_TEXTURE1, GL_TEXTURE2};
    for (GLenum unit : units) {
        glActiveTexture(unit);
        glDisable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    }
    glActiveTexture(GL_TEXTURE0);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

Rgb pixelAt(int x, int y) {
    Rgb pixel{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel.data());
    return pixel;
}

void expectNear(const Rgb& actual, const Rgb& expected, int tolerance = 3) {
    for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(actual[c], expected[c], tolerance)
            << "channel " << c << " of (" << int(actual[0]) << ", " << int(actual[1]) << ", "
            << int(actual[2]) << ")";
    }
}

// A template for group name with one colour texture read from picture.
ModelGroup textured(const std::string& name, const std::string& picture) {
    ModelGroup t;
    t.name = name;
    t.textureCount = 1;
    t.textureNames = {picture};
    return t;
}

} // namespace

TEST(Renderer, OpaqueGroupDrawsColourTimesTexture) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    ModelGroup t = textured("square", dir.write("skin.bmp", bmp24Filled(4, 4, {200, 100, 50})));
    t.color[0] = 0.5f;
    t.color[2] = 0.25f;
    // Half the size of the view, so the border stays black.
    std::string path =
        dir.write("square.obj", std::string("v -0.5 -0.5 0\nv 0.5 -0.5 0\n"
                                            "v 0.5 0.5 0\nv -0.5 0.5 0\n"
                                            "vt 0 0\nvn 0 0 1\n"
                                            "g square\nf 1/1/1 2/1/1 3/1/1 4/1/1\n"));
    Model model(path, &t, 1, false);
    resetView();
    model.draw();
    expectNear(pixelAt(400, 300), {100, 100, 13});
    expectNear(pixelAt(10, 10), {0, 0, 0}, 0);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)); // unit 0 as the caller left it
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Renderer, WalkStopsAtTheFirstEmptyGroup) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    // "cover" is the last group line and has no faces: it heads the list.
    std::string path = dir.write("hidden.obj", std::string(kSquare) + "g cover\n");
    Model hidden(path, nullptr, 0, false);
    ASSERT_EQ(hidden.groups->name, "cover");
    resetView();
    hidden.draw();
    expectNear(pixelAt(400, 300), {0, 0, 0}, 0);

    // Ending in the empty "default" group draws everything before it.
    Model shown(dir.write("shown.obj", kSquare), nullptr, 0, false);
    ASSERT_EQ(shown.groups->next->name, "default");
    shown.draw();
    expectNear(pixelAt(400, 300), {255, 255, 255}, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Renderer, TranslucentTrianglesDrawInDescendingKeyOrder) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    // Left half red, right half green; the first triangle of the file reads
    // red (stored s 0.25), the second green (stored s 0.75). Their corner z
    // sums are -3 and 0.
    std::vector<Rgb> halves;
    for (int row = 0; row < 8; ++row) {
        for (int col = 0; col < 8; ++col) {
            halves.push_back(col < 4 ? Rgb{255, 0, 0} : Rgb{0, 255, 0});
        }
    }
    ModelGroup t = textured("glass", dir.write("halves.bmp", bmp24(8, 8, halves)));
    t.alpha = 0.5f;
    std::string path =
        dir.write("glass.obj", "v -0.5 -0.5 -1\nv 0.5 -0.5 -1\nv 0 0.5 -1\n"
                               "v -0.5 -0.5 0\nv 0.5 -0.5 0\nv 0 0.5 0\n"
                               "vt -0.25 -0.5\nvt -0.75 -0.5\nvn 0 0 1\n"
                               "g glass\nf 1/1/1 2/1/1 3/1/1\nf 4/2/1 5/2/1 6/2/1\n");
    Model model(path, &t, 1, false);
    const ModelGroup& glass = *model.findGroup("glass");

    // Keys 60 (red) and 0 (green): red first, so green ends on top.
    float towardsViewer[3] = {0.0f, 0.0f, -20.0f};
    setSortDirection(towardsViewer);
    resetView();
    model.draw();
    expectNear(pixelAt(400, 300), {64, 128, 0});
    EXPECT_EQ(glass.triangles[0].position[0][2], 0.0f); // sorted in place, ascending
    EXPECT_FALSE(glIsEnabled(GL_BLEND));

    // The other way round: keys -60 (red) and 0 (green), green drawn first.
    float away[3] = {0.0f, 0.0f, 20.0f};
    setSortDirection(away);
    resetView();
    model.draw();
    expectNear(pixelAt(400, 300), {128, 64, 0});
    EXPECT_EQ(glass.triangles[0].position[0][2], -1.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Renderer, BumpCornerColourFollowsTheTangentBasis) {
    Triangle tri{};
    float positions[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    float coords[3][2] = {{0, 0}, {1, 0}, {0, 1}};
    std::memcpy(tri.position, positions, sizeof positions);
    std::memcpy(tri.texCoord, coords, sizeof coords);
    computeTangentBasis(tri); // (1,0,0), (0,-1,0), (0,0,1)
    // Along the third basis vector: (0.75, 0.75, 1.5), which GL clamps.
    float above[3] = {0, 0, 5};
    std::array<float, 3> color = bumpCornerColor(above, tri.position[0], tri.tangentBasis);
    EXPECT_FLOAT_EQ(color[0], 0.75f);
    EXPECT_FLOAT_EQ(color[1], 0.75f);
    EXPECT_FLOAT_EQ(color[2], 1.5f);
    // Along -y, which is the second basis vector; the distance does not count.
    float below[3] = {1, -40, 0};
    color = bumpCornerColor(below, tri.position[1], tri.tangentBasis);
    EXPECT_FLOAT_EQ(color[0], 0.75f);
    EXPECT_FLOAT_EQ(color[1], 1.5f);
    EXPECT_FLOAT_EQ(color[2], 0.75f);
    // A light exactly at the corner gives no direction, not NaN.
    color = bumpCornerColor(positions[2], tri.position[2], tri.tangentBasis);
    EXPECT_FLOAT_EQ(color[0], 0.75f);
    EXPECT_FLOAT_EQ(color[2], 0.75f);
}

TEST(Renderer, BumpMappedGroupIsLitFromLightOneInModelSpace) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string skin = dir.write("skin.bmp", bmp24Filled(2, 2, {255, 128, 64}));
    std::string path = dir.write("square.obj", kSquare);
    // The light sits 1000 units in front of the eye; the model is turned
    // half round about x, so in its own coordinates the light is at
    // z = +1000, along the third basis vector: the corners send about
    // (0.75, 0.75, 1.0). Each normal map picks one channel of that.
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    float light[4] = {0.0f, 0.0f, -1000.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_POSITION, light);
    struct Case {
        Rgb normal;
        float dot; // 4 * (n - 0.5) . (colour - 0.5), from the texel bytes
    } cases[] = {{{255, 128, 128}, 0.5059f},
                 {{128, 255, 128}, 0.5059f},
                 {{128, 128, 191}, 0.5020f},
                 {{128, 128, 255}, 1.0f}};
    for (const Case& c : cases) {
        ModelGroup t = textured("square", skin);
        t.bumpMapped = true;
        t.normalMapName = dir.write("normals.bmp", bmp24Filled(2, 2, c.normal));
        Model model(path, &t, 1, false);
        resetView();
        glRotatef(180.0f, 1.0f, 0.0f, 0.0f);
        model.draw();
        Rgb expected = {static_cast<unsigned char>(std::lround(c.dot * 255)),
                        static_cast<unsigned char>(std::lround(c.dot * 128)),
                        static_cast<unsigned char>(std::lround(c.dot * 64))};
        SCOPED_TRACE(int(c.normal[2]));
        expectNear(pixelAt(400, 300), expected);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Renderer, SingularModelviewWarnsForEveryBumpGroupDrawn) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    ModelGroup t = textured("square", dir.write("skin.bmp", bmp24Filled(2, 2, {255, 255, 255})));
    t.bumpMapped = true;
    t.normalMapName = dir.write("normals.bmp", bmp24Filled(2, 2, {128, 128, 255}));
    Model model(dir.write("square.obj", kSquare), &t, 1, false);
    resetView();
    glScalef(1.0f, 1.0f, 0.0f);
    testing::internal::CaptureStdout();
    model.draw();
    model.draw();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Warning: Call to invertMatrix produced a Singular matrix.\n"
              "Warning: Call to invertMatrix produced a Singular matrix.\n");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Renderer, DrawRestoresStateAndLeavesTextureMatricesAtIdentity) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string skin = dir.write("skin.bmp", bmp24Filled(2, 2, {255, 255, 255}));
    // One group of each kind: bump-mapped with two textures, translucent
    // with three (the third unused), plain without textures.
    std::string path =
        dir.write("mixed.obj", std::string(kSquare) + "g glass\nf 1/1/1 2/2/1 3/3/1\n"
                                                      "g bare\nf 1/1/1 3/3/1 4/4/1\n");
    std::vector<ModelGroup> templates(2);
    templates[0] = textured("square", skin);
    templates[0].textureCount = 2;
    templates[0].textureNames = {skin, skin};
    templates[0].bumpMapped = true;
    templates[0].normalMapName = dir.write("normals.bmp", bmp24Filled(2, 2, {128, 128, 255}));
    templates[1] = textured("glass", skin);
    templates[1].textureCount = 3;
    templates[1].textureNames = {skin, skin, skin};
    templates[1].alpha = 0.5f;
    Model model(path, templates.data(), 2, false);

    resetView();
    const GLenum units[3] = {GL_TEXTURE0, GL_TEXTURE1, GL_TEXTURE2};
    for (GLenum unit : units) {
        glActiveTexture(unit);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glScalef(2.0f, 3.0f, 4.0f);
    }
    glActiveTexture(GL_TEXTURE1);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glMatrixMode(GL_PROJECTION);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glDepthMask(GL_FALSE);
    glColor4f(0.1f, 0.2f, 0.3f, 0.4f);

    model.draw();

    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE1);
    for (GLenum unit : units) {
        glActiveTexture(unit);
        float matrix[16];
        glGetFloatv(GL_TEXTURE_MATRIX, matrix);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(matrix[i], (i % 5 == 0) ? 1.0f : 0.0f) << "unit " << unit - GL_TEXTURE0;
        }
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    }
    glActiveTexture(GL_TEXTURE1);
    GLint env = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_REPLACE);
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint source = 0;
    glGetIntegerv(GL_BLEND_SRC, &source);
    EXPECT_EQ(source, GL_ONE);
    GLboolean depthMask = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
    EXPECT_EQ(depthMask, GL_FALSE);
    float color[4];
    glGetFloatv(GL_CURRENT_COLOR, color);
    EXPECT_FLOAT_EQ(color[0], 0.1f);
    EXPECT_FLOAT_EQ(color[3], 0.4f);
    glDepthMask(GL_TRUE);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

namespace {

std::array<float, 16> multiply(const std::array<float, 16>& a, const std::array<float, 16>& b) {
    std::array<float, 16> out{};
    for (int col = 0; col < 4; ++col) {
        for (int row = 0; row < 4; ++row) {
            for (int k = 0; k < 4; ++k) {
                out[col * 4 + row] += a[k * 4 + row] * b[col * 4 + k];
            }
        }
    }
    return out;
}

} // namespace

TEST(InvertMatrix, InvertsScaleWithTranslationAndAGeneralMatrix) {
    // Column-major: scale (2, 4, 8), then translation (1, 2, 3).
    std::array<float, 16> scaled = {2, 0, 0, 0, 0, 4, 0, 0, 0, 0, 8, 0, 1, 2, 3, 1};
    std::array<float, 16> inverse = invertMatrix(scaled);
    std::array<float, 16> expected = {0.5f, 0, 0,      0, 0,     0.25f, 0,       0,
                                      0,    0, 0.125f, 0, -0.5f, -0.5f, -0.375f, 1};
    for (int i = 0; i < 16; ++i) {
        EXPECT_FLOAT_EQ(inverse[i], expected[i]) << i;
    }
    std::array<float, 16> general = {2, 1, 0, 3, -1, 3, 2, 0, 0.5f, 0, 1, 1, 4, -2, 1, 2};
    std::array<float, 16> product = multiply(general, invertMatrix(general));
    for (int i = 0; i < 16; ++i) {
        EXPECT_NEAR(product[i], (i % 5 == 0) ? 1.0f : 0.0f, 1e-5) << i;
    }
}

TEST(InvertMatrix, SingularMatrixWarnsAndGivesTheIdentity) {
    // The third column is twice the first.
    std::array<float, 16> singular = {1, 2, 3, 0, 0, 1, 0, 0, 2, 4, 6, 0, 5, 6, 7, 1};
    testing::internal::CaptureStdout();
    std::array<float, 16> result = invertMatrix(singular);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Warning: Call to invertMatrix produced a Singular matrix.\n");
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(result[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
    }
}
