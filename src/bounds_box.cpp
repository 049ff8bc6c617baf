#include "bounds_box.h"

#include <GL/glew.h>

#include "texture.h"

namespace {

// One corner of a wall: texture u, v, then position in the unit cube.
struct WallCorner {
    float u, v;
    float x, y, z;
};

// One wall: its outward normal and its four corners in drawing order.
struct Wall {
    float normal[3];
    WallCorner corners[4];
};

// The panorama runs once round the walls: u from 0 to 0.25 on the -Z wall,
// 0.25 to 0.5 on +X, 0.5 to 0.75 on +Z and 0.75 to 1 on -X; v is 1 at the
// foot of every wall and 0 at its top. The seam lies on the edge x = z = -1.
const Wall kWalls[4] = {
    {{0, 0, -1},
     {{0, 1, -1, -1, -1}, {0.25f, 1, 1, -1, -1}, {0.25f, 0, 1, 1, -1}, {0, 0, -1, 1, -1}}},
    {{1, 0, 0},
     {{0.25f, 1, 1, -1, -1}, {0.25f, 0, 1, 1, -1}, {0.5f, 0, 1, 1, 1}, {0.5f, 1, 1, -1, 1}}},
    {{-1, 0, 0},
     {{1, 1, -1, -1, -1}, {1, 0, -1, 1, -1}, {0.75f, 0, -1, 1, 1}, {0.75f, 1, -1, -1, 1}}},
    {{0, 0, 1},
     {{0.75f, 1, -1, -1, 1}, {0.5f, 1, 1, -1, 1}, {0.5f, 0, 1, 1, 1}, {0.75f, 0, -1, 1, 1}}},
};

// What the walls set for their own look and put back: texturing on the other
// units and the other targets of unit 0, the texture environment, blending
// and the depth test.
constexpr GLbitfield kWallAttributes =
    GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;

} // namespace

BoundsBox::BoundsBox() : textureId(0) {
    loadTexture("bounds.bmp", textureId);
}

void BoundsBox::draw(float size) {
    glPushMatrix();
    glTranslated(0.0, -50.0, 0.0);
    glScalef(size, size, size);
    drawWalls();
    glPopMatrix();
}

void BoundsBox::drawWalls() {
    // The walls look the same whatever was drawn before them: what their
    // look depends on is set here, and put back afterwards.
    glPushAttrib(kWallAttributes);
    disableTexturing(1);
    glActiveTexture(GL_TEXTURE0);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_3D);
    glDisable(GL_TEXTURE_CUBE_MAP);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureId);
    // The panorama tinted by the wall colour.
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);

    glColor3f(0.1f, 0.5f, 0.6f);
    glBegin(GL_QUADS);
    for (const Wall& wall : kWalls) {
        glNormal3fv(wall.normal);
        for (const WallCorner& c : wall.corners) {
            glTexCoord2f(c.u, c.v);
            glVertex3f(c.x, c.y, c.z);
        }
    }
    glEnd();
    glPopAttrib();
    // The backdrop ends on unit 0 with its picture bound and 2D texturing
    // off; the colour stays the walls'.
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, textureId);
    glDisable(GL_TEXTURE_2D);
}
