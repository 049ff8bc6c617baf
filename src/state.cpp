// The world: building it, the keys, the rules of a step and the scene drawing.
#include "state.h"

#include <GL/glew.h>
#include <SDL/SDL.h>

#include <cassert>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "model.h"
#include "tools.h"

GameState::GameState(std::string level)
    : fireflies(nullptr), lanterns(nullptr), flowers(nullptr), fireflyCount(0), lanternCount(0),
      flowerCount(0), noiseVolume(nullptr), gameOver(false), keyUp(false), keyLeft(false),
      keyRight(false), levelRadius(0.0), levelSpeed(0.0), levelDrag(0.0) {
    noiseVolume = new NoiseVolume(3, 1);
    loadLevel(level);
    loadTables();
}

GameState::GameState(const LevelMap& map)
    : fireflies(nullptr), lanterns(nullptr), flowers(nullptr), fireflyCount(0), lanternCount(0),
      flowerCount(0), noiseVolume(nullptr), gameOver(false), keyUp(false), keyLeft(false),
      keyRight(false), levelRadius(0.0), levelSpeed(0.0), levelDrag(0.0) {
    // The same order of building, and so of rand() calls, as from a file.
    noiseVolume = new NoiseVolume(3, 1);
    buildLevel(map);
    loadTables();
}

void GameState::loadTables() {
    // A missing or broken table is worth a warning, not the end of the game:
    // the fireflies then act on the initial tables. The entry point prints it.
    auto warnIf = [this](const std::string& problem, const std::string& file) {
        if (!problem.empty()) {
            warnings.push_back(LoadError{problem, false, file});
        }
    };
    warnIf(learner.loadTransitions("learner.trans"), "learner.trans");
    warnIf(learner.loadValues("learner.val"), "learner.val");
    loadRandomNumbers();
    gameOver = false;
}

void GameState::loadLevel(const std::string& path) {
    // The whole file is checked before anything is built, so a bad map stops
    // the game before it has loaded a single model.
    buildLevel(readLevelMap(path));
}

void GameState::buildLevel(const LevelMap& map) {
    startMap = map;

    fireflyCount = static_cast<int>(map.fireflies.size());
    fireflies = new Firefly*[fireflyCount];
    for (int i = 0; i < fireflyCount; ++i) {
        fireflies[i] = new Firefly();
        fireflies[i]->z = map.fireflies[i].first;
        fireflies[i]->x = map.fireflies[i].second;
    }
    lanternCount = static_cast<int>(map.lanterns.size());
    lanterns = new Lantern*[lanternCount];
    for (int i = 0; i < lanternCount; ++i) {
        // Every lantern takes its own slice of the noise before it is built.
        int slice = static_cast<int>(noiseVolume->makeSliceTexture());
        lanterns[i] = new Lantern(slice);
        lanterns[i]->z = map.lanterns[i].first;
        lanterns[i]->x = map.lanterns[i].second;
    }
    flowerCount = static_cast<int>(map.flowers.size());
    flowers = new Flower*[flowerCount];
    for (int i = 0; i < flowerCount; ++i) {
        flowers[i] = new Flower();
        flowers[i]->z = map.flowers[i].first;
        flowers[i]->x = map.flowers[i].second;
    }
    levelRadius = static_cast<double>(rad_arr[map.radi]);
    levelSpeed = speed_arr[map.speedi];
    levelDrag = drag_arr[map.dragi];
    for (int i = 0; i < fireflyCount; ++i) {
        fireflies[i]->body.drag = static_cast<float>(levelDrag);
        fireflies[i]->thrust = static_cast<float>(levelSpeed);
    }
    hitsLanded.assign(fireflyCount, 0);
    hitsTaken.assign(fireflyCount, 0);
}

void GameState::loadRandomNumbers() {
    const std::string file = "random_numbers.dat";
    // A missing file says nothing; a pipe in its place would hold the game
    // up before its first frame.
    std::string other = notAFile(file);
    if (!other.empty()) {
        warnings.push_back(LoadError{file + ": cannot read (" + other +
                                         "); the fireflies are drawn without their small offsets",
                                     false, file});
        return;
    }
    randomNumbers = readRandomNumbers(file);
}

void GameState::handleEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            SDL_Quit();
            std::exit(0);
        }
        if (isPadEvent(event)) {
            switch (applyPadEvent(pad, event)) {
            case PadFire::Pressed:
                fireflies[0]->fire = true;
                break;
            case PadFire::Released:
                fireflies[0]->fire = false;
                break;
            case PadFire::Unchanged:
                break;
            }
            continue;
        }
        if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) {
            continue;
        }
        bool down = (event.type == SDL_KEYDOWN);
        switch (event.key.keysym.sym) {
        case SDLK_ESCAPE:
            if (down) {
                SDL_Quit();
                std::exit(0);
            }
            break;
        case SDLK_SPACE:
            fireflies[0]->fire = down;
            break;
        case SDLK_UP:
            keyUp = down;
            break;
        case SDLK_LEFT:
            keyLeft = down;
            break;
        case SDLK_RIGHT:
            keyRight = down;
            break;
        case SDLK_m:
            if (down) {
                ++muteRequests;
            }
            break;
        default:
            break;
        }
    }
}

namespace {

// Scoring and reach of the beams.
constexpr int kHitReward = 2;
constexpr int kHitPenalty = 1;
constexpr double kFireflyHitRadius = 1.0;
constexpr double kLanternHitRadius = 4.0;
constexpr double kFlowerHitRadius = 5.0;

// Contacts and forces.
constexpr double kLanternPull = 30.0;
constexpr double kFireflyContact = 2.0;
constexpr double kFlowerContact = 6.0;
constexpr double kLanternContact = 5.0;
constexpr int kLanternTimer = 100;

// Mirrors the body's velocity about the reference direction theta.
void bounce(Firefly& firefly, double theta) {
    if (std::isnan(theta)) {
        return;
    }
    double alpha = firefly.body.headingDegrees();
    double psi = 180.0 + theta - alpha;
    if (psi > 360.0) {
        psi -= 360.0;
    }
    double v = firefly.body.speed();
    firefly.body.vx = static_cast<float>(std::cos(psi * kDegToRad) * v);
    firefly.body.vy = static_cast<float>(std::sin(psi * kDegToRad) * v);
}

} // namespace

void bounceOffBounds(Firefly& firefly) {
    bounce(firefly, angleBetween(0.0, 0.0, firefly.z, firefly.x));
}

void bounceOffFlower(Firefly& firefly, const Flower& flower) {
    bounce(firefly, angleBetween(firefly.z, firefly.x, flower.z, flower.x));
}

void bounceOffLantern(Firefly& firefly, const Lantern& lantern) {
    bounce(firefly, angleBetween(firefly.z, firefly.x, lantern.z, lantern.x));
    firefly.lanternTimer = kLanternTimer;
}

void GameState::restart() {
    for (int i = 0; i < fireflyCount; ++i) {
        Firefly& firefly = *fireflies[i];
        firefly.z = startMap.fireflies[i].first;
        firefly.x = startMap.fireflies[i].second;
        firefly.heading = 90.0f;
        firefly.body.clear();
        firefly.fireCooldown = 0;
        firefly.lanternTimer = 0;
        firefly.score = 0;
        firefly.fire = false;
        firefly.fired = false;
        firefly.turnedLeft = false;
        firefly.turnedRight = false;
        firefly.beam.framesLeft = 0;
    }
    hitsLanded.assign(fireflyCount, 0);
    hitsTaken.assign(fireflyCount, 0);
    events.clear();
    stepBefore.clear();
    keyUp = false;
    keyLeft = false;
    keyRight = false;
    pad.release();
    gameOver = false;
}

void GameState::update() {
    decide();
    advance();
}

void GameState::decide() {
    if (gameOver) {
        return;
    }
    learner.observe(fireflies, fireflyCount, lanterns, lanternCount);
    learner.chooseActions(fireflies, fireflyCount, lanterns, lanternCount);
}

void GameState::advance() {
    Firefly& player = *fireflies[0];
    // This step's bounces are told apart from those of the step before.
    std::swap(stepBefore, events);
    events.clear();
    if (!gameOver) {
        if (playerIsAgent) {
            player.act(static_cast<unsigned int>(learner.actions[0]));
        } else {
            // The keys and the pad steer together.
            if (keyLeft || pad.left()) {
                player.turnLeft();
            }
            if (keyRight || pad.right()) {
                player.turnRight();
            }
            if (keyUp || pad.up()) {
                player.accelerate();
            }
            player.move();
        }
        for (int i = 1; i < fireflyCount; ++i) {
            fireflies[i]->act(static_cast<unsigned int>(learner.actions[i]));
        }
    }
    double h = player.heading * kDegToRad;
    camera.setView(player.x, 0.0, player.z, std::sin(h), 0.0, std::cos(h));
    if (gameOver) {
        return; // the world is frozen; only the view is kept on the player
    }
    camera.apply();
    applyLanternPull();
    traceBeams();
    resolveCollisions();
    for (int i = 0; i < fireflyCount; ++i) {
        fireflies[i]->clearFrameFlags();
    }
    for (const Hit& hit : events.hits) {
        ++hitsLanded[hit.shooter];
        ++hitsTaken[hit.target];
    }
    if (leaderScore() >= kWinningScore) {
        gameOver = true;
        events.ended = true;
    }
}

int GameState::leaderScore() const {
    int index = -1;
    for (int i = 0; i < fireflyCount; ++i) {
        if (index == -1 || fireflies[index]->score < fireflies[i]->score) {
            index = i;
        }
    }
    return index == -1 ? 0 : fireflies[index]->score;
}

void GameState::traceBeams() {
    for (int i = 0; i < fireflyCount; ++i) {
        Firefly& shooter = *fireflies[i];
        if (!shooter.fired) {
            continue;
        }
        events.shots.push_back(i);
        int best = -1;
        double nearest = kBeamReach; // the beam's reach when nothing is met
        double iz = 0.0;
        double ix = 0.0;
        for (int j = 0; j < fireflyCount; ++j) {
            if (j == i) {
                continue;
            }
            double t = rayCircleHit(shooter.z, shooter.x, shooter.heading, fireflies[j]->z,
                                    fireflies[j]->x, kFireflyHitRadius, iz, ix);
            if (t == -1.0) {
                continue;
            }
            if (best == -1 || t < nearest) {
                best = j;
                nearest = t;
            }
        }
        for (int k = 0; k < lanternCount; ++k) {
            double t = rayCircleHit(shooter.z, shooter.x, shooter.heading, lanterns[k]->z,
                                    lanterns[k]->x, kLanternHitRadius, iz, ix);
            if (t != -1.0 && t < nearest) {
                best = -1;
                nearest = t;
            }
        }
        for (int k = 0; k < flowerCount; ++k) {
            double t = rayCircleHit(shooter.z, shooter.x, shooter.heading, flowers[k]->z,
                                    flowers[k]->x, kFlowerHitRadius, iz, ix);
            if (t != -1.0 && t < nearest) {
                best = -1;
                nearest = t;
            }
        }
        if (best != -1) {
            shooter.score += kHitReward;
            fireflies[best]->score -= kHitPenalty;
            events.hits.push_back(Hit{i, best});
        }
        shooter.beam.length = static_cast<float>(nearest + 0.5);
    }
}

void GameState::applyLanternPull() {
    for (int i = 0; i < fireflyCount; ++i) {
        Firefly& firefly = *fireflies[i];
        if (firefly.lanternTimer > 0) {
            continue;
        }
        for (int k = 0; k < lanternCount; ++k) {
            const Lantern& lantern = *lanterns[k];
            double d = distance(lantern.z, lantern.x, firefly.z, firefly.x);
            if (d == 0.0) {
                continue;
            }
            double theta = angleBetween(firefly.z, firefly.x, lantern.z, lantern.x);
            double g = kLanternPull / (d * d);
            firefly.body.applyPolarForce(static_cast<float>(g), static_cast<float>(theta));
        }
    }
}

void GameState::resolveCollisions() {
    for (int i = 0; i < fireflyCount; ++i) {
        collideWithOthers(i);
    }
    for (int i = 0; i < fireflyCount; ++i) {
        Firefly& firefly = *fireflies[i];
        if (distance(firefly.z, firefly.x, 0.0, 0.0) > levelRadius) {
            bounceOffBounds(firefly);
            noteContact(i, Obstacle::Edge, -1);
        }
        for (int k = 0; k < flowerCount; ++k) {
            if (distance(firefly.z, firefly.x, flowers[k]->z, flowers[k]->x) < kFlowerContact) {
                bounceOffFlower(firefly, *flowers[k]);
                noteContact(i, Obstacle::Flower, k);
            }
        }
        for (int k = 0; k < lanternCount; ++k) {
            if (distance(firefly.z, firefly.x, lanterns[k]->z, lanterns[k]->x) < kLanternContact) {
                bounceOffLantern(firefly, *lanterns[k]);
                noteContact(i, Obstacle::Lantern, k);
            }
        }
    }
}

void GameState::collideWithOthers(int i) {
    Firefly& first = *fireflies[i];
    if (first.done) {
        return;
    }
    for (int j = i + 1; j < fireflyCount; ++j) {
        Firefly& second = *fireflies[j];
        if (second.done) {
            continue;
        }
        if (distance(first.x, first.z, second.x, second.z) < kFireflyContact) {
            collidePair(first, second);
            noteContact(i, Obstacle::Firefly, j);
        }
    }
}

void GameState::noteContact(int firefly, Obstacle obstacle, int other) {
    bool continues = stepBefore.touches(firefly, obstacle, other);
    events.contacts.push_back(Contact{firefly, obstacle, other, !continues});
}

void GameState::collidePair(Firefly& f1, Firefly& f2) {
    assert(!f1.done);
    assert(!f2.done);
    // The line of centres, from the points taken as (x, z): (ca, sa) is its
    // direction in (X, Z).
    double phi = angleBetween(f1.x, f1.z, f2.x, f2.z);
    if (std::isnan(phi)) {
        return; // coincident: no line of centres to exchange along
    }
    double ca = std::cos(phi * kDegToRad);
    double sa = std::sin(phi * kDegToRad);
    // A body's vy is its velocity along X and vx along Z, so the part along
    // the line is ca * vy + sa * vx. The fireflies trade those parts, as
    // equal masses meeting head-on do, and keep the parts across the line.
    MotionBody& b1 = f1.body;
    MotionBody& b2 = f2.body;
    double a1 = ca * b1.vy + sa * b1.vx;
    double c1 = -sa * b1.vy + ca * b1.vx;
    double a2 = ca * b2.vy + sa * b2.vx;
    double c2 = -sa * b2.vy + ca * b2.vx;
    std::swap(a1, a2);
    b1.vy = static_cast<float>(ca * a1 - sa * c1);
    b1.vx = static_cast<float>(sa * a1 + ca * c1);
    b2.vy = static_cast<float>(ca * a2 - sa * c2);
    b2.vx = static_cast<float>(sa * a2 + ca * c2);

    // The faster of the two after the exchange (the second on equal speeds)
    // is pushed out along the line until they are 2.001 apart.
    double d = distance(f1.x, f1.z, f2.x, f2.z);
    double push = kFireflyContact - d + 0.001;
    if (b2.speed() < b1.speed()) {
        f1.x += static_cast<float>(std::cos((phi + 180.0) * kDegToRad) * push);
        f1.z += static_cast<float>(std::sin((phi + 180.0) * kDegToRad) * push);
    } else {
        f2.x += static_cast<float>(std::cos(phi * kDegToRad) * push);
        f2.z += static_cast<float>(std::sin(phi * kDegToRad) * push);
    }
}

bool GameState::playerWon() const {
    return gameOver && fireflies[0]->score >= kWinningScore;
}

float GameState::pickOffset() const {
    // One rand() per pick whatever the table holds, so that the shared
    // random sequence does not depend on "random_numbers.dat".
    int r = std::rand();
    if (randomNumbers.empty()) {
        return 0.0f;
    }
    return randomNumbers[static_cast<size_t>(r) % randomNumbers.size()];
}

void GameState::draw() {
    drawScene();
    SDL_GL_SwapBuffers();
}

void GameState::drawScene() {
    const Firefly& player = *fireflies[0];
    float view[3] = {static_cast<float>(player.x - camera.eye[0]), -2.0f,
                     static_cast<float>(player.z - camera.eye[2])};
    setSortDirection(view);
    double eye[3] = {camera.eye[0], camera.eye[1], camera.eye[2]};

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);

    bounds.draw(static_cast<float>(2.0 * levelRadius));

    for (int i = 0; i < fireflyCount; ++i) {
        Firefly& firefly = *fireflies[i];
        float position[4] = {firefly.x, 2.0f, firefly.z, 1.0f};
        glLightfv(GL_LIGHT1, GL_POSITION, position);
        float p1 = pickOffset();
        float p2 = pickOffset();
        float p3 = pickOffset();
        firefly.draw(p3, p2, p1);
    }
    for (int i = 0; i < lanternCount; ++i) {
        Lantern& lantern = *lanterns[i];
        double d = distance(eye[2], eye[0], lantern.z, lantern.x);
        float position[4] = {lantern.x, 2.0f, lantern.z, 1.0f};
        glLightfv(GL_LIGHT1, GL_POSITION, position);
        lantern.draw(d);
    }
    for (int i = 0; i < flowerCount; ++i) {
        Flower& flower = *flowers[i];
        double d = distance(eye[2], eye[0], flower.z, flower.x);
        float position[4] = {static_cast<float>(flower.x), 7.0f, static_cast<float>(flower.z),
                             1.0f};
        glLightfv(GL_LIGHT1, GL_POSITION, position);
        flower.draw(d);
    }
    noiseVolume->draw(eye, view, static_cast<double>(player.heading), levelRadius);
    drawHud();
}
