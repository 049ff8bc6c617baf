// The chase camera: 10 units behind the player's firefly and 2 above the
// ground, looking at it. The whole view is loaded into the projection
// matrix, so a modelview of identity means world coordinates (the light
// positions set while drawing are then world positions too).
#ifndef FIREFLIES_CAMERA_H
#define FIREFLIES_CAMERA_H

// Multiplies the game's perspective onto the current matrix: 45 degrees
// high, as wide as the 800 by 600 window (4:3), near 0.1, far 1000. Needs a
// GL context.
void applyGamePerspective();

struct Camera {
    double eye[3];    // eye point x, y, z in world coordinates; y stays 2
    double target[3]; // point looked at, world coordinates
    double distance;  // horizontal distance of the eye behind the target, world units

    // Eye (0, 2, 0), target (0, 0, 0), distance 10.
    Camera();

    // Loads the game's perspective (applyGamePerspective) and the look-at from eye to target into
    // the projection matrix, then selects the modelview matrix (which it leaves as it is). Needs a
    // GL context.
    void apply();
    // Looks at (tx, ty, tz) from distance behind it along the direction
    // (ihx, ihy, ihz), which must be horizontal (asserts ihy == 0.0) and is
    // taken as given, not normalised; the eye height is kept. Then apply.
    void setView(double tx, double ty, double tz, double ihx, double ihy, double ihz);
};

#endif
