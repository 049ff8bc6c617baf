// A firefly: a point mass that turns in steps of 1.7 degrees, thrusts along
// its heading and fires a light beam with a 100-step cooldown; drawn from the
// thirteen-part "firefly.obj", banked on turns, followed by its beam. Index 0
// in the world is the player's; the others follow the agent's actions. The
// world does the scoring, hits, lantern pull and collisions and writes their
// results into the fields below.
#ifndef FIREFLIES_FIREFLY_H
#define FIREFLIES_FIREFLY_H

#include <array>

#include "model.h"
#include "motion_body.h"
#include "particles.h"

// Number of named parts of "firefly.obj", one material template each.
constexpr int kFireflyPartCount = 13;

// The four actions a firefly carries out in act, the agent's and the pilots'
// choices. Stored tables are indexed by these numbers: they stay 0..3.
constexpr int kThrustAction = 0;    // thrust
constexpr int kFireAction = 1;      // thrust and fire
constexpr int kTurnLeftAction = 2;  // thrust and turn left (the heading grows)
constexpr int kTurnRightAction = 3; // thrust and turn right (the heading shrinks)
constexpr int kActionCount = 4;     // actions 0..3

// Degrees the heading changes by in one turn step.
constexpr double kTurnStep = 1.7;
// How far a beam reaches, world units: its length until the world has
// traced it, and the farthest it can hit.
constexpr float kBeamReach = 200.0f;
// Steps between two shots: a firefly's fireCooldown right after it fired.
constexpr int kFireCooldown = 100;

// True when a firefly whose fireCooldown is this launches its beam in this
// step if it fires: move counts the cooldown down before it launches, so a
// beam at 1 is ready too.
constexpr bool beamReady(int fireCooldown) {
    return fireCooldown <= 1;
}

// The light beam: a line drawn where it was fired for 9 frames, with sparks
// at its far end. It does not follow the firefly while it is shown.
struct Beam {
    // Idle beam (every number 0) with a new spark emitter of its own.
    Beam();
    // The beam owns its emitter, which holds records of the shared pool.
    Beam(const Beam&) = delete;
    Beam& operator=(const Beam&) = delete;

    // Starts a shot from (x, z) along heading degrees: 10 frames, length 200.
    void launch(float x, float z, float heading);
    // Counts framesLeft down to 0.
    void tick();
    // Draws the line and, unless length is exactly 200, the sparks at its
    // far end; nothing when idle. Draws without texturing or lighting and
    // with the depth test, and puts those back; leaves blending on (source
    // alpha, one minus source alpha), line smoothing on with the nicest
    // hint, line width 1 and the colour white. Needs a GL context.
    void draw();

    int framesLeft; // frames the beam is still drawn; 0 when idle
    float x;        // world X where it was fired
    float z;        // world Z where it was fired
    float heading;  // heading at firing, degrees
    float length;   // drawn length, world units: 200 at launch, then the world's hit distance + 0.5
    SparkleEmitter* sparkle; // owned; the sparks at the far end, never released
};

class Firefly {
  public:
    // At the origin, heading 90 (facing +X), at rest, with an idle beam;
    // loads "firefly.obj" and its textures (needs a GL context; throws
    // LoadError when a file is missing). thrust and body.drag are left for
    // the map loader.
    Firefly();
    // The firefly owns its model and its beam's emitter.
    Firefly(const Firefly&) = delete;
    Firefly& operator=(const Firefly&) = delete;

    // One agent action (kThrustAction .. kTurnRightAction), then move; the
    // thrust uses the heading from before the turn. Any other number is a programming error: it is
    // printed on its own line and the program stops on an assertion.
    void act(unsigned int action);
    // Adds a force of thrust along the heading to the body.
    void accelerate();
    // Heading + 1.7 degrees, kept in [0, 360]; marks the turn for the bank.
    void turnLeft();
    // Heading - 1.7 degrees, kept in [0, 360]; marks the turn for the bank.
    void turnRight();
    // One step: integrate the body, count the timers down, launch the beam
    // when fire is requested and the cooldown has run out, count the beam.
    void move();
    // Ends the step's events: fire and fired become false.
    void clearFrameFlags();
    // Draws the model at its position plus the offset (world units), banked
    // 15 degrees when it turned since the last draw (right wins over left;
    // only the drawn bank's flag is cleared), then the beam. Needs a GL
    // context.
    void draw(float ox, float oy, float oz);

    float x;          // position, world X
    float z;          // position, world Z
    float heading;    // degrees in [0, 360]; faces (sin h, cos h) in (X, Z)
    int fireCooldown; // steps until the next shot may be launched; 100 right after one
    int lanternTimer; // steps during which no lantern pulls; set to 100 by a lantern bounce
    int score;        // +2 per hit landed, -1 per hit taken; may go below 0
    bool fire;        // a shot is requested in this step (fire key or action 1)
    bool fired;       // the beam was launched in this step
    bool turnedLeft;  // heading increased since the last draw
    bool turnedRight; // heading decreased since the last draw
    MotionBody body;  // velocity (vx along Z, vy along X), force, drag
    Beam beam;        // the light beam
    bool done;        // never set in the game; collisions skip a done firefly
    float thrust;     // force of one accelerate step; set by the map loader
    std::array<ModelGroup, kFireflyPartCount> partMaterials; // material templates of the 13 parts
    Model* model; // owned, loaded from "firefly.obj", never released
};

#endif
