#include "state.h"

#include <SDL/SDL.h>
#include <GL/glew.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools.h"

const int rad_arr[10] = {40, 45, 50, 55, 60, 65, 70, 75, 80, 85};
const double speed_arr[10] = {0.19, 0.20, 0.21, 0.22, 0.23, 0.24, 0.25, 0.26, 0.27, 0.28};
const double drag_arr[10] = {0.8, 1.0, 1.2, 1.4, 1.6, 1.8, 2.0, 2.2, 2.4, 2.6};

namespace {

// Splits a map file into whitespace-separated tokens, remembering the line of
// each, and hands them out with checks so that every complaint names the
// file and the line.
class MapReader {
  public:
    MapReader(const std::string& path, std::istream& in) : path_(path) {
        std::string line;
        int lineNumber = 0;
        while (std::getline(in, line)) {
            ++lineNumber;
            std::istringstream words(line);
            std::string word;
            while (words >> word) {
                tokens_.push_back({word, lineNumber});
            }
        }
        lastLine_ = lineNumber;
    }

    // A whole number within [low, high]; what names it in a complaint.
    int readInt(const std::string& what, long low, long high) {
        const Token& token = next(what);
        errno = 0;
        char* end = nullptr;
        long value = std::strtol(token.text.c_str(), &end, 10);
        if (end == token.text.c_str() || *end != '\0' || errno == ERANGE) {
            fail(token.line, what + " \"" + token.text + "\" is not a whole number");
        }
        if (value < low || value > high) {
            std::string range = (high == kNoLimit) ? "0 or more"
                                                   : std::to_string(low) + ".." + std::to_string(high);
            fail(token.line, what + " " + token.text + " is outside " + range);
        }
        return static_cast<int>(value);
    }

    // A finite decimal number.
    double readNumber(const std::string& what) {
        const Token& token = next(what);
        char* end = nullptr;
        double value = std::strtod(token.text.c_str(), &end);
        if (end == token.text.c_str() || *end != '\0' || !std::isfinite(value)) {
            fail(token.line, what + " \"" + token.text + "\" is not a number");
        }
        return value;
    }

    static constexpr long kNoLimit = 2147483647L;

  private:
    struct Token {
        std::string text;
        int line;
    };

    const Token& next(const std::string& what) {
        if (position_ >= tokens_.size()) {
            fail(lastLine_, "the file ends where " + what + " should be");
        }
        return tokens_[position_++];
    }

    [[noreturn]] void fail(int line, const std::string& what) const {
        throw LoadError{path_ + ":" + std::to_string(line) + ": " + what, false};
    }

    std::string path_;
    std::vector<Token> tokens_;
    size_t position_ = 0;
    int lastLine_ = 0;
};

} // namespace

LevelMap readLevelMap(const std::string& path) {
    std::ifstream in(path);
    if (!in) {
        throw LoadError{"Couldn't open: " + path, true};
    }
    MapReader reader(path, in);
    LevelMap map;

    int fireflyCount = reader.readInt("firefly count", kMinFireflies, kMaxFireflies);
    for (int i = 0; i < fireflyCount; ++i) {
        std::string name = "firefly " + std::to_string(i);
        float z = static_cast<float>(reader.readNumber(name + " z"));
        float x = static_cast<float>(reader.readNumber(name + " x"));
        map.fireflies.push_back({z, x});
    }
    int lanternCount = reader.readInt("lantern count", 0, MapReader::kNoLimit);
    for (int i = 0; i < lanternCount; ++i) {
        std::string name = "lantern " + std::to_string(i);
        float z = static_cast<float>(reader.readNumber(name + " z"));
        float x = static_cast<float>(reader.readNumber(name + " x"));
        map.lanterns.push_back({z, x});
    }
    int flowerCount = reader.readInt("flower count", 0, MapReader::kNoLimit);
    for (int i = 0; i < flowerCount; ++i) {
        std::string name = "flower " + std::to_string(i);
        double z = reader.readNumber(name + " z");
        double x = reader.readNumber(name + " x");
        map.flowers.push_back({z, x});
    }
    map.radi = reader.readInt("radius index", 0, 9);
    map.speedi = reader.readInt("speed index", 0, 9);
    map.pulli = reader.readInt("pull index", 0, 9);
    map.dragi = reader.readInt("drag index", 0, 9);
    return map;
}

std::vector<float> readRandomNumbers(const std::string& path) {
    std::vector<float> numbers;
    std::ifstream in(path);
    float value;
    while (in >> value) {
        numbers.push_back(value / 80.0f);
    }
    return numbers;
}

GameState::GameState(std::string level)
    : fireflies(nullptr), lanterns(nullptr), flowers(nullptr), fireflyCount(0), lanternCount(0),
      flowerCount(0), noiseVolume(nullptr), gameOver(false), keyUp(false), keyLeft(false),
      keyRight(false), levelRadius(0.0), levelSpeed(0.0), levelDrag(0.0) {
    noiseVolume = new NoiseVolume(3, 1);
    loadLevel(level);
    // A missing or broken table is worth a warning, not the end of the game:
    // the fireflies then act on the initial tables.
    std::string problem = learner.loadTransitions("learner.trans");
    if (!problem.empty()) {
        std::cerr << problem << std::endl;
    }
    problem = learner.loadValues("learner.val");
    if (!problem.empty()) {
        std::cerr << problem << std::endl;
    }
    loadRandomNumbers();
    gameOver = false;
}

void GameState::loadLevel(const std::string& path) {
    // The whole file is checked before anything is built, so a bad map stops
    // the game before it has loaded a single model.
    LevelMap map = readLevelMap(path);

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
}

void GameState::loadRandomNumbers() {
    randomNumbers = readRandomNumbers("random_numbers.dat");
}

void GameState::handleEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            SDL_Quit();
            std::exit(0);
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
        default:
            break;
        }
    }
}

// Placeholder until the simulation step is built: the world stands still.
void GameState::update() {}

// Placeholder until the scene draw is built: an empty frame.
void GameState::draw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SDL_GL_SwapBuffers();
}
