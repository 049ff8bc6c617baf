// Trains the computer fireflies' tables by playing many games on the real
// world with no one at the keys, and measures levels and tables with
// matches between pilots. Run it from data/ (it builds the worlds from the
// game's own files):
//
//   train [--levels FILE | --map FILE] [--games N] [--steps-per-game M]
//         [--rounds R] [--explore E] [--seed S] [--out DIR]
//         [--reward-hit A] [--reward-taken B] [--reward-sights C]
//         [--sparring P] [--chase-aimed]
//       Plays N games (default 12000) of at most M steps (default 3000) in R
//       rounds (default 8), on every level of the level list FILE (default
//       "levels.txt") in turn (in the order of their short names), or on the
//       one map FILE. The first round acts at random; every later one plays
//       on the tables solved after the round before, with the share E
//       (default 0.1) of actions random. A step earns
//       A (default 200) per hit landed, B (default -100) per hit taken and C
//       (default 1) when it ends with the prey in the firefly's sights.
//       In the share P (default 0.5) of the games half the fireflies are flown
//       by the scripted chaser (below) and only the others are counted.
//       Writes DIR/learner.trans and DIR/learner.val (DIR defaults to ".").
//       The same seed (default 1) gives the same files byte for byte.
//
//   train --evaluate [--levels FILE | --map FILE] [--level NAME]...
//         [--pairings LIST] [--tables DIR] [--baseline DIR] [--games N]
//         [--steps-per-game M] [--seed S] [--standin-random P]
//         [--standin-delay D] [--random-headings] [--chase-aimed]
//       For every level of the list (or the ones named with --level, or the
//       one map) plays N games (default 400) of at most M steps (default
//       20000) for each pairing of the comma-separated LIST (default
//       "standin,standins,chaser,baseline"):
//         standin   the player stand-in in firefly 0's place, the tables in DIR
//                   (default ".") in all the others, from the map's own start;
//         standins  a stand-in in every firefly's place: how fair the starts
//                   are (chasers alone would play one game over and over);
//         chaser    the tables against the chaser, half the fireflies each;
//         baseline  the tables against the tables in the baseline folder
//                   (default: the initial tables), half the fireflies each.
//       Half-and-half sides swap places from game to game. Prints wins with
//       their 95% interval, points, hits and game lengths, then a summary
//       table. The stand-in replaces P (default 0.05) of its actions by
//       random ones and sees the others D (default 6) steps late. With
//       --random-headings every firefly starts each game facing a random way
//       instead of the map's +X. The chaser and the stand-in hunt the
//       nearest firefly, or with --chase-aimed the one they are most nearly
//       aimed at (as the agent picks its prey). The same seed (default 2026)
//       gives the same output.
//
// It opens an SDL OpenGL window like the game. Where there is no display it
// runs itself again under xvfb-run. Progress goes to standard error.
#include <GL/glew.h>
#include <SDL/SDL.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "frame_pacing.h"
#include "game_window.h"
#include "learner.h"
#include "levels.h"
#include "particles.h"
#include "state.h"
#include "tools.h"
#include "training.h"

namespace {

struct Options {
    bool evaluate = false;
    std::string levels = "levels.txt";
    std::string map; // "" for the levels of the list
    std::vector<std::string> only; // --level names; empty for all
    std::string pairings = "standin,standins,chaser,baseline";
    int games = -1;          // -1: the default of the mode
    int stepsPerGame = -1;   // -1: the default of the mode
    int rounds = 8;
    RewardRule reward;
    double explore = 0.1;
    double sparring = 0.5;
    long seed = -1;          // -1: the default of the mode
    std::string out = ".";
    std::string tables = ".";
    std::string baseline; // "" for the initial tables
    bool randomHeadings = false;
    bool chaseNearest = true;
    double standInRandom = 0.05;
    int standInDelay = 6;
};

const char* const kUsage =
    "usage: train [--levels FILE | --map FILE] [--games N] [--steps-per-game M]\n"
    "             [--rounds R] [--explore E] [--seed S] [--out DIR]\n"
    "             [--reward-hit A] [--reward-taken B] [--reward-sights C]\n"
    "             [--sparring P] [--chase-aimed]\n"
    "       train --evaluate [--levels FILE | --map FILE] [--level NAME]...\n"
    "             [--pairings standin,standins,chaser,baseline] [--tables DIR]\n"
    "             [--baseline DIR] [--games N] [--steps-per-game M] [--seed S]\n"
    "             [--standin-random P] [--standin-delay D] [--random-headings]\n"
    "             [--chase-aimed]\n";

// Seconds of play in steps: the game takes one step a frame.
double secondsOf(double steps) {
    return steps / kFramesPerSecond;
}

// A complaint about the command line: printed with the usage, status 2.
struct UsageError {
    std::string message;
};

long parseWhole(const std::string& option, const std::string& text, long low, long high) {
    long value = 0;
    if (!parseWholeNumber(text, low, high, value)) {
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

// One pairing of the evaluator: its option name and what it pits.
struct PairingChoice {
    const char* key;
    Pairing pairing;
};

const PairingChoice kPairings[] = {
    {"standin", {Pilot::StandIn, Pilot::Tables, true}},
    {"standins", {Pilot::StandIn, Pilot::StandIn, true}},
    {"chaser", {Pilot::Tables, Pilot::Chaser, false}},
    {"baseline", {Pilot::Tables, Pilot::Baseline, false}},
};

// The pairings named in a comma-separated list, in list order.
std::vector<PairingChoice> parsePairings(const std::string& list) {
    std::vector<PairingChoice> chosen;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t comma = list.find(',', start);
        std::string key = list.substr(start, comma == std::string::npos ? std::string::npos
                                                                         : comma - start);
        bool known = false;
        for (const PairingChoice& choice : kPairings) {
            if (key == choice.key) {
                chosen.push_back(choice);
                known = true;
            }
        }
        if (!known) {
            throw UsageError{"--pairings knows standin, standins, chaser and baseline, not \"" +
                             key + "\""};
        }
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return chosen;
}

Options parseOptions(int argc, char** argv) {
    Options options;
    for (int k = 1; k < argc; ++k) {
        std::string option = argv[k];
        if (option == "--evaluate") {
            options.evaluate = true;
            continue;
        }
        if (option == "--chase-aimed") {
            options.chaseNearest = false;
            continue;
        }
        if (option == "--random-headings") {
            options.randomHeadings = true;
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
        } else if (option == "--levels") {
            options.levels = value;
        } else if (option == "--level") {
            options.only.push_back(value);
        } else if (option == "--pairings") {
            options.pairings = value;
            parsePairings(value);
        } else if (option == "--games") {
            options.games = static_cast<int>(parseWhole(option, value, 1, 10000000));
        } else if (option == "--steps-per-game") {
            options.stepsPerGame = static_cast<int>(parseWhole(option, value, 1, 100000000));
        } else if (option == "--rounds") {
            options.rounds = static_cast<int>(parseWhole(option, value, 1, 1000));
        } else if (option == "--explore") {
            options.explore = parseShare(option, value);
        } else if (option == "--sparring") {
            options.sparring = parseShare(option, value);
        } else if (option == "--seed") {
            options.seed = parseWhole(option, value, 0, 4294967295L);
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
        } else if (option == "--standin-random") {
            options.standInRandom = parseShare(option, value);
        } else if (option == "--standin-delay") {
            options.standInDelay = static_cast<int>(parseWhole(option, value, 0, 1000));
        } else {
            throw UsageError{"unknown option: " + option};
        }
    }
    if (!options.map.empty() && !options.only.empty()) {
        throw UsageError{"--level picks from the level list; it does not go with --map"};
    }
    if (options.games == -1) {
        options.games = options.evaluate ? 400 : 12000;
    }
    if (options.stepsPerGame == -1) {
        options.stepsPerGame = options.evaluate ? 20000 : 3000;
    }
    if (options.seed == -1) {
        options.seed = options.evaluate ? 2026 : 1;
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

// The game's window and GL start state, enough to build the world; false,
// with the reason on standard error, when there is no window.
bool openWindow(const char* programName) {
    std::string problem = openGameWindow(programName);
    if (!problem.empty()) {
        std::fprintf(stderr, "train: %s\n", problem.c_str());
        return false;
    }
    glViewport(0, 0, kWindowWidth, kWindowHeight);
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

// A level to play: its name for the report and its map's path.
struct LevelToPlay {
    std::string name;
    std::string mapPath;
};

// The levels the options name: the one map, or the list's levels (all, or
// those named with --level, in list order). Throws LoadError or UsageError.
std::vector<LevelToPlay> chooseLevels(const Options& options) {
    if (!options.map.empty()) {
        return {{options.map, options.map}};
    }
    std::vector<LevelEntry> list = readLevelList(options.levels);
    std::vector<LevelToPlay> chosen;
    for (const LevelEntry& level : list) {
        bool wanted = options.only.empty();
        for (const std::string& name : options.only) {
            wanted = wanted || name == level.name;
        }
        if (wanted) {
            chosen.push_back({level.name, levelMapPath(options.levels, level)});
        }
    }
    for (const std::string& name : options.only) {
        bool found = false;
        for (const LevelToPlay& level : chosen) {
            found = found || level.name == name;
        }
        if (!found) {
            throw UsageError{"no level \"" + name + "\" in " + options.levels};
        }
    }
    return chosen;
}

int train(const Options& options) {
    std::vector<LevelToPlay> levels = chooseLevels(options);
    // Played in the order of their names, not of the ladder: putting the
    // ladder in a new order leaves the trained tables as they are.
    std::sort(levels.begin(), levels.end(),
              [](const LevelToPlay& a, const LevelToPlay& b) { return a.name < b.name; });
    // The worlds draw random numbers from rand() while they are built, so
    // the seed goes in first; they are built once and kept for every round.
    std::srand(static_cast<unsigned>(options.seed));
    std::vector<std::unique_ptr<GameState>> owned;
    std::vector<GameState*> worlds;
    for (const LevelToPlay& level : levels) {
        owned.push_back(std::make_unique<GameState>(level.mapPath));
        worlds.push_back(owned.back().get());
    }
    Trainer trainer(worlds, static_cast<std::uint32_t>(options.seed), options.reward);
    trainer.sparring = options.sparring;
    trainer.sparringAim.nearest = options.chaseNearest;
    Progress progress("train", options.games);
    int gamesDone = 0;
    Learner tables;
    std::vector<long long> levelSteps(levels.size(), 0);
    for (int round = 0; round < options.rounds; ++round) {
        // The games are shared out as evenly as they go.
        int roundGames =
            options.games * (round + 1) / options.rounds - options.games * round / options.rounds;
        // Nothing is known in the first round: every action is random.
        double explore = round == 0 ? 1.0 : options.explore;
        std::string where =
            "round " + std::to_string(round + 1) + " of " + std::to_string(options.rounds) + ", ";
        for (int g = 0; g < roundGames; ++g) {
            std::size_t level = static_cast<std::size_t>(trainer.games) % worlds.size();
            levelSteps[level] += trainer.playGame(options.stepsPerGame, explore);
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
    long long decisions = 0;
    for (std::size_t k = 0; k < levels.size(); ++k) {
        std::printf("%s: %lld steps with %d fireflies\n", levels[k].name.c_str(), levelSteps[k],
                    worlds[k]->fireflyCount);
        decisions += levelSteps[k] * worlds[k]->fireflyCount;
    }
    std::printf("trained %d games, %lld steps (%lld firefly decisions) on %zu level%s in %.1f s: "
                "%.0f steps/s\n",
                trainer.games, trainer.steps, decisions, levels.size(),
                levels.size() == 1 ? "" : "s", seconds,
                seconds > 0.0 ? static_cast<double>(trainer.steps) / seconds : 0.0);
    std::printf("wrote %s/learner.trans and %s/learner.val\n", options.out.c_str(),
                options.out.c_str());
    return 0;
}

double percent(double share) {
    return 100.0 * share;
}

void printSide(const char* name, const SideRecord& side) {
    Summary points = summarize(side.points);
    Summary landed = summarize(side.hitsLanded);
    Summary taken = summarize(side.hitsTaken);
    std::printf("    %-9s points %7.2f sd %5.2f quartiles %6.2f %6.2f %6.2f | hits landed %6.2f "
                "sd %5.2f | hits taken %6.2f sd %5.2f\n",
                name, points.mean, points.deviation, points.lowerQuartile, points.median,
                points.upperQuartile, landed.mean, landed.deviation, taken.mean, taken.deviation);
    auto share = [](long long part, long long whole) {
        return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
    };
    std::printf("    %-9s %lld shots, %.1f%% of them with the prey in sights; fired in %.1f%% of "
                "%lld decisions with prey dead ahead, near and the beam ready; turned toward prey "
                "in %.1f%% of %lld with prey near at one side\n",
                name, side.shots, share(side.shotsInSights, side.shots),
                share(side.aimedFires, side.aimedDecisions), side.aimedDecisions,
                share(side.flankTurnsToward, side.flankDecisions), side.flankDecisions);
}

// "W of N = P% (95%: L% to H%)"
std::string winText(int wins, int games) {
    Interval interval = wilsonInterval(wins, games);
    char text[128];
    std::snprintf(text, sizeof text, "%d of %d = %.1f%% (95%%: %.1f%% to %.1f%%)", wins, games,
                  games > 0 ? percent(static_cast<double>(wins) / games) : 0.0,
                  percent(interval.low), percent(interval.high));
    return text;
}

// One line of the closing summary.
struct SummaryRow {
    std::string level;
    std::string pairing;
    int fireflies;
    std::string wins;
    double fairShare;
    double meanSteps;
    int atLimit;
};

int evaluate(const Options& options) {
    std::vector<LevelToPlay> levels = chooseLevels(options);
    std::vector<PairingChoice> pairings = parsePairings(options.pairings);
    Learner tables;
    std::string problem = loadTables(tables, options.tables);
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
    const std::string baselineName = options.baseline.empty() ? "initial" : "baseline";
    std::printf("tables from %s, baseline: %s; %d games per level and pairing, at most %d steps "
                "each (%.0f s at 60 steps/s), seed %ld; stand-in: %.0f%% random actions, "
                "reaction %d steps; start headings: %s\n",
                options.tables.c_str(),
                options.baseline.empty() ? "the initial tables" : options.baseline.c_str(),
                options.games, options.stepsPerGame, secondsOf(options.stepsPerGame), options.seed,
                percent(options.standInRandom), options.standInDelay,
                options.randomHeadings ? "random" : "the map's");

    std::vector<SummaryRow> summary;
    for (const LevelToPlay& level : levels) {
        // Every level and pairing starts from the seed, so that one of them
        // measured alone gives the figures it gives among all the others.
        std::srand(static_cast<unsigned>(options.seed));
        auto world = std::make_unique<GameState>(level.mapPath);
        world->learner = tables;
        const int count = world->fireflyCount;
        std::printf("\n%s (%s): %d fireflies, %d lanterns, %d flowers, radius %.0f, thrust %.2f, "
                    "drag %.1f\n",
                    level.name.c_str(), level.mapPath.c_str(), count, world->lanternCount,
                    world->flowerCount, world->levelRadius, world->levelSpeed, world->levelDrag);
        for (std::size_t k = 0; k < pairings.size(); ++k) {
            const Pairing& pairing = pairings[k].pairing;
            std::uint32_t seed = static_cast<std::uint32_t>(options.seed) + static_cast<std::uint32_t>(k);
            std::srand(seed);
            Match match(pairing, baseline, seed);
            match.standIn.randomShare = options.standInRandom;
            match.standIn.reactionSteps = options.standInDelay;
            match.randomHeadings = options.randomHeadings;
            match.chaserAim.nearest = options.chaseNearest;
            match.standIn.aim.nearest = options.chaseNearest;
            Progress progress("evaluate", options.games);
            std::string where = level.name + ", " + pairings[k].key + ", ";
            for (int g = 0; g < options.games; ++g) {
                match.play(*world, options.stepsPerGame);
                progress.report(match.record.games, match.record.steps, where);
            }
            const MatchRecord& record = match.record;
            std::string first = pilotName(pairing.first);
            std::string second = pilotName(pairing.second);
            if (pairing.second == Pilot::Baseline) {
                second = baselineName;
            }
            Summary length = summarize(record.lengths);
            int atLimit = record.games - record.finished;
            SummaryRow row{level.name, "", count, "", 0.0, length.mean, atLimit};
            if (pairing.playerAlone) {
                row.pairing = first + " in firefly 0 vs " + second;
                row.fairShare = 1.0 / count;
                std::printf("  %s in firefly 0's place, %s in the %d other%s:\n", first.c_str(),
                            second.c_str(), count - 1, count == 2 ? "" : "s");
                row.wins = winText(record.first.wins, record.games);
                std::printf("    firefly 0 won %s; fair share %.1f%%\n", row.wins.c_str(),
                            percent(row.fairShare));
                std::printf("    the others won %d, %d games stopped at the step limit\n",
                            record.second.wins, atLimit);
            } else {
                row.pairing = first + " vs " + second + ", half each";
                row.fairShare = 0.5;
                std::printf("  %s against %s, %d and %d fireflies, sides swapping each game:\n",
                            first.c_str(), second.c_str(), (count + 1) / 2, count / 2);
                row.wins = winText(record.first.wins, record.games);
                std::printf("    %s won %s\n", first.c_str(), row.wins.c_str());
                std::printf("    %s won %s; %d games stopped at the step limit\n", second.c_str(),
                            winText(record.second.wins, record.games).c_str(), atLimit);
            }
            std::printf("    game length: mean %.0f steps = %.1f s, median %.0f, quartiles %.0f "
                        "and %.0f\n",
                        length.mean, secondsOf(length.mean), length.median, length.lowerQuartile,
                        length.upperQuartile);
            std::printf("    by firefly:");
            for (int i = 0; i < count; ++i) {
                std::printf(" %d: %.1f points, %d wins%s", i,
                            static_cast<double>(record.slotPoints[static_cast<std::size_t>(i)]) /
                                record.games,
                            record.slotWins[static_cast<std::size_t>(i)], i + 1 < count ? ";" : "\n");
            }
            std::printf("    per firefly and game:\n");
            printSide(first.c_str(), record.first);
            printSide(second.c_str(), record.second);
            summary.push_back(row);
        }
    }

    std::printf("\nsummary: wins of firefly 0 or of the first side named\n");
    std::printf("| level | fireflies | pairing | wins (95%% interval) | fair share | mean length "
                "| at step limit |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (const SummaryRow& row : summary) {
        std::printf("| %s | %d | %s | %s | %.1f%% | %.0f steps = %.1f s | %d |\n",
                    row.level.c_str(), row.fireflies, row.pairing.c_str(), row.wins.c_str(),
                    percent(row.fairShare), row.meanSteps, secondsOf(row.meanSteps), row.atLimit);
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
    if (!openWindow(argv[0])) {
        return 1;
    }
    int status = 1;
    try {
        status = options.evaluate ? evaluate(options) : train(options);
    } catch (const LoadError& error) {
        std::FILE* stream = error.onStdout ? stdout : stderr;
        std::fprintf(stream, "%s\n", error.message.c_str());
    } catch (const UsageError& error) {
        std::fprintf(stderr, "train: %s\n", error.message.c_str());
        status = 2;
    } catch (const std::overflow_error& error) {
        std::fprintf(stderr, "train: %s\n", error.what());
    }
    SDL_Quit();
    return status;
}
