// The 2D overlay over the scene: the score line, the radar and the end text.
#include "state.h"

#include <GL/gl.h>
#include <GL/glut.h>

#include <cmath>
#include <cstdio>

#include "tools.h"

namespace {

// Fireflies nearer than this to the player show on the radar (world units,
// drawn 1:1 in overlay units).
constexpr double kRadarRange = 60.0;

// Overlay text at an integer overlay point.
void drawSmallText(int x, int y, const std::string& text) {
    glRasterPos2i(x, y);
    for (char c : text) {
        glutBitmapCharacter(GLUT_BITMAP_HELVETICA_12, c);
    }
}

void drawLargeText(int x, int y, const std::string& text) {
    glRasterPos2i(x, y);
    for (char c : text) {
        glutBitmapCharacter(GLUT_BITMAP_TIMES_ROMAN_24, c);
    }
}

} // namespace

void drawRadarDisc(float cx, float cy, float r) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(0.07f, 0.6f, 0.1f, 0.3f);
    glBegin(GL_POLYGON);
    for (int i = 0; i < 50; ++i) {
        float a = i * 6.2831853f / 50.0f;
        glVertex2f(cx + r * std::cos(a), cy + r * std::sin(a));
    }
    glEnd();
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void drawRadarMarker(float a, float b, float heading) {
    glPushMatrix();
    glTranslatef(a, b, 0.0f);
    glRotatef(heading - 90.0f, 0.0f, 0.0f, 1.0f);
    glBegin(GL_TRIANGLES);
    glColor3f(1.0f, 0.0f, 0.0f);
    glVertex2f(0.0f, 1.4f);
    glColor3f(1.0f, 1.0f, 1.0f);
    glVertex2f(-1.4f, -1.4f);
    glVertex2f(1.4f, -1.4f);
    glEnd();
    glPopMatrix();
}

void GameState::drawHud() {
    const Firefly& player = *fireflies[0];
    glDisable(GL_DEPTH_TEST);
    // The overlay is flat colour: whatever texture the scene left bound
    // must not tint the radar.
    glDisable(GL_TEXTURE_2D);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, 600.0, 0.0, 450.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);

    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    drawSmallText(3, 441, scoreLine());

    drawRadarDisc(540.0f, 390.0f, 62.0f);
    glPushMatrix();
    glTranslatef(540.0f, 390.0f, 0.0f);
    glRotatef(90.0f - player.heading, 0.0f, 0.0f, 1.0f);
    for (int i = 0; i < fireflyCount; ++i) {
        const Firefly& other = *fireflies[i];
        if (distance(player.z, player.x, other.z, other.x) < kRadarRange) {
            drawRadarMarker(other.z - player.z, other.x - player.x, other.heading);
        }
    }
    glPopMatrix();

    if (gameOver) {
        drawLargeText(258, 225, endText());
    }
}

std::string GameState::scoreLine() const {
    char buf[64];
    std::snprintf(buf, sizeof buf, "Your Score: %d Leader Score: %d", fireflies[0]->score,
                  leaderScore());
    return buf;
}

std::string GameState::endText() const {
    if (!gameOver) {
        return "";
    }
    return playerWon() ? "YOU WIN!" : "YOU LOSE!";
}
