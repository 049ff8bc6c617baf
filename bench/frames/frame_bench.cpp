// frame_bench: the frame figures a player's machine can be checked against.
// Runs the real game binary on every level of levels.txt, and a bare window
// (the same SDL OpenGL window, cleared and swapped, nothing drawn) beside it,
// each with frame_probe preloaded, and prints one table row a level:
//   - busy time of a frame (events, step, drawing and swap; the pacing wait
//     left out), median and 90th percentile over the frames after the first
//     kWarmUpFrames, the median of the runs with the lowest and highest run
//     beside it;
//   - the first frame: from just before the program is started to the end
//     of its first buffer swap, over the full runs and the start runs
//     (--starts N a repeat: runs that end at the first frame, cheap, so
//     that this figure, which scatters most, has more runs behind it);
//   - the processor time of the whole process (all its threads) in a busy
//     frame, median, and up to the end of the first swap: what a loaded
//     machine's other work does not lengthen;
//   - resident memory at the last frame;
//   - vertices sent per frame (glVertex calls, counted by a second run with
//     the counting probe, so the timed runs carry no counting);
//   - texture objects made, texture levels uploaded and their bytes as
//     uploaded (texels times components).
// The programs run with the caller's environment (a display, SDL's drivers);
// the probe's own variables are added. Run under a display: bench/frame-bench
// starts one.
//
// It measures the SDL 1.2 the system gives (--sdl system), sdl12-compat
// from a folder of its own (--sdl compat --compat-dir DIR: the same binaries
// with DIR first in LD_LIBRARY_PATH), or both, interleaved run by run
// (--sdl both), and says which SDL each set of figures came from, as the
// programs themselves reported it.
//
// The game seeds its dice from the clock's seconds; the probe answers the
// game's time() with a second of frame_bench's choosing, the same for every
// run of one repeat (the game's on each SDL, and its counting run), another
// for each repeat: --first-game N gives repeat r the game N + r. So the
// two SDLs play the same games, and their figures pair up run by run.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "levels.h"
#include "tools.h"

namespace {

// Frames of a run left out of the busy figures: the renderer builds its
// drawing code for each new kind of state as it first meets it.
constexpr std::size_t kWarmUpFrames = 30;

std::int64_t nowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The first patch number of sdl12-compat's SDL 1.2 versions.
constexpr int kFirstCompatPatch = 50;

// The SDLs a run can be given.
enum class Sdl { System, Compat };

struct Options {
    std::string game;
    std::string bare;
    std::string probe;
    std::string counter;
    std::string data = ".";
    std::string scratch = "/tmp";
    std::vector<std::string> levels; // names; empty: every level of the list
    std::vector<Sdl> sdls = {Sdl::System};
    std::string compatDir; // the folder holding sdl12-compat's libSDL-1.2.so.0
    long frames = 300;
    long countFrames = 120;
    long repeats = 3;
    long starts = 5;    // runs to the first frame only, per repeat, level and SDL
    long firstGame = 1; // the clock's second repeat 0 plays; repeat r plays firstGame + r
};

// What one run's probe reported.
struct Report {
    double firstMs = -1.0;
    double firstCpuMs = -1.0;
    double rssMb = -1.0;
    double peakMb = -1.0;
    long textureObjects = 0;
    long textureLevels = 0;
    double textureMb = 0.0;
    std::vector<double> busy;
    std::vector<double> busyCpu;
    std::vector<long> vertices;
    std::string sdl; // which SDL the program ran on, in words
};

// "classic SDL 1.2.15 (FILE)" or "sdl12-compat 1.2.60 over SDL 2.26.5
// (FILE, FILE; its variables)" from the probe's lines.
std::string describeSdl(const std::map<std::string, std::string>& lines,
                        const std::vector<std::string>& settings) {
    auto line = [&lines](const char* key) {
        auto found = lines.find(key);
        return found != lines.end() ? found->second : std::string("?");
    };
    if (lines.count("sdl_version") == 0) {
        return "unknown SDL";
    }
    // sdl12-compat numbers its releases from 1.2.50 on; classic SDL 1.2
    // ended at 1.2.15. (SDL 2 may be loaded beside classic SDL too, by a
    // library of SDL_mixer's, so its presence says nothing.)
    int major = 0;
    int minor = 0;
    int patch = 0;
    std::sscanf(line("sdl_version").c_str(), "%d.%d.%d", &major, &minor, &patch);
    if (patch < kFirstCompatPatch) {
        return "classic SDL " + line("sdl_version") + " (" + line("sdl_library") + ")";
    }
    std::string text = "sdl12-compat " + line("sdl_version") + " over SDL " + line("sdl2_version") +
                       " (" + line("sdl_library") + ", " + line("sdl2_library");
    for (const std::string& setting : settings) {
        text += ", " + setting;
    }
    return text + ")";
}

double quantile(std::vector<double> values, double q) {
    if (values.empty()) {
        return NAN;
    }
    std::sort(values.begin(), values.end());
    std::size_t rank = static_cast<std::size_t>(std::ceil(q * values.size()));
    return values[rank == 0 ? 0 : rank - 1];
}

double median(const std::vector<double>& values) {
    return quantile(values, 0.5);
}

// Runs program from folder with args and the probe preloaded, its clock's
// seconds fixed at game; true when it ended by itself with status 0 and
// left a report.
bool runProbed(const Options& options, Sdl sdl, const std::string& program,
               const std::vector<std::string>& args, const std::string& probe, long frames,
               long game, const std::string& folder, Report& report) {
    std::string out = options.scratch + "/frame-bench-" + std::to_string(getpid()) + ".report";
    std::remove(out.c_str());
    pid_t child = fork();
    if (child < 0) {
        std::perror("frame_bench: fork");
        return false;
    }
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) {
            std::perror("frame_bench: chdir");
            _exit(127);
        }
        std::string preload = probe;
        if (const char* already = std::getenv("LD_PRELOAD")) {
            preload += std::string(":") + already;
        }
        setenv("LD_PRELOAD", preload.c_str(), 1);
        if (sdl == Sdl::Compat) {
            std::string path = options.compatDir;
            if (const char* already = std::getenv("LD_LIBRARY_PATH")) {
                path += std::string(":") + already;
            }
            setenv("LD_LIBRARY_PATH", path.c_str(), 1);
        }
        setenv("FRAME_PROBE_OUT", out.c_str(), 1);
        setenv("FRAME_PROBE_FRAMES", std::to_string(frames).c_str(), 1);
        setenv("FRAME_PROBE_CLOCK", std::to_string(game).c_str(), 1);
        setenv("FRAME_PROBE_T0_NS", std::to_string(nowNs()).c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        std::perror("frame_bench: exec");
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "frame_bench: %s did not end by itself with status 0\n",
                     program.c_str());
        return false;
    }
    std::ifstream in(out);
    if (!in) {
        std::fprintf(stderr, "frame_bench: %s left no report\n", program.c_str());
        return false;
    }
    report = Report{};
    std::map<std::string, std::string> sdlLines;
    std::vector<std::string> sdlSettings;
    std::string line;
    while (std::getline(in, line)) {
        std::size_t space = line.find(' ');
        std::string key = line.substr(0, space);
        std::string text = space == std::string::npos ? "" : line.substr(space + 1);
        double value = std::atof(text.c_str());
        if (key.rfind("sdl", 0) == 0) {
            if (key == "sdl12compat_setting") {
                sdlSettings.push_back(text);
            } else {
                sdlLines[key] = text;
            }
        } else if (key == "first_frame_ms") {
            report.firstMs = value;
        } else if (key == "first_frame_cpu_ms") {
            report.firstCpuMs = value;
        } else if (key == "busy_cpu_ms") {
            report.busyCpu.push_back(value);
        } else if (key == "rss_kb") {
            report.rssMb = value / 1024.0;
        } else if (key == "peak_rss_kb") {
            report.peakMb = value / 1024.0;
        } else if (key == "texture_objects") {
            report.textureObjects = static_cast<long>(value);
        } else if (key == "texture_levels") {
            report.textureLevels = static_cast<long>(value);
        } else if (key == "texture_bytes") {
            report.textureMb = value / (1024.0 * 1024.0);
        } else if (key == "busy_ms") {
            report.busy.push_back(value);
        } else if (key == "vertices") {
            report.vertices.push_back(static_cast<long>(value));
        }
    }
    std::remove(out.c_str());
    report.sdl = describeSdl(sdlLines, sdlSettings);
    if (frames == 1) {
        return true; // a start run: the first frame is all it measures
    }
    if (report.busy.size() <= kWarmUpFrames) {
        std::fprintf(stderr, "frame_bench: %s reported too few frames\n", program.c_str());
        return false;
    }
    report.busy.erase(report.busy.begin(), report.busy.begin() + kWarmUpFrames);
    report.busyCpu.erase(report.busyCpu.begin(),
                         report.busyCpu.begin() +
                             static_cast<long>(std::min(kWarmUpFrames, report.busyCpu.size())));
    return true;
}

// Figures of one program on one level over the repeats.
struct Series {
    std::vector<double> medians;
    std::vector<double> p90s;
    std::vector<double> firsts;
    std::vector<double> cpuMedians;
    std::vector<double> firstCpus;
    std::vector<double> rss;
    std::vector<double> vertices; // median vertices per frame of each counting run
    std::vector<double> verticesMax;
    std::vector<double> textureObjects;
    std::vector<double> textureLevels;
    std::vector<double> textureMb;

    // A run to the first frame only.
    void addStart(const Report& r) {
        firsts.push_back(r.firstMs);
        firstCpus.push_back(r.firstCpuMs);
    }
    void add(const Report& r) {
        medians.push_back(median(r.busy));
        p90s.push_back(quantile(r.busy, 0.9));
        firsts.push_back(r.firstMs);
        cpuMedians.push_back(median(r.busyCpu));
        firstCpus.push_back(r.firstCpuMs);
        rss.push_back(r.rssMb);
        textureObjects.push_back(static_cast<double>(r.textureObjects));
        textureLevels.push_back(static_cast<double>(r.textureLevels));
        textureMb.push_back(r.textureMb);
    }
    void addCount(const Report& r) {
        std::vector<double> v(r.vertices.begin(), r.vertices.end());
        // The first frame is drawn before anything has moved; it counts too.
        vertices.push_back(median(v));
        verticesMax.push_back(quantile(v, 1.0));
    }
};

// "m (lo-hi)" of a list of per-run figures.
std::string spread(const std::vector<double>& values, const char* format) {
    char m[32];
    char lo[32];
    char hi[32];
    std::snprintf(m, sizeof m, format, median(values));
    if (values.size() < 2) {
        return m;
    }
    std::snprintf(lo, sizeof lo, format, quantile(values, 0.0));
    std::snprintf(hi, sizeof hi, format, quantile(values, 1.0));
    return std::string(m) + " (" + lo + "-" + hi + ")";
}

int usage() {
    std::fprintf(
        stderr, "usage: frame_bench --game BIN --bare BIN --probe SO --counter SO --data DIR\n"
                "                   [--frames N] [--repeats N] [--levels a,b,...] [--scratch DIR]\n"
                "                   [--sdl system|compat|both] [--compat-dir DIR] [--first-game N]\n"
                "                   [--starts N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc) {
            return usage();
        }
        std::string value = argv[++i];
        if (arg == "--game") {
            options.game = value;
        } else if (arg == "--bare") {
            options.bare = value;
        } else if (arg == "--probe") {
            options.probe = value;
        } else if (arg == "--counter") {
            options.counter = value;
        } else if (arg == "--data") {
            options.data = value;
        } else if (arg == "--scratch") {
            options.scratch = value;
        } else if (arg == "--frames") {
            if (!parseWholeNumber(value, static_cast<long>(kWarmUpFrames) + 1, 1000000, options.frames)) {
                return usage();
            }
        } else if (arg == "--repeats") {
            if (!parseWholeNumber(value, 1, 1000, options.repeats)) {
                return usage();
            }
        } else if (arg == "--starts") {
            if (!parseWholeNumber(value, 0, 1000, options.starts)) {
                return usage();
            }
        } else if (arg == "--first-game") {
            if (!parseWholeNumber(value, 1, 1000000000, options.firstGame)) {
                return usage();
            }
        } else if (arg == "--sdl") {
            if (value == "system") {
                options.sdls = {Sdl::System};
            } else if (value == "compat") {
                options.sdls = {Sdl::Compat};
            } else if (value == "both") {
                options.sdls = {Sdl::System, Sdl::Compat};
            } else {
                return usage();
            }
        } else if (arg == "--compat-dir") {
            options.compatDir = value;
        } else if (arg == "--levels") {
            std::stringstream names(value);
            std::string name;
            while (std::getline(names, name, ',')) {
                options.levels.push_back(name);
            }
        } else {
            return usage();
        }
    }
    if (options.game.empty() || options.bare.empty() || options.probe.empty() ||
        options.counter.empty()) {
        return usage();
    }
    bool compat =
        std::find(options.sdls.begin(), options.sdls.end(), Sdl::Compat) != options.sdls.end();
    if (compat && options.compatDir.empty()) {
        std::fprintf(stderr, "frame_bench: --sdl compat and both need --compat-dir\n");
        return 2;
    }
    if (compat) {
        std::string library = options.compatDir + "/libSDL-1.2.so.0";
        if (access(library.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "frame_bench: no %s: is sdl12-compat installed there?\n",
                         library.c_str());
            return 1;
        }
    }

    // The programs run from the data folder: every path is made absolute.
    for (std::string* path : {&options.game, &options.bare, &options.probe, &options.counter,
                              &options.data, &options.scratch}) {
        char* absolute = realpath(path->c_str(), nullptr);
        if (absolute == nullptr) {
            std::fprintf(stderr, "frame_bench: no %s\n", path->c_str());
            return 1;
        }
        *path = absolute;
        std::free(absolute);
    }

    std::vector<LevelEntry> levels;
    try {
        for (const LevelEntry& level : readLevelList(options.data + "/levels.txt")) {
            if (options.levels.empty() || std::find(options.levels.begin(), options.levels.end(),
                                                    level.name) != options.levels.end()) {
                levels.push_back(level);
            }
        }
    } catch (const LoadError& error) {
        std::fprintf(stderr, "frame_bench: %s\n", error.message.c_str());
        return 1;
    }
    if (levels.empty()) {
        std::fprintf(stderr, "frame_bench: no such level\n");
        return 2;
    }

    // Figures by SDL, then by level. The SDLs take turns within each level's
    // run, so that a machine's drift falls on both alike.
    std::map<Sdl, std::map<std::string, Series>> game;
    std::map<Sdl, std::map<std::string, Series>> bare;
    std::map<Sdl, std::vector<std::string>> sdlSeen; // what the programs reported, once each
    auto saw = [&sdlSeen](Sdl sdl, const Report& report) {
        std::vector<std::string>& seen = sdlSeen[sdl];
        if (std::find(seen.begin(), seen.end(), report.sdl) == seen.end()) {
            seen.push_back(report.sdl);
        }
    };
    for (long r = 0; r < options.repeats; ++r) {
        long gameSecond = options.firstGame + r;
        for (const LevelEntry& level : levels) {
            for (Sdl sdl : options.sdls) {
                std::fprintf(stderr, "frame_bench: run %ld of %ld, %s%s, game %ld\n", r + 1,
                             options.repeats, level.name.c_str(),
                             sdl == Sdl::Compat ? ", sdl12-compat" : "", gameSecond);
                Report report;
                if (!runProbed(options, sdl, options.bare, {}, options.probe, options.frames,
                               gameSecond, options.data, report)) {
                    return 1;
                }
                bare[sdl][level.name].add(report);
                saw(sdl, report);
                if (!runProbed(options, sdl, options.game, {level.map}, options.probe,
                               options.frames, gameSecond, options.data, report)) {
                    return 1;
                }
                game[sdl][level.name].add(report);
                saw(sdl, report);
                if (!runProbed(options, sdl, options.game, {level.map}, options.counter,
                               options.countFrames, gameSecond, options.data, report)) {
                    return 1;
                }
                game[sdl][level.name].addCount(report);
            }
            for (long s = 0; s < options.starts; ++s) {
                for (Sdl sdl : options.sdls) {
                    Report report;
                    if (!runProbed(options, sdl, options.bare, {}, options.probe, 1, gameSecond,
                                   options.data, report)) {
                        return 1;
                    }
                    bare[sdl][level.name].addStart(report);
                    if (!runProbed(options, sdl, options.game, {level.map}, options.probe, 1,
                                   gameSecond, options.data, report)) {
                        return 1;
                    }
                    game[sdl][level.name].addStart(report);
                }
            }
        }
    }

    for (Sdl sdl : options.sdls) {
        const char* label = sdl == Sdl::Compat ? "sdl12-compat run" : "system SDL";
        for (const std::string& seen : sdlSeen[sdl]) {
            std::printf("%s: %s\n", label, seen.c_str());
        }
    }
    std::printf("%ld runs a level of %ld frames (the first %zu left out of the busy times) "
                "and %ld runs to the first frame only, games %ld to %ld%s; figures are medians "
                "of the runs, (lowest-highest) beside them\n\n",
                options.repeats, options.frames, kWarmUpFrames, options.repeats * options.starts,
                options.firstGame,
                options.firstGame + options.repeats - 1,
                options.sdls.size() > 1 ? ", the SDLs in turn on the same games" : "");
    std::printf("| level | busy median, ms | busy p90, ms | first frame, ms | "
                "processor: busy median / first frame, ms | resident, MB | "
                "vertices/frame | textures: objects / levels / MB | "
                "bare window: busy median / p90, first frame, resident; processor |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const LevelEntry& level : levels) {
        for (Sdl sdl : options.sdls) {
            const Series& g = game[sdl][level.name];
            const Series& b = bare[sdl][level.name];
            std::string row = level.name;
            if (options.sdls.size() > 1) {
                row += sdl == Sdl::Compat ? ", sdl12-compat" : ", system SDL";
            }
            char textures[96];
            std::snprintf(textures, sizeof textures, "%.0f / %.0f / %.1f", median(g.textureObjects),
                          median(g.textureLevels), median(g.textureMb));
            char bareFigures[160];
            std::snprintf(bareFigures, sizeof bareFigures,
                          "%.2f / %.2f ms, %.0f ms, %.0f MB; %.2f / %.0f ms", median(b.medians),
                          median(b.p90s), median(b.firsts), median(b.rss), median(b.cpuMedians),
                          median(b.firstCpus));
            std::string processor =
                spread(g.cpuMedians, "%.2f") + " / " + spread(g.firstCpus, "%.0f");
            std::printf("| %s | %s | %s | %s | %s | %s | %s; most %.0f | %s | %s |\n", row.c_str(),
                        spread(g.medians, "%.2f").c_str(), spread(g.p90s, "%.2f").c_str(),
                        spread(g.firsts, "%.0f").c_str(), processor.c_str(),
                        spread(g.rss, "%.0f").c_str(), spread(g.vertices, "%.0f").c_str(),
                        quantile(g.verticesMax, 1.0), textures, bareFigures);
        }
    }
    if (options.sdls.size() > 1) {
        // Both SDLs played the same game in each repeat: the differences of
        // those pairs say more than the difference of two medians.
        std::printf("\nsdl12-compat minus system SDL, run by run on the same game: median "
                    "(lowest-highest) of the differences\n\n");
        std::printf("| level | busy median, ms | first frame, ms | bare window: busy median, ms "
                    "| bare window: first frame, ms |\n");
        std::printf("|---|---|---|---|---|\n");
        auto differences = [](const std::vector<double>& system, const std::vector<double>& compat) {
            std::vector<double> d;
            for (std::size_t i = 0; i < system.size() && i < compat.size(); ++i) {
                d.push_back(compat[i] - system[i]);
            }
            return d;
        };
        for (const LevelEntry& level : levels) {
            const Series& gs = game[Sdl::System][level.name];
            const Series& gc = game[Sdl::Compat][level.name];
            const Series& bs = bare[Sdl::System][level.name];
            const Series& bc = bare[Sdl::Compat][level.name];
            std::printf("| %s | %s | %s | %s | %s |\n", level.name.c_str(),
                        spread(differences(gs.medians, gc.medians), "%+.2f").c_str(),
                        spread(differences(gs.firsts, gc.firsts), "%+.0f").c_str(),
                        spread(differences(bs.medians, bc.medians), "%+.2f").c_str(),
                        spread(differences(bs.firsts, bc.firsts), "%+.0f").c_str());
        }
    }
    return 0;
}
