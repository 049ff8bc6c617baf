// The world: GameState owns every firefly, lantern and flower, the backdrop,
// the camera, the agent, the noise volume and the draw offsets, together with
// the level parameters and the player's held keys. The entry point builds one
// from a map file and calls handleEvents, update and draw once per frame.
//
// The rules and the scene drawing are in state.cpp, the overlay in hud.cpp,
// the map and random-number readers in level_map.h.
#ifndef FIREFLIES_STATE_H
#define FIREFLIES_STATE_H

#include <string>
#include <vector>

#include "bounds_box.h"
#include "camera.h"
#include "firefly.h"
#include "flower.h"
#include "gamepad.h"
#include "lantern.h"
#include "learner.h"
#include "level_map.h"
#include "noise_volume.h"
#include "step_record.h"
#include "tools.h"

// The score that ends a game: whoever reaches it first leads, and the player
// wins on reaching it.
constexpr int kWinningScore = 20;

class GameState {
  public:
    // Builds the world from the map file at level (see readLevelMap), then
    // loads "learner.trans", "learner.val" and "random_numbers.dat" from the
    // working directory. Needs a current GL context. Throws LoadError.
    explicit GameState(std::string level);
    // The same from a map already read (a replay carries its map's text).
    explicit GameState(const LevelMap& map);
    // The world owns its fireflies, lanterns, flowers and noise volume
    // through raw pointers: a copy would share them.
    GameState(const GameState&) = delete;
    GameState& operator=(const GameState&) = delete;

    // Drains SDL's event queue into the held-key flags, the pad's flags and
    // firefly 0's fire request (Space or the pad's fire button), and counts
    // presses of M into muteRequests; ends the process with status 0 on
    // Escape or window close.
    void handleEvents();
    // Puts every firefly back where the map started it (heading 90, at rest,
    // score 0, no cooldown, timer, flags or beam), clears the hit tallies, the
    // step record, the keys and the pad's directions, and starts a new game
    // without rebuilding anything. Used by the trainer between games.
    void restart();

    // One simulation step: decide, then advance.
    void update();
    // The first half of a step: the agent encodes every firefly's situation
    // and chooses learner.actions. Nothing moves. Does nothing after the end.
    void decide();
    // The rest of the step: the player's keys and pad (or, with
    // playerIsAgent, its chosen action) and every other firefly's action, the
    // camera, lantern pull, beams and scoring, collisions, and the end of the
    // game, all reported in events (emptied first) and the hits added to
    // hitsLanded and hitsTaken. After the end only the camera follows the
    // player, and events stays empty.
    void advance();
    // Draws one frame and swaps the buffers.
    void draw();
    // Everything draw does but the buffer swap, so that a test can read the
    // frame back.
    void drawScene();
    // The 2D overlay: score line, radar and, once the game is over, the end
    // text. Reads the world, changes nothing in it.
    void drawHud();
    // The highest score of all fireflies, the player's included; 0 for none.
    int leaderScore() const;
    // "Your Score: %d Leader Score: %d" for the overlay.
    std::string scoreLine() const;
    // "" while the game runs; then "YOU WIN!" when firefly 0 has 20 or more,
    // otherwise "YOU LOSE!".
    std::string endText() const;
    // True once the game is over with firefly 0 at 20 or more: the player won.
    bool playerWon() const;

    // The steps of update, public so that tests can drive them one by one.
    // Every lantern pulls every firefly whose lanternTimer is 0 with
    // 30 / distance^2 toward itself.
    void applyLanternPull();
    // Beams launched in this step hit the nearest firefly in line (+2 to the
    // shooter, -1 to the target) unless a lantern or flower is nearer; each
    // beam's length becomes the distance to what it met (200 if nothing) +
    // 0.5. Every shot, and every hit, goes into events.
    void traceBeams();
    // Firefly contacts, then the arena edge, flowers and lanterns; every
    // bounce goes into events.
    void resolveCollisions();
    // Firefly i against every firefly of higher index closer than 2; every
    // contact goes into events.
    void collideWithOthers(int i);
    // Exchanges the velocity parts along the line of centres and pushes the
    // faster firefly (the second on equal speeds) out to 2.001 apart.
    // Coincident fireflies have no line of centres and are left alone.
    void collidePair(Firefly& f1, Firefly& f2);

    Firefly** fireflies;   // fireflyCount owned fireflies, map order; 0 is the player's
    Lantern** lanterns;    // lanternCount owned lanterns, map order
    Flower** flowers;      // flowerCount owned flowers, map order
    int fireflyCount;      // 2..10
    int lanternCount;      // 0 or more
    int flowerCount;       // 0 or more
    BoundsBox bounds;      // the backdrop
    Camera camera;         // follows firefly 0
    Learner learner;       // steers fireflies 1 and up
    NoiseVolume* noiseVolume; // owned; the mist and the lanterns' slice textures
    bool gameOver;         // set once the leader score reaches 20, never cleared
    bool keyUp;            // the player holds the up arrow
    bool keyLeft;          // the player holds the left arrow
    bool keyRight;         // the player holds the right arrow
    PadState pad;          // the gamepad's flags, which steer firefly 0 beside the keys
    int muteRequests = 0;  // presses of M since the entry point last looked (it clears them)
    double levelRadius;    // arena radius, world units
    double levelSpeed;     // thrust of every firefly
    double levelDrag;      // drag of every firefly
    std::vector<float> randomNumbers; // draw offsets, "random_numbers.dat" / 80
    // Problems with the agent's tables met while building (a missing or
    // broken "learner.trans" or "learner.val"): the game goes on with the
    // initial tables, and the entry point prints these lines.
    std::vector<LoadError> warnings;
    bool playerIsAgent = false; // firefly 0 acts on the agent's choice, not the keys (training)
    StepRecord events;           // what the latest step did: shots, hits, bounces, the end
    std::vector<int> hitsLanded; // [fireflyCount]: beams of each firefly that hit another this
                                 // game, summed from events after every step
    std::vector<int> hitsTaken;  // [fireflyCount]: hits each firefly took this game, likewise

  private:
    LevelMap startMap; // the map the world was built from, for restart
    StepRecord stepBefore; // what the step before did, to tell a new contact from a lasting one

    // Records a bounce of firefly off (obstacle, other) in events.
    void noteContact(int firefly, Obstacle obstacle, int other);

    // Builds the objects of the map file at path and sets the level values.
    void loadLevel(const std::string& path);
    // The same for a map already read.
    void buildLevel(const LevelMap& map);
    // Loads the agent's tables and the draw offsets, after the level.
    void loadTables();
    // Fills randomNumbers from "random_numbers.dat".
    void loadRandomNumbers();
    // One draw offset: a random entry of randomNumbers, 0 when it is empty.
    float pickOffset() const;
};

// The radar's disc of radius r about (cx, cy), translucent green, in overlay
// units; leaves blending on and the colour white.
void drawRadarDisc(float cx, float cy, float r);
// One radar marker at (a, b) of the radar frame: a triangle of half-size 1.4
// whose red apex points along heading (degrees).
void drawRadarMarker(float a, float b, float heading);

// The shared bounce law: the velocity is mirrored about the reference
// direction (degrees, from angleBetween on (z, x) points) keeping its speed.
// A firefly exactly on the centre of what it hits has no reference direction
// and keeps its velocity.
// Off the arena edge: the reference is the outward direction.
void bounceOffBounds(Firefly& firefly);
// Off a flower closer than 6: the reference points from firefly to flower.
void bounceOffFlower(Firefly& firefly, const Flower& flower);
// Off a lantern closer than 5; no lantern pulls the firefly for 100 steps.
void bounceOffLantern(Firefly& firefly, const Lantern& lantern);

#endif
