// Sparks: the shared pool, the beam's bursts, the life of one spark, the
// live list's bookkeeping and the shard directions.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "gl_context.h"
#include "particles.h"

namespace {

const float kOrigin[3] = {0.0f, 0.0f, 0.0f};
const float kZero[3] = {0.0f, 0.0f, 0.0f};
const float kWhite[3] = {1.0f, 1.0f, 1.0f};

// A plain emitter: fixed life and batch, random directions, white sparks.
SparkleEmitter makeEmitter(int maxParticles, int emitMin, int emitRange, int lifeMin,
                           int lifeRange) {
    return SparkleEmitter(kOrigin, maxParticles, emitMin, emitRange, lifeMin, lifeRange, 0.0f,
                          360.0f, 0.0f, 360.0f, 0.15f, 0.05f, kWhite, kZero, kWhite, kZero, kZero,
                          0, 1);
}

// Walks the live list forwards and checks its back links; returns its length.
int checkedListLength(const SparkleEmitter& emitter) {
    int length = 0;
    const Particle* before = nullptr;
    for (const Particle* p = emitter.particles; p != nullptr; p = p->next) {
        EXPECT_EQ(p->prev, before) << "broken back link at position " << length;
        before = p;
        ++length;
    }
    return length;
}

bool inList(const SparkleEmitter& emitter, const Particle* record) {
    for (const Particle* p = emitter.particles; p != nullptr; p = p->next) {
        if (p == record) {
            return true;
        }
    }
    return false;
}

// Looks at the origin from 2 units away along +Z, black background.
void setUpCloseView() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 800.0 / 600.0, 0.1, 100.0);
    gluLookAt(0.0, 0.0, -2.0, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

int litPixels(const std::string& rgb) {
    int lit = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        if (rgb[i] != 0 || rgb[i + 1] != 0 || rgb[i + 2] != 0) {
            ++lit;
        }
    }
    return lit;
}

void saveShot(const std::string& rgb, const std::string& name) {
    std::filesystem::create_directories("/tmp/scene1-shots");
    EXPECT_TRUE(writeScreenshotPng(rgb, "/tmp/scene1-shots/" + name));
}

} // namespace

TEST(SparkDirection, PointsAlongItsAxes) {
    std::array<float, 3> ahead = SparkleEmitter::sparkDirection(0.0f, 0.0f);
    EXPECT_FLOAT_EQ(ahead[0], 0.0f);
    EXPECT_FLOAT_EQ(ahead[1], 0.0f);
    EXPECT_FLOAT_EQ(ahead[2], 1.0f);
    const float halfPi = 3.14159f / 2;
    std::array<float, 3> side = SparkleEmitter::sparkDirection(halfPi, 0.0f);
    EXPECT_NEAR(side[0], -1.0f, 1e-5);
    EXPECT_NEAR(side[1], 0.0f, 1e-5);
    EXPECT_NEAR(side[2], 0.0f, 1e-5);
    std::array<float, 3> up = SparkleEmitter::sparkDirection(0.0f, halfPi);
    EXPECT_NEAR(up[0], 0.0f, 1e-5);
    EXPECT_NEAR(up[1], 1.0f, 1e-5);
    EXPECT_NEAR(up[2], 0.0f, 1e-5);
    std::array<float, 3> slanted = SparkleEmitter::sparkDirection(0.7f, -1.1f);
    float length =
        std::sqrt(slanted[0] * slanted[0] + slanted[1] * slanted[1] + slanted[2] * slanted[2]);
    EXPECT_NEAR(length, 1.0f, 1e-6);
}

TEST(ParticlePool, HoldsAThousandRecordsHandingOutTheLastFirst) {
    initParticlePool();
    EXPECT_EQ(freeParticleCount(), kParticlePoolSize);
    ASSERT_NE(particlePool, nullptr);
    EXPECT_EQ(particlePool->index, 999);
    // The indexes run down to 0 along the list, each record once.
    int expected = 999;
    for (const Particle* p = particlePool; p != nullptr; p = p->next) {
        EXPECT_EQ(p->index, expected--);
    }
    EXPECT_EQ(expected, -1);
    // Filling it again adds nothing.
    initParticlePool();
    EXPECT_EQ(freeParticleCount(), kParticlePoolSize);
}

TEST(SparkleEmitter, RemovalsKeepPoolAndLiveCountConsistent) {
    initParticlePool();
    std::srand(7);
    const int total = freeParticleCount();
    {
        SparkleEmitter emitter = makeEmitter(50, 0, 0, 1, 4);
        int made = 0;
        while (emitter.emit()) {
            ++made;
        }
        EXPECT_EQ(made, 50) << "emission stops at maxParticles";
        EXPECT_EQ(emitter.liveCount, 50);
        EXPECT_EQ(freeParticleCount(), total - 50);

        // Lives 1 to 5 die out over several updates; each removal must move
        // one record back to the pool and keep the list linked both ways.
        int previousLive = emitter.liveCount;
        bool sawPartialRemoval = false;
        for (int step = 0; step < 8; ++step) {
            emitter.update();
            EXPECT_EQ(checkedListLength(emitter), emitter.liveCount);
            EXPECT_EQ(freeParticleCount() + emitter.liveCount, total);
            if (emitter.liveCount > 0 && emitter.liveCount < previousLive) {
                sawPartialRemoval = true;
            }
            previousLive = emitter.liveCount;
        }
        EXPECT_TRUE(sawPartialRemoval) << "sparks of different lives should die apart";
        EXPECT_EQ(emitter.liveCount, 0);
        EXPECT_EQ(emitter.particles, nullptr);
    }
    EXPECT_EQ(freeParticleCount(), total);
}

TEST(SparkleEmitter, BeamFirstBurstIsFlatAtTheOrigin) {
    REQUIRE_GL_CONTEXT();
    initParticlePool();
    const int total = freeParticleCount();
    setUpCloseView();

    std::srand(2024);
    SparkleEmitter* emitter = newBeamEmitter();
    emitter->updateAndDraw();
    int afterBurst = std::rand();
    const int n = emitter->liveCount;
    EXPECT_GE(n, 15);
    EXPECT_LE(n, 24);
    EXPECT_EQ(freeParticleCount(), total - n);

    // One number for the batch size, then exactly ten per spark.
    std::srand(2024);
    for (int i = 0; i < 1 + 10 * n; ++i) {
        std::rand();
    }
    EXPECT_EQ(std::rand(), afterBurst);

    for (const Particle* p = emitter->particles; p != nullptr; p = p->next) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(p->position[k], 0.0f);
            EXPECT_EQ(p->cornerA[k], 0.0f);
            EXPECT_EQ(p->cornerB[k], 0.0f);
        }
        EXPECT_GE(p->life, 4);
        EXPECT_LE(p->life, 6);
        EXPECT_GE(p->color[0], 0.9f);
        EXPECT_LE(p->color[0], 1.0f);
        EXPECT_EQ(p->color[1], 0.0f);
        EXPECT_EQ(p->color[2], 0.0f);
        // Over its life the spark turns to the final yellow (0.9, 0.9, 0.1).
        EXPECT_NEAR(p->color[0] + p->colorStep[0] * p->life, 0.9f, 1e-5);
        EXPECT_NEAR(p->color[1] + p->colorStep[1] * p->life, 0.9f, 1e-5);
        EXPECT_NEAR(p->color[2] + p->colorStep[2] * p->life, 0.1f, 1e-5);
        // Head at 0.15..0.2 per update, the corners at two thirds of it.
        float headSpeed =
            std::sqrt(p->velocity[0] * p->velocity[0] + p->velocity[1] * p->velocity[1] +
                      p->velocity[2] * p->velocity[2]);
        float cornerSpeed =
            std::sqrt(p->velocityA[0] * p->velocityA[0] + p->velocityA[1] * p->velocityA[1] +
                      p->velocityA[2] * p->velocityA[2]);
        EXPECT_GE(headSpeed, 0.15f - 1e-5f);
        EXPECT_LE(headSpeed, 0.2f + 1e-5f);
        EXPECT_NEAR(cornerSpeed, headSpeed / 1.5f, 1e-5);
    }
    std::string first = readFramebufferRgb();
    EXPECT_EQ(litPixels(first), 0) << "sparks of their birth frame have no area";

    // Two draws later the older shards have opened up and show.
    for (int frame = 0; frame < 2; ++frame) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        emitter->updateAndDraw();
    }
    std::string later = readFramebufferRgb();
    EXPECT_GT(litPixels(later), 100);
    saveShot(later, "sparks_close.png");
    delete emitter;
    EXPECT_EQ(freeParticleCount(), total);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SparkleEmitter, SparkOfLifeFourIsGoneInTheFifthDraw) {
    REQUIRE_GL_CONTEXT();
    initParticlePool();
    setUpCloseView();
    std::srand(99);
    // Batches of zero: only the one spark emitted by hand lives here.
    SparkleEmitter emitter = makeEmitter(10, 0, 0, 4, 0);
    ASSERT_TRUE(emitter.emit());
    const Particle* spark = emitter.particles;
    ASSERT_EQ(spark->life, 4);
    float before[3] = {spark->position[0], spark->position[1], spark->position[2]};
    for (int draw = 1; draw <= 4; ++draw) {
        emitter.updateAndDraw();
        ASSERT_TRUE(inList(emitter, spark)) << "draw " << draw;
        EXPECT_EQ(spark->life, 4 - draw);
        float moved = std::fabs(spark->position[0] - before[0]) +
                      std::fabs(spark->position[1] - before[1]) +
                      std::fabs(spark->position[2] - before[2]);
        EXPECT_GT(moved, 0.1f) << "draw " << draw;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(spark->prevPosition[k], before[k]);
            before[k] = spark->position[k];
        }
    }
    emitter.updateAndDraw();
    EXPECT_FALSE(inList(emitter, spark));
    EXPECT_EQ(emitter.liveCount, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SparkleEmitter, BatchStopsWhenThePoolRunsDry) {
    REQUIRE_GL_CONTEXT();
    initParticlePool();
    setUpCloseView();
    const int total = freeParticleCount();
    std::srand(5);
    {
        // Another emitter holds all but three records.
        SparkleEmitter hog = makeEmitter(kParticlePoolSize, 0, 0, 100, 0);
        while (freeParticleCount() > 3) {
            ASSERT_TRUE(hog.emit());
        }
        SparkleEmitter batch = makeEmitter(200, 20, 0, 4, 0);
        batch.updateAndDraw();
        EXPECT_EQ(batch.liveCount, 3);
        EXPECT_EQ(particlePool, nullptr);
        EXPECT_FALSE(batch.emit());
        EXPECT_EQ(checkedListLength(batch), 3);
    }
    EXPECT_EQ(freeParticleCount(), total);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(SparkleEmitter, StreakModeDrawsLines) {
    REQUIRE_GL_CONTEXT();
    initParticlePool();
    setUpCloseView();
    std::srand(11);
    SparkleEmitter streaks(kOrigin, 100, 30, 0, 5, 0, 0.0f, 360.0f, 0.0f, 360.0f, 0.15f, 0.05f,
                           kWhite, kZero, kWhite, kZero, kZero, 1, 2);
    streaks.updateAndDraw();
    glClear(GL_COLOR_BUFFER_BIT);
    streaks.updateAndDraw();
    EXPECT_GT(litPixels(readFramebufferRgb()), 50);
    EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
