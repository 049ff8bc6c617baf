// The chase camera: where the eye goes behind the target, the refusal of a
// tilted direction, and the view it loads into OpenGL.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>

#include "camera.h"
#include "gl_context.h"
#include "tools.h"

namespace {

// Where a world point lands in the 800x600 window under the loaded
// projection and an identity modelview.
void projectWorldPoint(double x, double y, double z, double& sx, double& sy, double& sz) {
    GLdouble projection[16];
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    const GLdouble identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const GLint viewport[4] = {0, 0, 800, 600};
    ASSERT_EQ(gluProject(x, y, z, identity, projection, viewport, &sx, &sy, &sz), GL_TRUE);
}

// The camera the world sets for a player at (x, 0, z) with this heading.
void followHeading(Camera& camera, double x, double z, double heading) {
    double r = heading * kDegToRad;
    camera.setView(x, 0.0, z, std::sin(r), 0.0, std::cos(r));
}

} // namespace

TEST(Camera, EyeStaysTenBehindAndTwoAbove) {
    REQUIRE_GL_CONTEXT();
    Camera camera;
    camera.setView(5.0, 0.0, 5.0, 0.0, 0.0, 1.0);
    EXPECT_DOUBLE_EQ(camera.eye[0], 5.0);
    EXPECT_DOUBLE_EQ(camera.eye[1], 2.0);
    EXPECT_DOUBLE_EQ(camera.eye[2], -5.0);
    EXPECT_DOUBLE_EQ(camera.target[0], 5.0);
    EXPECT_DOUBLE_EQ(camera.target[2], 5.0);

    followHeading(camera, 3.0, -4.0, 90.0);
    EXPECT_NEAR(camera.eye[0], 3.0 - 10.0, 1e-9);
    EXPECT_EQ(camera.eye[1], 2.0);
    EXPECT_NEAR(camera.eye[2], -4.0, 1e-7);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(CameraDeathTest, RefusesATiltedDirection) {
    Camera camera;
    EXPECT_DEATH(camera.setView(0.0, 0.0, 0.0, 0.0, 0.5, 1.0), "ihy == 0\\.0");
}

TEST(Camera, ApplyLoadsTheWholeViewIntoTheProjection) {
    REQUIRE_GL_CONTEXT();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_TEXTURE); // apply must hand back the modelview matrix
    Camera camera;
    followHeading(camera, 12.0, -7.0, 30.0);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);

    double sx, sy, sz;
    projectWorldPoint(12.0, 0.0, -7.0, sx, sy, sz);
    EXPECT_NEAR(sx, 400.0, 1e-3);
    EXPECT_NEAR(sy, 300.0, 1e-3);
    EXPECT_GT(sz, 0.0);
    EXPECT_LT(sz, 1.0);

    // The eye sits 2 up and looks down at the target: the horizon (far ahead
    // on the heading line) is above the centre, the eye's own foot point is
    // behind the camera and so outside the depth range.
    double r = 30.0 * kDegToRad;
    projectWorldPoint(12.0 + 500 * std::sin(r), 0.0, -7.0 + 500 * std::cos(r), sx, sy, sz);
    EXPECT_NEAR(sx, 400.0, 1e-3);
    EXPECT_GT(sy, 300.0);
    // 45 degrees of view over 600 rows; the line of sight drops atan(2 / 10)
    // and the far point lies atan(2 / 510) below the eye's level.
    double above = std::atan(0.2) - std::atan(2.0 / 510.0);
    double expectedRows = 300.0 * std::tan(above) / std::tan(22.5 * kDegToRad);
    EXPECT_NEAR(sy - 300.0, expectedRows, 0.5);

    // Left of the player (heading + 90) is left on screen.
    double left = (30.0 + 90.0) * kDegToRad;
    projectWorldPoint(12.0 + 3 * std::sin(left), 0.0, -7.0 + 3 * std::cos(left), sx, sy, sz);
    EXPECT_LT(sx, 390.0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Camera, TurningLeftSwingsTheViewLeft) {
    REQUIRE_GL_CONTEXT();
    Camera camera;
    // A landmark straight ahead of a player facing +Z...
    followHeading(camera, 0.0, 0.0, 0.0);
    double sx, sy, sz;
    projectWorldPoint(0.0, 0.0, 30.0, sx, sy, sz);
    EXPECT_NEAR(sx, 400.0, 1e-3);
    // ...moves to the right on screen when the player turns left.
    followHeading(camera, 0.0, 0.0, 10 * 1.7);
    projectWorldPoint(0.0, 0.0, 30.0, sx, sy, sz);
    EXPECT_GT(sx, 420.0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
