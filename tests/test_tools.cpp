// Geometry tools: bearings carry the rounded conversion factor, so the axis
// directions are not whole numbers; these values pin that down. And the
// bounded whole-file read the readers share, and the whole-number reader
// of the tools' options.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>

#include "temp_dir.h"
#include "tools.h"

TEST(Tools, DistanceIsSymmetricAndZeroToItself) {
    EXPECT_DOUBLE_EQ(distance(3, 4, 3, 4), 0.0);
    EXPECT_DOUBLE_EQ(distance(0, 0, 3, 4), 5.0);
    EXPECT_DOUBLE_EQ(distance(3, 4, 0, 0), 5.0);
    EXPECT_DOUBLE_EQ(distance(4, 3, 0, 0), 5.0);
}

TEST(Tools, AngleBetweenAxesAndDiagonalsToSevenDecimals) {
    struct Case {
        double x, y, expected;
    } cases[] = {{1, 0, 0.0},          {0, 1, 90.0000001},   {-1, 0, 179.9999998},
                 {0, -1, 269.9999999}, {1, 1, 45.0000001},   {1, -1, 314.9999999}};
    for (const Case& c : cases) {
        EXPECT_NEAR(angleBetween(0, 0, c.x, c.y), c.expected, 0.5e-7) << c.x << ", " << c.y;
    }
}

TEST(Tools, AngleBetweenCoincidentPointsIsNotANumber) {
    EXPECT_TRUE(std::isnan(angleBetween(2, 3, 2, 3)));
}

TEST(Tools, NormalizeAngle360Boundaries) {
    EXPECT_EQ(normalizeAngle360(720), 360);
    EXPECT_EQ(normalizeAngle360(360), 360);
    EXPECT_EQ(normalizeAngle360(0), 0);
    EXPECT_EQ(normalizeAngle360(-360), 0);
    EXPECT_EQ(normalizeAngle360(-30), 330);
    EXPECT_EQ(normalizeAngle360(725), 5);
    EXPECT_TRUE(std::isnan(normalizeAngle360(std::nan(""))));
}

TEST(Tools, NormalizeAngle360ReturnsAtOnceForInfiniteAndHugeAngles) {
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(normalizeAngle360(inf), inf);
    EXPECT_EQ(normalizeAngle360(-inf), -inf);
    // Stepping by 360 would never end here: 1e30 - 360 is 1e30.
    for (double huge : {1e30, -1e30, 1e300, -std::numeric_limits<double>::max()}) {
        double a = normalizeAngle360(huge);
        EXPECT_GE(a, 0.0) << huge;
        EXPECT_LE(a, 360.0) << huge;
    }
    // Far out of range the ends fall as they do near it: a whole number of
    // turns above 0 gives 360, below 0 gives 0 (and not -0).
    const double turns = 360.0 * std::ldexp(1.0, 40); // exact, about 4e14
    EXPECT_EQ(normalizeAngle360(turns + 5.0), 5.0);
    EXPECT_EQ(normalizeAngle360(turns), 360.0);
    EXPECT_EQ(normalizeAngle360(-turns), 0.0);
    EXPECT_FALSE(std::signbit(normalizeAngle360(-turns)));
    EXPECT_EQ(normalizeAngle360(-turns - 30.0), 330.0);
    EXPECT_EQ(normalizeAngle360(1e6 + 725.0), 1e6 + 725.0 - 2779 * 360.0);
}

TEST(Tools, NormalizeAngle360KeepsEveryResultOfTurnByTurnStepping) {
    // The trained tables were made with angles stepped back a turn at a time;
    // every angle a game can produce must still come out bit for bit the same.
    auto stepped = [](double angle) {
        while (angle > 360.0) {
            angle -= 360.0;
        }
        while (angle < 0.0) {
            angle += 360.0;
        }
        return angle;
    };
    std::mt19937_64 random(12);
    std::uniform_real_distribution<double> headings(-720.0, 720.0);
    std::uniform_real_distribution<double> wide(-999999.0, 999999.0);
    for (int i = 0; i < 20000; ++i) {
        double angles[] = {headings(random),
                           wide(random),
                           static_cast<float>(headings(random)),
                           std::nextafter(360.0 * (i % 2778), 0.0),
                           360.0 * (i % 2778) - 1e6,
                           -1e-300 * i};
        for (double a : angles) {
            double expected = stepped(a);
            double got = normalizeAngle360(a);
            ASSERT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << std::hexfloat << a;
        }
    }
}

TEST(Tools, NormalizeAngle180WithinItsContract) {
    EXPECT_EQ(normalizeAngle180(190), -170);
    EXPECT_EQ(normalizeAngle180(-190), 170);
    EXPECT_EQ(normalizeAngle180(540), 180);
    EXPECT_EQ(normalizeAngle180(-540), -180);
    EXPECT_EQ(normalizeAngle180(180), 180);
}

TEST(ToolsDeathTest, NormalizeAngle180OutsideItsContractFailsTheCheck) {
    EXPECT_DEATH(normalizeAngle180(600), "theta >= -180.0 && theta <= 180.0");
}

TEST(Tools, RayCircleHitBranches) {
    double ix = 123, iy = 456;
    // Straight ahead: the near crossing.
    EXPECT_DOUBLE_EQ(rayCircleHit(0, 0, 0, 5, 0, 1, ix, iy), 4.0);
    EXPECT_NEAR(ix, 4.0, 1e-12);
    EXPECT_NEAR(iy, 0.0, 1e-8);

    // Behind the origin: a miss that leaves the out-parameters alone.
    ix = 123;
    iy = 456;
    EXPECT_EQ(rayCircleHit(0, 0, 180, 5, 0, 1, ix, iy), -1.0);
    EXPECT_EQ(ix, 123);
    EXPECT_EQ(iy, 456);

    // Beside: the line passes the circle.
    EXPECT_EQ(rayCircleHit(0, 0, 90, 5, 0, 1, ix, iy), -1.0);
    EXPECT_EQ(ix, 123);

    // Tangent through the zero-discriminant branch.
    EXPECT_DOUBLE_EQ(rayCircleHit(0, 0, 0, 5, 1, 1, ix, iy), 5.0);
    EXPECT_NEAR(iy, 0.0, 1e-8);
}

TEST(Tools, RayCircleHitFromInsideTheCircle) {
    double ix = 0, iy = 0;
    // Centre ahead of an origin inside the circle: the crossing behind it.
    double t = rayCircleHit(0, 0, 0, 0.5, 0, 1, ix, iy);
    EXPECT_NEAR(t, -0.5, 1e-12);
    EXPECT_NEAR(ix, -0.5, 1e-12);
    // Pointing away from the centre: a miss even though the origin is inside.
    EXPECT_EQ(rayCircleHit(0, 0, 180, 0.5, 0, 1, ix, iy), -1.0);
}

TEST(Tools, DotProduct) {
    EXPECT_EQ(dotProduct({}, {}), 0.0);
    EXPECT_EQ(dotProduct({1, 2, 3}, {4, -5, 6}), 12.0);
}

TEST(ToolsDeathTest, DotProductOfDifferentLengthsFailsTheCheck) {
    EXPECT_DEATH(dotProduct({1, 2}, {1}), "one.size \\(\\) == two.size \\(\\)");
}

TEST(ReadFileUpTo, AFileOfExactlyTheLimitIsReadAndOneByteMoreIsNot) {
    TempDir dir;
    std::string text(200000, 'x'); // more than three 64 kB pieces
    text[0] = 'a';
    text.back() = 'z';
    std::string path = dir.write("f", text);
    std::string contents = "left over";
    EXPECT_EQ(readFileUpTo(path, text.size(), contents), FileRead::kWhole);
    EXPECT_TRUE(contents == text);
    EXPECT_EQ(readFileUpTo(path, text.size() + 1000, contents), FileRead::kWhole);
    EXPECT_TRUE(contents == text);
    EXPECT_EQ(readFileUpTo(path, text.size() - 1, contents), FileRead::kTooLarge);
    EXPECT_LE(contents.size(), text.size() - 1);
    EXPECT_EQ(readFileUpTo(dir.write("empty", ""), 0, contents), FileRead::kWhole);
    EXPECT_EQ(contents, "");
}

TEST(ReadFileUpTo, ADeviceThatNeverEndsStopsAtTheLimit) {
    std::string contents;
    const std::size_t limit = 1000000; // not a whole number of pieces
    EXPECT_EQ(readFileUpTo("/dev/zero", limit, contents), FileRead::kTooLarge);
    EXPECT_LE(contents.size(), limit);
    EXPECT_LE(contents.capacity(), limit);
    EXPECT_EQ(contents.find_first_not_of('\0'), std::string::npos);
}

TEST(ReadFileUpTo, MissingFilesAndFoldersSayWhy) {
    TempDir dir;
    std::string contents = "left over";
    errno = 0;
    EXPECT_EQ(readFileUpTo(dir.path() + "/absent", 100, contents), FileRead::kCannotOpen);
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(contents, "");
    EXPECT_EQ(readFileUpTo(dir.path(), 100, contents), FileRead::kCannotRead);
}

TEST(ReadFileUpTo, TheCallerMayStopTheReadingAfterAnyPiece) {
    TempDir dir;
    std::string path = dir.write("f", std::string(300000, 'y'));
    std::string contents;
    int calls = 0;
    auto stopAtSecond = [&calls](const std::string& soFar) {
        ++calls;
        EXPECT_EQ(soFar.size(), static_cast<std::size_t>(calls) * 65536);
        return calls < 2;
    };
    EXPECT_EQ(readFileUpTo(path, 1000000, contents, stopAtSecond), FileRead::kStopped);
    EXPECT_EQ(contents.size(), 131072u);
    // A device that never ends, stopped by its first piece.
    EXPECT_EQ(readFileUpTo("/dev/zero", std::size_t{1} << 30, contents,
                           [](const std::string&) { return false; }),
              FileRead::kStopped);
    EXPECT_EQ(contents.size(), 65536u);
    // What the caller throws passes through.
    EXPECT_THROW(readFileUpTo(path, 1000000, contents,
                              [](const std::string&) -> bool { throw std::runtime_error("no"); }),
                 std::runtime_error);
}

TEST(ParseWholeNumber, TakesOnlyAWholeNumberWithinItsBounds) {
    long value = -7;
    EXPECT_TRUE(parseWholeNumber("42", 1, 100, value));
    EXPECT_EQ(value, 42);
    EXPECT_TRUE(parseWholeNumber("-3", -5, 5, value));
    EXPECT_EQ(value, -3);
    EXPECT_TRUE(parseWholeNumber("100", 1, 100, value)); // both bounds belong
    EXPECT_TRUE(parseWholeNumber("1", 1, 100, value));
    EXPECT_EQ(value, 1);
    // Refused, and the value is left as it was.
    for (const char* bad : {"", "x", "12x", "3.5", "0", "101", "-", "99999999999999999999999", "4 "}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parseWholeNumber(bad, 1, 100, value));
        EXPECT_EQ(value, 1);
    }
    EXPECT_FALSE(parseWholeNumber(std::string("5\0" "9", 3), 1, 100, value)); // a zero byte inside
}
