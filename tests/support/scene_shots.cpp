#include "scene_shots.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <filesystem>

#include "camera.h"
#include "gl_context.h"

void setGameCamera(double eyeX, double eyeY, double eyeZ, double targetX, double targetY,
                   double targetZ) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    applyGamePerspective();
    gluLookAt(eyeX, eyeY, eyeZ, targetX, targetY, targetZ, 0.0, 1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void placeLight1(float x, float y, float z) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    const float position[4] = {x, y, z, 1.0f};
    glLightfv(GL_LIGHT1, GL_POSITION, position);
    glPopMatrix();
}

bool saveShot(const std::string& rgb, const std::string& name) {
    const std::string folder = "/tmp/scene2-shots";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return writeScreenshotPng(rgb, folder + "/" + name + ".png");
}

unsigned int pixelAt(const std::string& rgb, int x, int y) {
    const size_t at = (static_cast<size_t>(y) * 800 + static_cast<size_t>(x)) * 3;
    return (static_cast<unsigned int>(static_cast<unsigned char>(rgb[at])) << 16) |
           (static_cast<unsigned int>(static_cast<unsigned char>(rgb[at + 1])) << 8) |
           static_cast<unsigned int>(static_cast<unsigned char>(rgb[at + 2]));
}
