#include "camera.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cassert>

Camera::Camera() : eye{0.0, 2.0, 0.0}, target{0.0, 0.0, 0.0}, distance(10.0) {}

void applyGamePerspective() {
    gluPerspective(45.0, 1.3333333333333333, 0.1, 1000.0);
}

void Camera::apply() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    applyGamePerspective();
    gluLookAt(eye[0], eye[1], eye[2], target[0], target[1], target[2], 0.0, 1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
}

void Camera::setView(double tx, double ty, double tz, double ihx, double ihy, double ihz) {
    target[0] = tx;
    target[1] = ty;
    target[2] = tz;
    // The chase camera only ever swings round the vertical axis.
    assert(ihy == 0.0);
    eye[0] = tx - ihx * distance;
    eye[2] = tz - ihz * distance;
    apply();
}
