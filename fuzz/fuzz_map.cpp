// Any bytes as a map file: the reader either gives a map the world can be
// built from (2 to 10 fireflies, at most 50 lanterns and 50 flowers, finite
// positions, indexes 0..9) or turns it away with one line naming the map.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "checks.h"
#include "state.h"
#include "tools.h"

namespace {

template <typename Pairs> void requireFinite(const Pairs& pairs, const char* what) {
    for (const auto& pair : pairs) {
        require(std::isfinite(pair.first) && std::isfinite(pair.second), what);
    }
}

bool isIndex(int value) {
    return value >= 0 && value <= 9;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    try {
        LevelMap map = parseLevelMap(text, "fuzz.map");
        require(map.fireflies.size() >= static_cast<std::size_t>(kMinFireflies) &&
                    map.fireflies.size() <= static_cast<std::size_t>(kMaxFireflies),
                "a map holds 2 to 10 fireflies");
        require(map.lanterns.size() <= static_cast<std::size_t>(kMaxLanterns) &&
                    map.flowers.size() <= static_cast<std::size_t>(kMaxFlowers),
                "no more lanterns and flowers than an arena holds");
        requireFinite(map.fireflies, "firefly positions are finite");
        requireFinite(map.lanterns, "lantern positions are finite");
        requireFinite(map.flowers, "flower positions are finite");
        require(isIndex(map.radi) && isIndex(map.speedi) && isIndex(map.pulli) &&
                    isIndex(map.dragi),
                "the level indexes are 0..9");
        // What the world does with them.
        double level = rad_arr[map.radi] + speed_arr[map.speedi] + drag_arr[map.dragi];
        require(level > 0.0, "the level tables are positive");
    } catch (const LoadError& error) {
        require(!error.onStdout, "only a map that cannot be opened goes to standard output");
        requireOneLine(error.message, "fuzz.map:");
    }
    return 0;
}
