#include "particles.h"

Particle* particlePool = nullptr;

void initParticlePool() {
    for (int i = 0; i < 1000; ++i) {
        Particle* record = new Particle();
        record->index = i;
        record->next = particlePool;
        particlePool = record;
    }
}
