// Sparks: a global pool of 1000 particle records shared by every emitter, and
// the SparkleEmitter that bursts, moves and draws three-cornered shards in
// the current modelview frame. No memory is allocated after initParticlePool:
// emitters only move records between the pool and their own live lists.
#ifndef FIREFLIES_PARTICLES_H
#define FIREFLIES_PARTICLES_H

#include <array>

// Number of records initParticlePool creates; the pool never grows.
constexpr int kParticlePoolSize = 1000;

struct Particle {
    int index;             // creation number 0..999; not used otherwise
    int life;              // updates left; the spark is dead at 0 or below
    float position[3];     // head point, emitter frame units
    float prevPosition[3]; // head point before the last update
    float cornerA[3];      // first trailing corner
    float cornerB[3];      // second trailing corner
    float velocity[3];     // head velocity, units per update
    float velocityA[3];    // velocity of cornerA, units per update
    float velocityB[3];    // velocity of cornerB, units per update
    float color[3];        // current colour r, g, b in 0..1
    float prevColor[3];    // colour before the last update
    float colorStep[3];    // colour change per update
    Particle* prev;        // previous record in the emitter's live list, null at its head
    Particle* next;        // next record in the live list or in the pool, null at the end
};

// Head of the singly linked list (through next) of free records; null when
// every record is in use. Filled by initParticlePool, shared by all emitters.
extern Particle* particlePool;

// Creates the 1000 records (index 0..999, each pushed at the head, so 999 is
// handed out first). Call at start-up, before any emitter emits; later calls
// do nothing.
void initParticlePool();

// Number of records in particlePool now (walks the list; for checks, not for
// the frame loop).
int freeParticleCount();

class SparkleEmitter {
  public:
    // Copies every parameter; vectors are read as 3 floats each. The live
    // list starts empty. The parameters never change afterwards.
    SparkleEmitter(const float* pos, int maxParticles, int emitMin, int emitRange, int lifeMin,
                   int lifeRange, float yawMin, float yawRange, float pitchMin, float pitchRange,
                   float speedMin, float speedRange, const float* sColor, const float* sColorVar,
                   const float* fColor, const float* fColorVar, const float* force, int drawMode,
                   int size);
    // The emitter owns live records that belong to the shared pool, so it is
    // never copied.
    SparkleEmitter(const SparkleEmitter&) = delete;
    SparkleEmitter& operator=(const SparkleEmitter&) = delete;
    // Hands every live record back to the pool (the game never destroys an
    // emitter; short-lived ones must not drain the shared pool).
    ~SparkleEmitter();

    // Takes one record from the pool and starts a spark at pos (10 rand()
    // calls). False, quietly, when the pool is empty or maxParticles are live.
    bool emit();
    // Moves every live spark one update; a spark already dead goes back to
    // the pool. A spark of life L moves L times and is removed on the next.
    void update();
    // update, then a batch of emitMin + a random part of emitRange sparks
    // (1 rand() call, the batch ends at the first failed emit), then draws
    // every live spark in the current modelview frame. Needs a GL context.
    void updateAndDraw();
    // Unit vector (-sin yaw cos pitch, sin pitch, cos yaw cos pitch); angles
    // in radians.
    static std::array<float, 3> sparkDirection(float yaw, float pitch);

    float pos[3];        // emission origin in the caller's modelview frame
    Particle* particles; // head of the doubly linked live list, null when empty
    int maxParticles;    // cap on live records
    int liveCount;       // live records, always the length of the live list
    int emitMin;         // sparks per batch, fixed part
    int emitRange;       // sparks per batch, random part
    int lifeMin;         // life of a new spark in updates, fixed part
    int lifeRange;       // life, random part
    float yawMin;        // direction about the vertical, degrees, fixed part
    float yawRange;      // yaw, random part, degrees
    float pitchMin;      // elevation, degrees, fixed part
    float pitchRange;    // pitch, random part, degrees
    float speedMin;      // head speed, units per update, fixed part
    float speedRange;    // speed, random part
    float sColor[3];     // start colour, fixed part, r g b in 0..1
    float sColorVar[3];  // start colour, random part per channel
    float fColor[3];     // final colour, fixed part
    float fColorVar[3];  // final colour, random part per channel
    float force[3];      // added to each head velocity on every update
    int drawMode;        // 0: shards as triangles; 1: streaks as lines; other: nothing
    int size;            // line width in pixels for mode 1
};

// A new emitter with the parameters of a beam's sparks: 15 to 24 red shards
// per draw flying out in every direction at 0.15 to 0.2 units per update,
// turning yellow and sinking, each living 4 or 5 updates, at most 200 live.
// The caller owns it.
SparkleEmitter* newBeamEmitter();

#endif
