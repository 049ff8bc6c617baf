#include "particles.h"

#include "random_unit.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdlib>

Particle* particlePool = nullptr;

namespace {

// The program's pi for spark angles, deliberately short.
constexpr float kSparkPi = 3.14159f;

void copy3(float* to, const float* from) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
}

} // namespace

void initParticlePool() {
    // The pool is made once for the whole process; a second call must not
    // add another thousand records.
    static bool filled = false;
    if (filled) {
        return;
    }
    filled = true;
    for (int i = 0; i < kParticlePoolSize; ++i) {
        Particle* record = new Particle();
        record->index = i;
        record->prev = nullptr;
        record->next = particlePool;
        particlePool = record;
    }
}

int freeParticleCount() {
    int count = 0;
    for (const Particle* p = particlePool; p != nullptr; p = p->next) {
        ++count;
    }
    return count;
}

SparkleEmitter::SparkleEmitter(const float* pos, int maxParticles, int emitMin, int emitRange,
                               int lifeMin, int lifeRange, float yawMin, float yawRange,
                               float pitchMin, float pitchRange, float speedMin, float speedRange,
                               const float* sColor, const float* sColorVar, const float* fColor,
                               const float* fColorVar, const float* force, int drawMode, int size)
    : particles(nullptr), maxParticles(maxParticles), liveCount(0), emitMin(emitMin),
      emitRange(emitRange), lifeMin(lifeMin), lifeRange(lifeRange), yawMin(yawMin),
      yawRange(yawRange), pitchMin(pitchMin), pitchRange(pitchRange), speedMin(speedMin),
      speedRange(speedRange), drawMode(drawMode), size(size) {
    copy3(this->pos, pos);
    copy3(this->sColor, sColor);
    copy3(this->sColorVar, sColorVar);
    copy3(this->fColor, fColor);
    copy3(this->fColorVar, fColorVar);
    copy3(this->force, force);
}

SparkleEmitter::~SparkleEmitter() {
    while (particles != nullptr) {
        Particle* p = particles;
        particles = p->next;
        p->prev = nullptr;
        p->next = particlePool;
        particlePool = p;
    }
    liveCount = 0;
}

std::array<float, 3> SparkleEmitter::sparkDirection(float yaw, float pitch) {
    return {-std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
}

bool SparkleEmitter::emit() {
    if (particlePool == nullptr || liveCount >= maxParticles) {
        return false;
    }
    Particle* p = particlePool;
    particlePool = p->next;

    // The order of the ten random numbers is part of the game's shared
    // random sequence: life, yaw, pitch, speed, then start and final value
    // of red, green and blue.
    p->life = static_cast<int>(randomUnit() * lifeRange + lifeMin);
    copy3(p->position, pos);
    copy3(p->prevPosition, pos);
    copy3(p->cornerA, pos);
    copy3(p->cornerB, pos);

    float yaw = static_cast<float>((randomUnit() * yawRange + yawMin) * kSparkPi / 180);
    float pitch = static_cast<float>((randomUnit() * pitchRange + pitchMin) * kSparkPi / 180);
    // The two trailing corners leave 36 degrees to either side of the head.
    std::array<float, 3> head = sparkDirection(yaw, pitch);
    std::array<float, 3> sideA = sparkDirection(yaw + kSparkPi / 5, pitch);
    std::array<float, 3> sideB = sparkDirection(yaw - kSparkPi / 5, pitch);
    float speed = static_cast<float>(randomUnit() * speedRange + speedMin);
    for (int k = 0; k < 3; ++k) {
        p->velocity[k] = head[k] * speed;
        p->velocityA[k] = sideA[k] * (speed / 1.5f);
        p->velocityB[k] = sideB[k] * (speed / 1.5f);
    }

    for (int k = 0; k < 3; ++k) {
        p->color[k] = static_cast<float>(sColor[k] + randomUnit() * sColorVar[k]);
        float finalColor = static_cast<float>(fColor[k] + randomUnit() * fColorVar[k]);
        // A spark born dead (life 0, possible only with lifeMin 0) keeps its
        // start colour instead of dividing by zero.
        p->colorStep[k] = (p->life > 0) ? (finalColor - p->color[k]) / p->life : 0.0f;
        p->prevColor[k] = p->color[k];
    }

    p->prev = nullptr;
    p->next = particles;
    if (particles != nullptr) {
        particles->prev = p;
    }
    particles = p;
    ++liveCount;
    return true;
}

void SparkleEmitter::update() {
    Particle* p = particles;
    while (p != nullptr) {
        Particle* following = p->next;
        if (p->life <= 0) {
            // Unlink and hand the record back to the pool.
            if (p->prev != nullptr) {
                p->prev->next = following;
            } else {
                particles = following;
            }
            if (following != nullptr) {
                following->prev = p->prev;
            }
            --liveCount;
            p->prev = nullptr;
            p->next = particlePool;
            particlePool = p;
        } else {
            for (int k = 0; k < 3; ++k) {
                p->prevPosition[k] = p->position[k];
                p->position[k] += p->velocity[k];
                p->cornerA[k] += p->velocityA[k];
                p->cornerB[k] += p->velocityB[k];
                p->velocity[k] += force[k];
                p->prevColor[k] = p->color[k];
                p->color[k] += p->colorStep[k];
            }
            --p->life;
        }
        p = following;
    }
}

void SparkleEmitter::updateAndDraw() {
    update();
    int batch = static_cast<int>(randomUnit() * emitRange + emitMin);
    for (int i = 0; i < batch; ++i) {
        if (!emit()) {
            break;
        }
    }

    glBlendFunc(GL_ONE, GL_ZERO);
    if (drawMode == 0) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBegin(GL_TRIANGLES);
        for (const Particle* p = particles; p != nullptr; p = p->next) {
            // The head shines in the new colour, the trailing corners in the
            // colour it had one update ago.
            glColor3fv(p->color);
            glVertex3fv(p->position);
            glColor3fv(p->prevColor);
            glVertex3fv(p->cornerA);
            glVertex3fv(p->cornerB);
        }
        glEnd();
    } else if (drawMode == 1) {
        glLineWidth(static_cast<float>(size));
        glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
        glEnable(GL_LINE_SMOOTH);
        glBegin(GL_LINES);
        for (const Particle* p = particles; p != nullptr; p = p->next) {
            glColor3fv(p->prevColor);
            glVertex3fv(p->prevPosition);
            glColor3fv(p->color);
            glVertex3fv(p->position);
        }
        glEnd();
        glDisable(GL_LINE_SMOOTH);
    }
}

SparkleEmitter* newBeamEmitter() {
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    const float startColor[3] = {0.9f, 0.0f, 0.0f};
    const float startColorVar[3] = {0.1f, 0.0f, 0.0f};
    const float finalColor[3] = {0.9f, 0.9f, 0.1f};
    const float finalColorVar[3] = {0.0f, 0.0f, 0.0f};
    const float sink[3] = {0.0f, -0.01f, 0.0f};
    return new SparkleEmitter(origin, 200, 15, 10, 4, 2, 0.0f, 360.0f, 0.0f, 360.0f, 0.15f, 0.05f,
                              startColor, startColorVar, finalColor, finalColorVar, sink, 0, 1);
}
