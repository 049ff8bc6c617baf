#include "picture_compare.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "game_runs.h"
#include "temp_dir.h"

namespace {

// "WIDTH HEIGHT" of a picture, "" when ImageMagick cannot read it.
std::string pictureSize(const std::string& picture) {
    CommandResult result = runCommand("identify -format '%w %h' " + shellWord(picture));
    return result.status == 0 ? result.out : std::string();
}

} // namespace

long differingPixels(const std::string& a, const std::string& b, int fuzzPercent,
                     const std::string& diff, std::string* why) {
    // compare takes pictures of two sizes for a search of the smaller in
    // the larger, and then counts only where they overlap.
    std::string sizeA = pictureSize(a);
    std::string sizeB = pictureSize(b);
    if (sizeA.empty() || sizeB.empty() || sizeA != sizeB) {
        if (why != nullptr) {
            *why = a + " is " + (sizeA.empty() ? "unreadable" : sizeA) + ", " + b + " is " +
                   (sizeB.empty() ? "unreadable" : sizeB);
        }
        return -1;
    }
    CommandResult result =
        runCommand("compare -metric AE -fuzz " + std::to_string(fuzzPercent) + "% " + shellWord(a) +
                   " " + shellWord(b) + " " + shellWord(diff));
    if (why != nullptr) {
        *why = "compare exited with status " + std::to_string(result.status) + ": " + result.err;
    }
    // compare exits with 0 for alike pictures, 1 for differing ones and 2
    // when it could not compare them; only the first two print a count.
    if (result.status != 0 && result.status != 1) {
        return -1;
    }
    const char* text = result.err.c_str();
    char* end = nullptr;
    errno = 0;
    double count = std::strtod(text, &end);
    if (end == text || errno != 0 || !std::isfinite(count) || count < 0.0) {
        return -1;
    }
    while (*end == ' ' || *end == '\n') {
        ++end;
    }
    if (*end != '\0') {
        return -1;
    }
    return static_cast<long>(count);
}
