// Sparks: a global pool of 1000 particle records shared by every emitter, and
// the SparkleEmitter that bursts, moves and draws three-cornered shards in
// the current modelview frame. No memory is allocated after initParticlePool.
#ifndef FIREFLIES_PARTICLES_H
#define FIREFLIES_PARTICLES_H

struct Particle {
    int index;             // creation number 0..999
    int life;              // updates left
    float position[3];     // head point
    float prevPosition[3]; // head point before the last update
    float cornerA[3];      // first trailing corner
    float cornerB[3];      // second trailing corner
    float velocity[3];     // head velocity per update
    float velocityA[3];    // velocity of cornerA
    float velocityB[3];    // velocity of cornerB
    float color[3];        // current colour r, g, b
    float prevColor[3];    // colour before the last update
    float colorStep[3];    // colour change per update
    Particle* prev;        // previous record in the emitter's live list, null at its head
    Particle* next;        // next record in the live list or in the pool
};

// Head of the list of free records; filled by initParticlePool.
extern Particle* particlePool;

// Creates the 1000 records (index 0..999, 999 handed out first). Call once
// at start-up, before any emitter emits.
void initParticlePool();

// Filled in with the particle system.
class SparkleEmitter;

#endif
