// Any bytes as a replay: the reader either gives a replay that can be
// played (a map the world can be built from, one control of four bits a
// step, a checksum for every whole second, final scores for every firefly
// when the game ended) or turns it away with one line naming the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "checks.h"
#include "replay.h"
#include "state.h"
#include "tools.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    Replay replay;
    std::string problem = parseReplay(bytes, "fuzz.ffr", replay);
    if (!problem.empty()) {
        requireOneLine(problem, "fuzz.ffr");
        return 0;
    }
    require(replay.formatVersion == kReplayFormatVersion, "only this format version is read");
    require(!replay.gameVersion.empty(), "a replay names the game that recorded it");
    require(replay.data.size() >= 1 && replay.data.size() <= kMaxFingerprints,
            "1 to 64 data files");
    std::size_t fireflies = 0;
    try {
        fireflies = parseLevelMap(replay.mapText, "fuzz.map").fireflies.size();
    } catch (const LoadError&) {
        require(false, "the map inside a read replay is a good map");
    }
    for (std::uint8_t control : replay.controls) {
        require(control < 16, "a step's controls are four bits");
    }
    std::size_t steps = replaySteps(replay);
    require(steps / kChecksumSteps == replay.seconds.size(), "one checksum per whole second");
    if (replay.end == ReplayEnd::CutShort) {
        require(replay.finalScores.empty(), "a record cut short has no final scores");
        require(steps % kChecksumSteps == 0, "a record cut short keeps whole seconds");
    } else {
        require(replay.finalScores.size() == fireflies, "a final score for every firefly");
    }
    // What a recorder writes for the same game reads back the same.
    std::string again = encodeReplayHeader(replay);
    for (std::size_t s = 0; s < replay.seconds.size(); ++s) {
        again += encodeSecond(replay.controls.data() + s * kChecksumSteps, replay.seconds[s]);
    }
    if (replay.end != ReplayEnd::CutShort) {
        std::vector<std::uint8_t> last(replay.controls.begin() +
                                           static_cast<long>(replay.seconds.size()) *
                                               kChecksumSteps,
                                       replay.controls.end());
        again += encodeEnd(replay.end, last, replay.finalScores);
        require(again == bytes, "a whole replay is written back byte for byte");
    } else {
        require(again.size() <= bytes.size() && bytes.compare(0, again.size(), again) == 0,
                "a record cut short is what was read up to its last whole second");
    }
    return 0;
}
