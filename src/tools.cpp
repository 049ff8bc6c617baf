#include "tools.h"

#include <sys/stat.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// Angles smaller than this in magnitude (degrees) are brought into range a
// turn at a time: at most 2778 steps.
constexpr double kSteppingLimit = 1e6;

// Bytes readFileUpTo asks for at a time.
constexpr std::size_t kPieceBytes = 1 << 16;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

double distance(double x1, double y1, double x2, double y2) {
    return std::sqrt((x1 - x2) * (x1 - x2) + (y1 - y2) * (y1 - y2));
}

double angleBetween(double x1, double y1, double x2, double y2) {
    double sign = (y2 > y1) ? 1.0 : -1.0;
    double d = distance(x1, y1, x2, y2);
    double raw = sign * std::acos((x2 - x1) / d) * kRadToDeg;
    return normalizeAngle360(raw);
}

double normalizeAngle360(double angle) {
    if (!std::isfinite(angle)) {
        return angle; // no turn brings infinity (or a value that is not a number) into range
    }
    if (std::fabs(angle) < kSteppingLimit) {
        // Headings and bearings are at most a turn or two out of range; they
        // are stepped back one turn at a time, which the computer fireflies'
        // trained tables were made with.
        while (angle > 360.0) {
            angle -= 360.0;
        }
        while (angle < 0.0) {
            angle += 360.0;
        }
        return angle;
    }
    // Far out of range (1e30 - 360 is 1e30 again): one exact remainder, with
    // the ends the stepping gives, a whole number of turns above 0 ending on
    // 360 and below 0 ending on 0.
    double turn = std::fmod(angle, 360.0);
    if (turn < 0.0) {
        turn += 360.0;
    }
    if (turn == 0.0) {
        turn = angle > 0.0 ? 360.0 : 0.0; // also turns -0 into 0
    }
    return turn;
}

double normalizeAngle180(double theta) {
    if (theta > 180.0) {
        theta -= 360.0;
    }
    if (theta < -180.0) {
        theta += 360.0;
    }
    assert(theta >= -180.0 && theta <= 180.0);
    return theta;
}

double rayCircleHit(double px, double py, double a, double cx, double cy, double r, double& ix,
                    double& iy) {
    double rad = a * kDegToRad;
    double cosA = std::cos(rad);
    double sinA = std::sin(rad);
    double b = 2.0 * ((px - cx) * cosA + (py - cy) * sinA);
    double q = (px - cx) * (px - cx) + (py - cy) * (py - cy) - r * r;
    if (b > 0.0) {
        return -1.0;
    }
    double disc = b * b - 4.0 * q;
    if (disc < 0.0) {
        return -1.0;
    }
    double t;
    if (disc == 0.0) {
        t = -b / 2.0;
    } else {
        t = (-b - std::sqrt(disc)) / 2.0;
    }
    ix = px + t * cosA;
    iy = py + t * sinA;
    return t;
}

double dotProduct(std::vector<double> one, std::vector<double> two) {
    assert(one.size () == two.size ());
    double sum = 0.0;
    for (size_t i = 0; i < one.size(); ++i) {
        sum += one[i] * two[i];
    }
    return sum;
}

std::string printable(const std::string& text) {
    const std::size_t most = 32;
    std::string shown = text.substr(0, most);
    for (char& c : shown) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            c = '?';
        }
    }
    if (text.size() > most) {
        shown += "...";
    }
    return shown;
}

std::string messageWithFolder(const LoadError& error, const std::string& folder) {
    const std::string& file = error.file;
    if (file.empty() || file[0] == '/' || error.message.compare(0, file.size(), file) != 0) {
        return error.message;
    }
    return folder + "/" + error.message;
}

bool parseWholeNumber(const std::string& text, long low, long high, long& value) {
    errno = 0;
    char* end = nullptr;
    long read = std::strtol(text.c_str(), &end, 10);
    // The number must be all of text, even past a zero byte in it.
    if (text.empty() || end != text.c_str() + text.size() || errno == ERANGE || read < low ||
        read > high) {
        return false;
    }
    value = read;
    return true;
}

std::string notAFile(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) {
        return "";
    }
    const char* what = "not a regular file";
    if (S_ISFIFO(info.st_mode)) {
        what = "a pipe, not a file";
    } else if (S_ISDIR(info.st_mode)) {
        what = "a folder, not a file";
    } else if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode)) {
        what = "a device, not a file";
    } else if (S_ISSOCK(info.st_mode)) {
        what = "a socket, not a file";
    }
    return what;
}

FileRead readFileUpTo(const std::string& path, std::size_t limit, std::string& contents,
                      const std::function<bool(const std::string&)>& keepReading) {
    contents.clear();
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr) {
        return FileRead::kCannotOpen;
    }
    // A regular file tells its size: one too large is not read at all, and
    // any other gets its room at once.
    struct stat info;
    if (fstat(fileno(file.get()), &info) == 0 && S_ISREG(info.st_mode)) {
        if (static_cast<unsigned long long>(info.st_size) > limit) {
            return FileRead::kTooLarge;
        }
        contents.reserve(static_cast<std::size_t>(info.st_size));
    }
    std::vector<char> piece(kPieceBytes);
    for (;;) {
        std::size_t got = std::fread(piece.data(), 1, piece.size(), file.get());
        if (got == 0) {
            return std::ferror(file.get()) != 0 ? FileRead::kCannotRead : FileRead::kWhole;
        }
        if (got > limit - contents.size()) {
            return FileRead::kTooLarge;
        }
        // The room doubles, as a string's would, but never beyond the limit
        // (a string asked for less than twice its room takes twice anyway).
        if (contents.size() + got > contents.capacity()) {
            std::string larger;
            larger.reserve(
                std::min(limit, std::max(2 * contents.capacity(), contents.size() + got)));
            larger.append(contents);
            contents.swap(larger);
        }
        contents.append(piece.data(), got);
        if (keepReading && !keepReading(contents)) {
            return FileRead::kStopped;
        }
    }
}
