#include "level_map.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tools.h"

const int rad_arr[kLevelIndexCount] = {40, 45, 50, 55, 60, 65, 70, 75, 80, 85};
const double speed_arr[kLevelIndexCount] = {0.19, 0.20, 0.21, 0.22, 0.23,
                                            0.24, 0.25, 0.26, 0.27, 0.28};
const double drag_arr[kLevelIndexCount] = {0.8, 1.0, 1.2, 1.4, 1.6, 1.8, 2.0, 2.2, 2.4, 2.6};

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
        const char* text = token.text.c_str();
        long value = std::strtol(text, &end, 10);
        // The whole token, even past a zero byte in it, must be the number.
        if (end == text || end != text + token.text.size() || errno == ERANGE) {
            fail(token.line, what + " \"" + printable(token.text) + "\" is not a whole number");
        }
        if (value < low || value > high) {
            std::string range = (high == kNoLimit)
                                    ? "0 or more"
                                    : std::to_string(low) + ".." + std::to_string(high);
            fail(token.line, what + " " + printable(token.text) + " is outside " + range);
        }
        return static_cast<int>(value);
    }

    // A count of 0 or more objects of which the game can hold at most most.
    int readCount(const std::string& what, int most) {
        int count = readInt(what, 0, kNoLimit);
        if (count > most) {
            fail(tokens_[position_ - 1].line, what + " " + std::to_string(count) +
                                                  " is more than the " + std::to_string(most) +
                                                  " an arena can hold");
        }
        return count;
    }

    // A finite decimal number within [-limit, limit].
    double readNumber(const std::string& what, double limit) {
        const Token& token = next(what);
        char* end = nullptr;
        const char* text = token.text.c_str();
        double value = std::strtod(text, &end);
        if (end == text || end != text + token.text.size() || !std::isfinite(value)) {
            fail(token.line, what + " \"" + printable(token.text) + "\" is not a number");
        }
        if (value < -limit || value > limit) {
            fail(token.line, what + " " + printable(token.text) + " is outside " +
                                 limitText(-limit) + ".." + limitText(limit));
        }
        return value;
    }

    // The line of the number read last.
    int lastReadLine() const { return position_ > 0 ? tokens_[position_ - 1].line : 0; }

    static constexpr long kNoLimit = 2147483647L;
    // Farthest a map may place anything from the centre, world units. The
    // largest arena has radius 85; beyond this a number is a slip of the pen,
    // and its square would no longer fit a float.
    static constexpr double kPositionLimit = 1000000.0;

  private:
    static std::string limitText(double limit) {
        char text[32];
        std::snprintf(text, sizeof text, "%.0f", limit);
        return text;
    }

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
        throw LoadError{path_ + ":" + std::to_string(line) + ": " + what, false, path_};
    }

    std::string path_;
    std::vector<Token> tokens_;
    size_t position_ = 0;
    int lastLine_ = 0;
};

// Refuses a map whose firefly starts farther from the centre than its arena's
// edge (the radius of radi): such a firefly would start out in the fog with
// no way back. startLines gives the line of each start, for the complaint.
void checkStartsInArena(const LevelMap& map, const std::vector<int>& startLines,
                        const std::string& path) {
    const double radius = rad_arr[map.radi];
    for (std::size_t i = 0; i < map.fireflies.size(); ++i) {
        // As far as the edge itself is inside: only beyond it does a firefly bounce.
        double out = distance(map.fireflies[i].first, map.fireflies[i].second, 0.0, 0.0);
        if (out > radius) {
            char far[32];
            std::snprintf(far, sizeof far, "%.1f", out);
            throw LoadError{path + ":" + std::to_string(startLines[i]) + ": firefly " +
                                std::to_string(i) + " starts " + far +
                                " from the centre, outside the arena's radius " +
                                std::to_string(rad_arr[map.radi]),
                            false, path};
        }
    }
}

// The complaint about a map file larger than any the game reads.
LoadError mapTooLarge(const std::string& path) {
    return LoadError{path + ": the map is larger than " + std::to_string(kMaxMapBytes >> 20) +
                         " MB (" + std::to_string(kMaxMapBytes) +
                         " bytes), more than the game reads",
                     false, path};
}

// The characters a formatted stream skips before a number.
bool isStreamSpace(int c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The random numbers in in, read a word at a time so that no word costs more
// than kLongestRandomNumber characters. Within a word the numbers are
// extracted with a stream, as they would be from the file itself: a word may
// hold several ("40-5" is 40 and -5) or end in something that is not a
// number, which stops the reading there.
std::vector<float> readRandomNumbersFrom(std::streambuf& in) {
    using Traits = std::char_traits<char>;
    const int end = Traits::eof();
    std::vector<float> numbers;
    std::string word;
    std::istringstream words;
    int c = in.sgetc();
    while (numbers.size() < kMaxRandomNumbers) {
        while (c != end && isStreamSpace(c)) {
            c = in.snextc();
        }
        if (c == end) {
            break;
        }
        word.clear();
        while (c != end && !isStreamSpace(c) && word.size() <= kLongestRandomNumber) {
            word.push_back(Traits::to_char_type(c));
            c = in.snextc();
        }
        // A word cut short ends the reading at its last number that ends
        // within what was read; one running into the cut may go on beyond it.
        bool cut = word.size() > kLongestRandomNumber;
        words.clear();
        words.str(word);
        while (words.peek() != end) {
            float value;
            if (!(words >> value) || (cut && words.peek() == end)) {
                return numbers;
            }
            numbers.push_back(value / 80.0f);
            if (numbers.size() == kMaxRandomNumbers) {
                return numbers;
            }
        }
    }
    return numbers;
}

} // namespace

LevelMap readLevelMap(const std::string& path) {
    std::string text;
    switch (readFileUpTo(path, kMaxMapBytes, text)) {
    case FileRead::kWhole:
    case FileRead::kStopped:
        return parseLevelMap(text, path);
    case FileRead::kCannotOpen:
        throw LoadError{"Couldn't open: " + path, true};
    case FileRead::kTooLarge:
        throw mapTooLarge(path);
    case FileRead::kCannotRead:
        break;
    }
    throw LoadError{path + ": cannot read the map", false, path};
}

LevelMap parseLevelMap(const std::string& text, const std::string& path) {
    if (text.size() > kMaxMapBytes) {
        throw mapTooLarge(path);
    }
    std::istringstream in(text);
    MapReader reader(path, in);
    LevelMap map;

    int fireflyCount = reader.readInt("firefly count", kMinFireflies, kMaxFireflies);
    std::vector<int> startLines;
    for (int i = 0; i < fireflyCount; ++i) {
        std::string name = "firefly " + std::to_string(i);
        float z = static_cast<float>(reader.readNumber(name + " z", MapReader::kPositionLimit));
        float x = static_cast<float>(reader.readNumber(name + " x", MapReader::kPositionLimit));
        map.fireflies.push_back({z, x});
        startLines.push_back(reader.lastReadLine());
    }
    int lanternCount = reader.readCount("lantern count", kMaxLanterns);
    for (int i = 0; i < lanternCount; ++i) {
        std::string name = "lantern " + std::to_string(i);
        float z = static_cast<float>(reader.readNumber(name + " z", MapReader::kPositionLimit));
        float x = static_cast<float>(reader.readNumber(name + " x", MapReader::kPositionLimit));
        map.lanterns.push_back({z, x});
    }
    int flowerCount = reader.readCount("flower count", kMaxFlowers);
    for (int i = 0; i < flowerCount; ++i) {
        std::string name = "flower " + std::to_string(i);
        double z = reader.readNumber(name + " z", MapReader::kPositionLimit);
        double x = reader.readNumber(name + " x", MapReader::kPositionLimit);
        map.flowers.push_back({z, x});
    }
    map.radi = reader.readInt("radius index", 0, kLevelIndexCount - 1);
    map.speedi = reader.readInt("speed index", 0, kLevelIndexCount - 1);
    map.pulli = reader.readInt("pull index", 0, kLevelIndexCount - 1);
    map.dragi = reader.readInt("drag index", 0, kLevelIndexCount - 1);
    checkStartsInArena(map, startLines, path);
    return map;
}

std::vector<float> readRandomNumbers(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    return readRandomNumbersFrom(*in.rdbuf());
}

std::vector<float> parseRandomNumbers(const std::string& text) {
    std::stringbuf in(text, std::ios::in);
    return readRandomNumbersFrom(in);
}
