// Trains the computer fireflies' tables by playing many games on the real
// world with no one at the keys, and measures tables against each other.
// Run it from data/ (it builds the world from the game's own files):
//
//   train [--map FILE] [--games N] [--steps-per-game M] [--rounds R]
//         [--explore E] [--seed S] [--out DIR]
//         [--reward-hit A] [--reward-taken B] [--reward-sights C]
//       Plays N games (default 12000) of at most M steps (default 3000) in R
//       rounds (default 4). The first round acts at random; every later one
//       plays on the tables solved after the round before, with the share E
//       (default 0.1) of actions random. A step earns A (default 200) per hit
//       landed, B (default -100) per hit taken and C (default 1) when it ends
//       with the prey in the firefly's sights. Writes DIR/learner.trans and
//       DIR/learner.val (DIR defaults to "."). The same seed (default 1)
//       gives the same files byte for byte.
//
//   train --evaluate [--map FILE] [--tables DIR] [--baseline DIR]
//         [--games N] [--steps-per-game M] [--seed S]
//       Plays N games (default 200) in which half the fireflies act on the
//       tables in DIR (default ".") and half on those in the baseline folder
//       (default: the initial tables, uniform transitions and zero values),
//       the sides swapping from game to game, and prints each side's points
//       and hits per firefly with their spread.
//
// It opens an SDL OpenGL window like the game. Where there is no display it
// runs itself again under xvfb-run. Progress goes to standard error.
#include <GL/glew.h>
#include <GL/glut.h>
#include <SDL/SDL.h>

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "learner.h"
#include "particles.h"
#include "state.h"
#include "tools.h"
#include "training.h"

namespace {

struct Options {
    bool evaluate = false;
    std::string map = "final.map";
    int games = -1; // -1: the default of the mode
    int stepsPerGame = 3000;
    int rounds = 4;
    RewardRule reward;
    double explore = 0.1;
    unsigned long seed = 1;
    std::string out = ".";
    std::string tables = ".";
    std::string baseline; // "" for the initial tables
};

const char* const kUsage =
    "usage: train [--map FILE] [--games N] [--steps-per-game M] [--rounds R]\n"
    "             [--explore E] [--seed S] [--out DIR]\n"
    "             [--reward-hit A] [--reward-taken B] [--reward-sights C]\n"
    "       train --evaluate [--map FILE] [--tables DIR] [--baseline DIR]\n"
    "             [--games N] [--steps-per-game M] [--seed S]\n";

// A complaint about the command line: printed with the usage, status 2.
struct UsageError {
    std::string message;
};

long parseWhole(const std::string& option, const std::string& text, long low, long high) {
    errno = 0;
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < low || value > high) {
        throw UsageError{option + " wants a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\""};
    }
    return value;
}

double parseShare(const std::string& option, const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(value >= 0.0 && value <= 1.0)) {
        throw UsageError{option + " wants a number from 0 to 1, not \"" + text + "\""};
    }
    return value;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int k = 1; k < argc; ++k) {
        std::string option = argv[k];
        if (option == "--evaluate") {
            options.evaluate = true;
            continue;
        }
        if (option == "--help" || option == "-h") {
            throw UsageError{""};
        }
        if (k + 1 >= argc) {
            throw UsageError{"unknown option or missing value: " + option};
        }
        std::string value = argv[++k];
        if (option == "--map") {
            options.map = value;
        } else if (option == "--games") {
            options.games = static_cast<int>(parseWhole(option, value, 1, 10000000));
        } else if (option == "--steps-per-game") {
            options.stepsPerGame = static_cast<int>(parseWhole(option, value, 1, 100000000));
        } else if (option == "--rounds") {
            options.rounds = static_cast<int>(parseWhole(option, value, 1, 1000));
        } else if (option == "--explore") {
            options.explore = parseShare(option, value);
        } else if (option == "--seed") {
            options.seed = static_cast<unsigned long>(parseWhole(option, value, 0, 4294967295L));
        } else if (option == "--reward-hit") {
            options.reward.hitLanded = static_cast<int>(parseWhole(option, value, -1000, 1000));
        } else if (option == "--reward-taken") {
            options.reward.hitTaken = static_cast<int>(parseWhole(option, value, -1000, 1000));
        } else if (option == "--reward-sights") {
            options.reward.inSights = static_cast<int>(parseWhole(option, value, -1000, 1000));
        } else if (option == "--out") {
            options.out = value;
        } else if (option == "--tables") {
            options.tables = value;
        } else if (option == "--baseline") {
            options.baseline = value;
        } else {
            throw UsageError{"unknown option: " + option};
        }
    }
    if (options.games == -1) {
        options.games = options.evaluate ? 200 : 12000;
    }
    return options;
}

// Without a display the program starts itself again under a virtual one.
// Returns only when that cannot be done.
void runUnderVirtualDisplay(char** argv) {
    if (std::getenv("FIREFLIES_TRAIN_UNDER_XVFB") != nullptr) {
        std::fprintf(stderr, "train: no display, even under xvfb-run\n");
        return;
    }
    char self[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        std::fprintf(stderr, "train: cannot find my own program to run it under xvfb-run\n");
        return;
    }
    self[length] = '\0';
    setenv("FIREFLIES_TRAIN_UNDER_XVFB", "1", 1);
    setenv("SDL_VIDEODRIVER", "x11", 1);
    std::vector<char*> args;
    static char xvfb[] = "xvfb-run";
    static char automatic[] = "-a";
    static char serverFlag[] = "-s";
    static char server[] = "-screen 0 1024x768x24 -noreset";
    args.push_back(xvfb);
    args.push_back(automatic);
    args.push_back(serverFlag);
    args.push_back(server);
    args.push_back(self);
    for (char** arg = argv + 1; *arg != nullptr; ++arg) {
        args.push_back(*arg);
    }
    args.push_back(nullptr);
    execvp(xvfb, args.data());
    std::perror("train: xvfb-run");
}

// The game's window and GL start state, enough to build the world.
bool openWindow(char** argv) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
        return false;
    }
    if (SDL_SetVideoMode(800, 600, 32, SDL_HWSURFACE | SDL_OPENGL | SDL_ASYNCBLIT) == nullptr) {
        std::fprintf(stderr, "SDL_SetVideoMode: %s\n", SDL_GetError());
        return false;
    }
    GLenum glewStatus = glewInit();
    if (glewStatus != GLEW_OK) {
        std::fprintf(stderr, "Error: %s\n", glewGetErrorString(glewStatus));
    }
    int glutArgc = 1;
    glutInit(&glutArgc, argv);
    glViewport(0, 0, 800, 600);
    initParticlePool();
    return true;
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Prints a progress line on stderr at most every two seconds.
class Progress {
  public:
    Progress(const char* what, int games) : what_(what), games_(games), start_(Clock::now()) {}

    // gamesDone of the run's games and steps are done; where says which part.
    void report(int gamesDone, long long steps, const std::string& where) {
        double elapsed = secondsSince(start_);
        if (elapsed - lastReport_ < 2.0) {
            return;
        }
        lastReport_ = elapsed;
        double rate = elapsed > 0.0 ? static_cast<double>(steps) / elapsed : 0.0;
        double left = gamesDone > 0 ? elapsed * (games_ - gamesDone) / gamesDone : 0.0;
        std::fprintf(stderr, "%s: %sgame %d of %d, %lld steps, %.0f steps/s, about %.0f s left\n",
                     what_, where.c_str(), gamesDone, games_, steps, rate, left);
    }

    double elapsed() const { return secondsSince(start_); }

  private:
    const char* what_;
    int games_;
    Clock::time_point start_;
    double lastReport_ = 0.0;
};

std::string loadTables(Learner& learner, const std::string& folder) {
    std::string problem = learner.loadTransitions(folder + "/learner.trans");
    if (problem.empty()) {
        problem = learner.loadValues(folder + "/learner.val");
    }
    return problem;
}

int train(GameState& world, const Options& options) {
    Trainer trainer(world, static_cast<std::uint32_t>(options.seed), options.reward);
    Progress progress("train", options.games);
    int gamesDone = 0;
    Learner tables;
    for (int round = 0; round < options.rounds; ++round) {
        // The games are shared out as evenly as they go.
        int roundGames =
            options.games * (round + 1) / options.rounds - options.games * round / options.rounds;
        // Nothing is known in the first round: every action is random.
        double explore = round == 0 ? 1.0 : options.explore;
        std::string where =
            "round " + std::to_string(round + 1) + " of " + std::to_string(options.rounds) + ", ";
        for (int g = 0; g < roundGames; ++g) {
            trainer.playGame(options.stepsPerGame, explore);
            ++gamesDone;
            progress.report(gamesDone, trainer.steps, where);
        }
        tables = trainer.plan();
        trainer.playOn(tables);
    }
    double seconds = progress.elapsed();
    for (const std::string& problem : {tables.saveTransitions(options.out + "/learner.trans"),
                                       tables.saveValues(options.out + "/learner.val")}) {
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
    }
    std::printf("trained %d games, %lld steps with %d fireflies in %.1f s: %.0f steps/s\n",
                trainer.games, trainer.steps, world.fireflyCount, seconds,
                seconds > 0.0 ? static_cast<double>(trainer.steps) / seconds : 0.0);
    std::printf("wrote %s/learner.trans and %s/learner.val\n", options.out.c_str(),
                options.out.c_str());
    return 0;
}

void printSide(const char* name, const SideRecord& side) {
    Summary points = summarize(side.points);
    Summary landed = summarize(side.hitsLanded);
    Summary taken = summarize(side.hitsTaken);
    std::printf("%-9s points %7.2f sd %5.2f quartiles %6.2f %6.2f %6.2f | hits landed %6.2f sd "
                "%5.2f | hits taken %6.2f sd %5.2f\n",
                name, points.mean, points.deviation, points.lowerQuartile, points.median,
                points.upperQuartile, landed.mean, landed.deviation, taken.mean, taken.deviation);
    auto share = [](long long part, long long whole) {
        return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
    };
    std::printf("%-9s %lld shots, %.1f%% of them with the prey in sights; fired in %.1f%% of %lld "
                "decisions with prey dead ahead, near and the beam ready; turned toward prey in "
                "%.1f%% of %lld with prey near at one side\n",
                name, side.shots, share(side.shotsInSights, side.shots),
                share(side.aimedFires, side.aimedDecisions), side.aimedDecisions,
                share(side.flankTurnsToward, side.flankDecisions), side.flankDecisions);
}

int evaluate(GameState& world, const Options& options) {
    std::string problem = loadTables(world.learner, options.tables);
    if (!problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    Learner baseline;
    if (!options.baseline.empty()) {
        problem = loadTables(baseline, options.baseline);
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
            return 1;
        }
    }
    MatchRecord record;
    Progress progress("evaluate", options.games);
    for (int g = 0; g < options.games; ++g) {
        playMatch(world, baseline, options.stepsPerGame, record);
        progress.report(record.games, record.steps, "");
    }
    std::string baseName = options.baseline.empty() ? "initial" : "baseline";
    std::printf("%d games of at most %d steps on %s (%d ended at 20), %lld steps, %d fireflies, "
                "half on the tables in %s and half on the %s tables, sides swapping each game\n",
                record.games, options.stepsPerGame, options.map.c_str(), record.finished,
                record.steps, world.fireflyCount, options.tables.c_str(),
                options.baseline.empty() ? "initial" : options.baseline.c_str());
    std::printf("per firefly and game:\n");
    printSide("trained", record.tables);
    printSide(baseName.c_str(), record.baseline);
    double pointsTrained = summarize(record.tables.points).mean;
    double pointsBase = summarize(record.baseline.points).mean;
    double hitsTrained = summarize(record.tables.hitsLanded).mean;
    double hitsBase = summarize(record.baseline.hitsLanded).mean;
    if (pointsBase > 0.0) {
        std::printf("points ratio %.2f\n", pointsTrained / pointsBase);
    } else {
        std::printf("points ratio: none (the %s side scored %.2f)\n", baseName.c_str(), pointsBase);
    }
    if (hitsBase > 0.0) {
        std::printf("hits landed ratio %.2f\n", hitsTrained / hitsBase);
    } else {
        std::printf("hits landed ratio: none (the %s side landed no hit)\n", baseName.c_str());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const UsageError& error) {
        if (!error.message.empty()) {
            std::fprintf(stderr, "train: %s\n", error.message.c_str());
        }
        std::fprintf(error.message.empty() ? stdout : stderr, "%s", kUsage);
        return error.message.empty() ? 0 : 2;
    }
    if (std::getenv("DISPLAY") == nullptr) {
        runUnderVirtualDisplay(argv);
        return 1;
    }
    if (!openWindow(argv)) {
        return 1;
    }
    // The world draws its random numbers from rand() while it is built, so
    // the seed goes in first.
    std::srand(static_cast<unsigned>(options.seed));
    try {
        GameState world(options.map);
        int status = options.evaluate ? evaluate(world, options) : train(world, options);
        SDL_Quit();
        return status;
    } catch (const LoadError& error) {
        std::FILE* stream = error.onStdout ? stdout : stderr;
        std::fprintf(stream, "%s\n", error.message.c_str());
        SDL_Quit();
        return 1;
    } catch (const std::overflow_error& error) {
        std::fprintf(stderr, "train: %s\n", error.what());
        SDL_Quit();
        return 1;
    }
}
