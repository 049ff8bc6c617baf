// The chase camera: 10 units behind the player's firefly and 2 above the
// ground, looking at it. The whole view is loaded into the projection
// matrix, so a modelview of identity means world coordinates.
#ifndef FIREFLIES_CAMERA_H
#define FIREFLIES_CAMERA_H

struct Camera {
    double eye[3];   // eye point x, y, z in world coordinates; y stays 2
    double target[3]; // point looked at
    double distance; // horizontal distance of the eye behind the target

    // Eye (0, 2, 0), target (0, 0, 0), distance 10.
    Camera();
};

#endif
