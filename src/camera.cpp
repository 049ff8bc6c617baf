#include "camera.h"

Camera::Camera() : eye{0.0, 2.0, 0.0}, target{0.0, 0.0, 0.0}, distance(10.0) {}
