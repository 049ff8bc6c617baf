// Plane geometry shared by the world and the agent: distances, bearings,
// angle normalisation and ray-circle crossings, all in double precision with
// angles in degrees. Points are passed as two separate coordinates; callers
// that compare a bearing with a firefly heading pass points as (z, x), so
// that 0 degrees is world +Z and 90 degrees is world +X.
//
// Also home of LoadError, the one error record that file readers hand back
// to the entry point, of readFileUpTo, which the readers that need a
// whole file in memory read it with, and of parseWholeNumber, which the
// programs beside the game read their numeric options with.
#ifndef FIREFLIES_TOOLS_H
#define FIREFLIES_TOOLS_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Degrees to radians and back. Neither is exactly pi/180 or 180/pi; the game
// converts every angle with these two values.
constexpr double kDegToRad = 0.0174532925;
constexpr double kRadToDeg = 57.29577957855229;

// Euclidean distance between (x1, y1) and (x2, y2).
double distance(double x1, double y1, double x2, double y2);

// Direction from point 1 to point 2 in degrees, [0, 360], measured from the
// positive first axis toward the positive second axis. Coincident points give
// a value that is not a number.
double angleBetween(double x1, double y1, double x2, double y2);

// Brings an angle in degrees into [0, 360] (both ends possible: 720 gives
// 360, -360 gives 0). Values beyond a million degrees are reduced in one
// step; infinities and NaN come back unchanged.
double normalizeAngle360(double angle);

// Brings theta from [-540, 540] into [-180, 180]; asserts on anything else.
double normalizeAngle180(double theta);

// Distance t along the ray from (px, py) with heading a (degrees) to its
// nearer crossing with the circle of radius r about (cx, cy), or exactly -1
// for a miss (the ray points away from the centre, or the line passes by).
// A ray starting inside the circle gives the negative root. The crossing
// point goes to (ix, iy) only when t is not -1.
double rayCircleHit(double px, double py, double a, double cx, double cy, double r, double& ix,
                    double& iy);

// Sum of one[i] * two[i]; asserts that both have the same length.
double dotProduct(std::vector<double> one, std::vector<double> two);

// A piece of a file (a token, a name) as it may appear inside a one-line
// message: control characters become '?', and text longer than 32 bytes is
// cut to its first 32 followed by "...".
std::string printable(const std::string& text);

// A file the game needs is missing or unusable. Readers throw it; only the
// entry point prints it (to standard output when onStdout is set, otherwise
// to standard error) and exits with status 1.
struct LoadError {
    // One line without its line end, e.g. "final.map:1: firefly count 11 is outside 2..10".
    std::string message;
    // The map's "Couldn't open: " line goes to standard output.
    bool onStdout;
    // The file the message starts with, as the reader was given it; "" for none.
    std::string file = {};
};

// The error's message with its file named by a full path: a relative file
// name that starts the message is put inside folder (the working directory,
// no trailing '/'), so "wing.bmp: ..." tells a player where to look.
// Messages without a file, or with an absolute one, come back unchanged.
std::string messageWithFolder(const LoadError& error, const std::string& folder);

// "" when path names a regular file (links followed) or cannot be looked at
// (opening it then says why); otherwise what it is instead, e.g. "a pipe, not
// a file". Only looks at the name, never opens it, so a pipe with no writer
// cannot hold the game up. Every data file but the map must be a file.
std::string notAFile(const std::string& path);

// A base-10 whole number in [low, high] that is the whole of text (strtol's
// leading blanks and sign allowed) into value; false, value untouched, for
// empty text, anything after the number, overflow or a number outside.
bool parseWholeNumber(const std::string& text, long low, long high, long& value);

// How readFileUpTo ended.
enum class FileRead {
    kWhole,      // contents holds the whole file
    kStopped,    // keepReading ended the reading; contents holds what was read
    kTooLarge,   // the file holds more than the limit; contents holds no more than the limit
    kCannotOpen, // the file cannot be opened; errno is as fopen left it
    kCannotRead, // a read failed part way (a folder fails so)
};

// Reads the file at path into contents (replacing what it held) 64 kB at a
// time, keeping at most limit bytes: a regular file larger than limit is
// refused unread, and a pipe or device that goes on (such as /dev/zero) as
// soon as it passes limit, so no file costs more than about twice limit
// bytes of memory. keepReading, when given, sees contents after every piece
// read and may end the reading early by returning false (or by throwing,
// which closes the file and passes on).
FileRead readFileUpTo(const std::string& path, std::size_t limit, std::string& contents,
                      const std::function<bool(const std::string&)>& keepReading = {});

#endif
