// The backdrop walls: where they stand for a level of radius 40, how the
// panorama runs round them (and where its seam is), and how they look with
// the game's own picture.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "bounds_box.h"
#include "camera.h"
#include "gl_context.h"
#include "poisoned_state.h"
#include "tools.h"

namespace {

// Half-width of the box the world draws for a level of radius 40.
constexpr float kSize = 80.0f;

// A probe texture of 8 columns by 2 rows, sampled without filtering. Column
// c of the top row (the upper half of every wall) has colour code c, the
// bottom row code 7 - c; bit 0 of a code is red, bit 1 green, bit 2 blue.
GLuint makeProbeTexture() {
    unsigned char texels[2][8][3];
    for (int c = 0; c < 8; ++c) {
        int codes[2] = {c, 7 - c};
        for (int row = 0; row < 2; ++row) {
            texels[row][c][0] = (codes[row] & 1) ? 255 : 0;
            texels[row][c][1] = (codes[row] & 2) ? 255 : 0;
            texels[row][c][2] = (codes[row] & 4) ? 255 : 0;
        }
    }
    return makeNearestTexture(8, 2, &texels[0][0][0]);
}

// What a pixel shows: -1 for the white background, else the probe code
// (the wall colour 0.1, 0.5, 0.6 scales each channel of the texel).
int codeOf(const std::string& rgb, int x, int y) {
    size_t i = (static_cast<size_t>(y) * 800 + x) * 3;
    int r = static_cast<unsigned char>(rgb[i]);
    int g = static_cast<unsigned char>(rgb[i + 1]);
    int b = static_cast<unsigned char>(rgb[i + 2]);
    if (r > 200 && g > 200 && b > 200) {
        return -1;
    }
    return (r > 12 ? 1 : 0) + (g > 63 ? 2 : 0) + (b > 76 ? 4 : 0);
}

// A wide view (130 degrees high) from eye level at (20, 0, -20), looking
// along +Z or -Z: off the box's centre, so a box of the wrong size or
// height would not line up.
void lookFromOffCentre(double directionZ) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(130.0, 800.0 / 600.0, 0.1, 1000.0);
    gluLookAt(20.0, 0.0, -20.0, 20.0, 0.0, -20.0 + directionZ, 0.0, 1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
}

// The code seen dx, dy pixels away from where a world point projects.
int codeNear(const std::string& rgb, double x, double y, double z, int dx, int dy) {
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const GLdouble identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const GLint viewport[4] = {0, 0, 800, 600};
    double sx = 0, sy = 0, sz = 0;
    gluProject(x, y, z, identity, projection, viewport, &sx, &sy, &sz);
    int px = static_cast<int>(sx) + dx;
    int py = static_cast<int>(sy) + dy;
    EXPECT_TRUE(px >= 0 && px < 800 && py >= 0 && py < 600) << x << ", " << y << ", " << z;
    if (px < 0 || px >= 800 || py < 0 || py >= 600) {
        return -2;
    }
    return codeOf(rgb, px, py);
}

void saveShot(const std::string& rgb, const std::string& name) {
    std::filesystem::create_directories("/tmp/scene1-shots");
    EXPECT_TRUE(writeScreenshotPng(rgb, "/tmp/scene1-shots/" + name));
}

} // namespace

TEST(BoundsBox, WallsStandAtEightyAndReachFromMinus130To30) {
    REQUIRE_GL_CONTEXT();
    BoundsBox bounds;
    bounds.textureId = makeProbeTexture();

    // Looking along +Z: the +Z wall ahead, +X on the left, -X on the right.
    lookFromOffCentre(1.0);
    bounds.draw(kSize);
    std::string ahead = readFramebufferRgb();
    saveShot(ahead, "bounds_probe_ahead.png");
    EXPECT_EQ(codeNear(ahead, 40, -10, 80, 0, 0), 4);
    EXPECT_EQ(codeNear(ahead, -40, -90, 80, 0, 0), 7 - 5);
    EXPECT_EQ(codeNear(ahead, 80, -10, 40, 0, 0), 3);
    EXPECT_EQ(codeNear(ahead, -80, -90, 40, 0, 0), 7 - 6);
    // Top edge at y = 30, foot at y = -130, nothing above or below.
    EXPECT_EQ(codeNear(ahead, 20, 30, 80, 0, -4), 4);
    EXPECT_EQ(codeNear(ahead, 20, 30, 80, 0, 4), -1);
    EXPECT_EQ(codeNear(ahead, 20, -130, 80, 0, 4), 7 - 4);
    EXPECT_EQ(codeNear(ahead, 20, -130, 80, 0, -4), -1);
    EXPECT_EQ(codeNear(ahead, 80, 30, 40, 0, -4), 3);
    EXPECT_EQ(codeNear(ahead, 80, 30, 40, 0, 4), -1);
    // The corners at x = +-80, z = 80, where the panorama passes from one
    // wall to the next.
    EXPECT_EQ(codeNear(ahead, 80, -10, 80, -4, 0), 3);
    EXPECT_EQ(codeNear(ahead, 80, -10, 80, 4, 0), 4);
    EXPECT_EQ(codeNear(ahead, -80, -10, 80, -4, 0), 5);
    EXPECT_EQ(codeNear(ahead, -80, -10, 80, 4, 0), 6);

    // Looking along -Z: the -Z wall ahead, -X on the left, +X on the right;
    // the seam of the panorama is the corner x = z = -80.
    lookFromOffCentre(-1.0);
    bounds.draw(kSize);
    std::string behind = readFramebufferRgb();
    saveShot(behind, "bounds_probe_behind.png");
    EXPECT_EQ(codeNear(behind, 40, -10, -80, 0, 0), 1);
    EXPECT_EQ(codeNear(behind, -40, -90, -80, 0, 0), 7 - 0);
    EXPECT_EQ(codeNear(behind, -80, -10, -80, -4, 0), 7);
    EXPECT_EQ(codeNear(behind, -80, -10, -80, 4, 0), 0);
    EXPECT_EQ(codeNear(behind, 80, -10, -80, -4, 0), 1);
    EXPECT_EQ(codeNear(behind, 80, -10, -80, 4, 0), 2);
    EXPECT_EQ(codeNear(behind, 40, 30, -80, 0, 4), -1);
    EXPECT_EQ(codeNear(behind, 40, 30, -80, 0, -4), 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(BoundsBox, DrawLeavesTheMatricesAsTheFrameExpects) {
    REQUIRE_GL_CONTEXT();
    BoundsBox bounds;
    EXPECT_TRUE(glIsTexture(bounds.textureId));
    lookFromOffCentre(1.0);
    glEnable(GL_TEXTURE_2D);
    glTranslatef(1.0f, 2.0f, 3.0f);
    GLfloat before[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);
    bounds.draw(kSize);
    GLfloat after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(before[i], after[i]) << "modelview element " << i;
    }
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << "the walls end with 2D texturing off";
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(BoundsBox, LooksTheSameWhateverStateItFindsAndEndsAsTheBackdropDoes) {
    REQUIRE_GL_CONTEXT();
    BoundsBox bounds;
    bounds.textureId = makeProbeTexture();
    resetDrawState();
    lookFromOffCentre(1.0);
    bounds.draw(kSize);
    std::string clean = readFramebufferRgb();

    // After whatever another drawer may leave: textures on other units, a
    // 3D texture, another texture environment and texture matrix, blending,
    // no depth test. Not lighting: the game never switches it on, and the
    // walls leave it alone.
    lookFromOffCentre(1.0);
    poisonDrawState(false);
    bounds.draw(kSize);
    std::string afterPoison = readFramebufferRgb();
    // The walls end on unit 0 with their picture bound, 2D texturing off
    // there and their own colour; the rest is as they found it.
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE0);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), bounds.textureId);
    GLfloat colour[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_NEAR(colour[0], 0.1f, 1e-6);
    EXPECT_NEAR(colour[1], 0.5f, 1e-6);
    EXPECT_NEAR(colour[2], 0.6f, 1e-6);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING)) << "the walls switch nothing on";
    const char* changed = "";
    EXPECT_TRUE(stillPoisoned(&changed, kActiveUnit | kUnit0Texture2D | kLighting))
        << changed << " was not put back";
    resetDrawState();
    saveShot(afterPoison, "bounds_after_poisoned_state.png");

    EXPECT_EQ(codeNear(clean, 40, -10, 80, 0, 0), 4) << "the clean draw shows the walls";
    int differing = 0;
    for (size_t i = 0; i < clean.size(); i += 3) {
        differing += clean.compare(i, 3, afterPoison, i, 3) != 0 ? 1 : 0;
    }
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(BoundsBox, BackdropFromTheChaseCamera) {
    REQUIRE_GL_CONTEXT();
    BoundsBox bounds;
    Camera camera;
    // Magenta is a colour the walls cannot show: their red is at most 0.1.
    glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    double r = 30.0 * kDegToRad;
    camera.setView(10.0, 0.0, 5.0, std::sin(r), 0.0, std::cos(r));
    glEnable(GL_TEXTURE_2D);
    bounds.draw(kSize);
    std::string shot = readFramebufferRgb();
    saveShot(shot, "bounds_chase.png");
    // The line of sight drops only 1 in 5, so across the whole centre row
    // it meets a wall well above the walls' foot.
    int wall = 0;
    for (int x = 0; x < 800; ++x) {
        size_t i = (300 * 800 + static_cast<size_t>(x)) * 3;
        if (static_cast<unsigned char>(shot[i]) != 255) {
            ++wall;
        }
    }
    EXPECT_EQ(wall, 800);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
