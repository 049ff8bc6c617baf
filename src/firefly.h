// A firefly: a point mass that turns in steps of 1.7 degrees, thrusts along
// its heading and fires a light beam with a 100-step cooldown; drawn from the
// thirteen-part "firefly.obj", banked on turns. Index 0 in the world is the
// player's; the others follow the agent's actions.
#ifndef FIREFLIES_FIREFLY_H
#define FIREFLIES_FIREFLY_H

#include "motion_body.h"

class Firefly {
  public:
    // Heading 90 (facing +X) at the origin, at rest.
    Firefly();

    float x;       // world X
    float z;       // world Z
    float heading; // degrees in [0, 360]; faces (sin h, cos h) in (X, Z)
    int score;     // +2 per hit landed, -1 per hit taken; may go below 0
    bool fire;     // a shot is requested in this step (fire key or action 1)
    MotionBody body; // velocity (vx along Z, vy along X), force, drag
    float thrust;  // force of one accelerate step; set by the map loader
};

#endif
