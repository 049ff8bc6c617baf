// The generated data files: make_assets reproduces data/ byte for byte, and
// the models and pictures keep the facts the game relies on (group names and
// counts, petal groups that match triangle for triangle, faces the loader
// can read, 24-bit power-of-two pictures, a unit-length normal map, a
// backdrop that wraps round without a seam), and every shipped level keeps
// to the art's budget of vertices and texels a frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "levels.h"
#include "model.h"
#include "state.h"
#include "temp_dir.h"

namespace {

const char* const kGeneratedFiles[] = {
    "firefly.obj", "flower.obj",         "lantern.obj",   "shell.bmp", "wing.bmp",
    "abdomen.bmp", "flowerT.bmp",        "lanternT.bmp",  "braid.bmp", "braid_norm.bmp",
    "bounds.bmp",  "random_numbers.dat", "fireflies.png",
};

std::string dataFile(const std::string& name) {
    return readFile(std::string(FIREFLIES_DATA_DIR) + "/" + name);
}

struct Point {
    double x, y, z;
};

// One group of an OBJ file as read here, independently of the game's loader.
struct ObjGroup {
    std::string name;
    std::vector<std::array<int, 3>> corners; // position indices of each triangle, 1-based
};

struct Obj {
    std::vector<Point> positions;
    int texCoordCount = 0;
    int normalCount = 0;
    int groupLines = 0;
    int facesBeforeFirstGroup = 0;
    std::vector<ObjGroup> groups; // in file order, one per group line
    std::vector<std::string> problems;

    const ObjGroup* group(const std::string& name) const {
        for (const ObjGroup& g : groups) {
            if (g.name == name) {
                return &g;
            }
        }
        return nullptr;
    }
    // Mean position of the corners of a group's triangles.
    Point centre(const ObjGroup& g) const {
        Point sum{0, 0, 0};
        int n = 0;
        for (const auto& tri : g.corners) {
            for (int index : tri) {
                const Point& p = positions[index - 1];
                sum.x += p.x;
                sum.y += p.y;
                sum.z += p.z;
                ++n;
            }
        }
        return n == 0 ? sum : Point{sum.x / n, sum.y / n, sum.z / n};
    }
};

// Reads the OBJ text; every face must be a triangle written v/vt/vn with
// positive indices that exist (checked once the whole file is read).
Obj parseObj(const std::string& text) {
    Obj obj;
    std::istringstream in(text);
    std::string line;
    int lineNumber = 0;
    struct Corner {
        int v, t, n, line;
    };
    std::vector<Corner> corners;
    while (std::getline(in, line)) {
        ++lineNumber;
        std::istringstream words(line);
        std::string tag;
        words >> tag;
        if (tag == "v") {
            Point p{0, 0, 0};
            words >> p.x >> p.y >> p.z;
            obj.positions.push_back(p);
        } else if (tag == "vt") {
            ++obj.texCoordCount;
        } else if (tag == "vn") {
            ++obj.normalCount;
        } else if (tag == "g") {
            ObjGroup g;
            words >> g.name;
            obj.groups.push_back(g);
            ++obj.groupLines;
        } else if (tag == "f") {
            std::array<int, 3> tri{};
            std::string word;
            int count = 0;
            while (words >> word) {
                Corner c{0, 0, 0, lineNumber};
                char tail = 0;
                if (std::sscanf(word.c_str(), "%d/%d/%d%c", &c.v, &c.t, &c.n, &tail) != 3) {
                    obj.problems.push_back("line " + std::to_string(lineNumber) + ": corner " +
                                           word + " is not v/vt/vn");
                }
                if (count < 3) {
                    tri[count] = c.v;
                }
                corners.push_back(c);
                ++count;
            }
            if (count != 3) {
                obj.problems.push_back("line " + std::to_string(lineNumber) + ": " +
                                       std::to_string(count) + " corners");
            }
            if (obj.groups.empty()) {
                ++obj.facesBeforeFirstGroup;
            } else {
                obj.groups.back().corners.push_back(tri);
            }
        } else if (!tag.empty() && tag[0] != '#') {
            obj.problems.push_back("line " + std::to_string(lineNumber) + ": unknown " + tag);
        }
        if (line.size() >= 127) {
            obj.problems.push_back("line " + std::to_string(lineNumber) + " is too long");
        }
    }
    for (const Corner& c : corners) {
        int vCount = static_cast<int>(obj.positions.size());
        if (c.v < 1 || c.v > vCount || c.t < 1 || c.t > obj.texCoordCount || c.n < 1 ||
            c.n > obj.normalCount) {
            obj.problems.push_back("line " + std::to_string(c.line) + ": index out of range");
        }
    }
    return obj;
}

Obj loadObj(const std::string& name) {
    std::string text = dataFile(name);
    EXPECT_FALSE(text.empty()) << name;
    Obj obj = parseObj(text);
    for (const std::string& problem : obj.problems) {
        ADD_FAILURE() << name << " " << problem;
    }
    return obj;
}

struct Bmp {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb; // top row first, r, g, b
};

std::uint32_t little(const std::string& bytes, size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) {
        v = (v << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    }
    return v;
}

bool powerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

// Reads a 24-bit uncompressed bottom-up BMP with no row padding (what the
// game's texture loader takes); failures are reported against the name.
Bmp loadBmp(const std::string& name) {
    Bmp bmp;
    std::string bytes = dataFile(name);
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') {
        ADD_FAILURE() << name << " is not a BMP file";
        return bmp;
    }
    int width = static_cast<int>(little(bytes, 18, 4));
    int height = static_cast<int>(little(bytes, 22, 4));
    std::uint32_t offset = little(bytes, 10, 4);
    EXPECT_EQ(little(bytes, 14, 4), 40u) << name << " header";
    EXPECT_EQ(little(bytes, 28, 2), 24u) << name << " bits per pixel";
    EXPECT_EQ(little(bytes, 30, 4), 0u) << name << " compression";
    EXPECT_TRUE(powerOfTwo(width)) << name << " width " << width;
    EXPECT_TRUE(powerOfTwo(height)) << name << " height " << height;
    EXPECT_EQ(width * 3 % 4, 0) << name << " rows would be padded";
    if (!powerOfTwo(width) || !powerOfTwo(height) ||
        bytes.size() != offset + static_cast<size_t>(width) * height * 3) {
        ADD_FAILURE() << name << " size " << bytes.size() << " does not fit " << width << "x"
                      << height;
        return bmp;
    }
    bmp.width = width;
    bmp.height = height;
    bmp.rgb.resize(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        const char* row = bytes.data() + offset + static_cast<size_t>(height - 1 - y) * width * 3;
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 3; ++c) {
                bmp.rgb[(static_cast<size_t>(y) * width + x) * 3 + c] =
                    static_cast<std::uint8_t>(row[x * 3 + 2 - c]);
            }
        }
    }
    return bmp;
}

// Triangles a model draws: those of its groups from the head of the list up
// to the first empty one.
long drawnTriangles(const Model& model) {
    long triangles = 0;
    for (const ModelGroup* g = model.groups; g != nullptr && g->triangleCount != 0; g = g->next) {
        triangles += g->triangleCount;
    }
    return triangles;
}

// Texels of a picture with its mipmaps down to 1 x 1.
long texelsWithMipmaps(const std::string& picture) {
    Bmp bmp = loadBmp(picture);
    long texels = 0;
    int w = bmp.width;
    int h = bmp.height;
    while (w > 0 && h > 0) {
        texels += static_cast<long>(w) * h;
        if (w == 1 && h == 1) {
            break;
        }
        w = std::max(1, w / 2);
        h = std::max(1, h / 2);
    }
    return texels;
}

} // namespace

TEST(Assets, EveryShippedLevelKeepsToTheArtsBudget) {
    // The game's own loader says what a model draws: no templates, so no
    // picture (and no GL) is needed. A flower draws 8 or 10 copies of its
    // petal model, even and odd ones in turn, each with its in-between
    // petals: at most five of each.
    const std::string data = FIREFLIES_DATA_DIR;
    Model firefly(data + "/firefly.obj", nullptr, 0, false);
    Model lantern(data + "/lantern.obj", nullptr, 0, false);
    Model even(data + "/flower.obj", nullptr, 0, false);
    Model odd(data + "/flower.obj", nullptr, 0, false);
    even.addInbetweenGroups(3, 0);
    odd.addInbetweenGroups(3, 1);
    const long fireflyTriangles = drawnTriangles(firefly);
    const long lanternTriangles = drawnTriangles(lantern);
    const long flowerTriangles = 5 * (drawnTriangles(even) + drawnTriangles(odd));

    // Every group of a model loads its own texture objects: a firefly's
    // thirteen parts, a lantern's paper (with its 64 x 64 slice of noise)
    // and two rims with their normal maps, five petal groups a copy.
    const long fireflyTexels = 8 * texelsWithMipmaps("shell.bmp") +
                               texelsWithMipmaps("abdomen.bmp") + 4 * texelsWithMipmaps("wing.bmp");
    const long lanternTexels =
        texelsWithMipmaps("lanternT.bmp") + 5461 +
        2 * (texelsWithMipmaps("braid.bmp") + texelsWithMipmaps("braid_norm.bmp"));
    const long flowerTexels = 10 * 5 * texelsWithMipmaps("flowerT.bmp");
    const long backdropTexels = texelsWithMipmaps("bounds.bmp");

    const std::string list = data + "/levels.txt";
    for (const LevelEntry& level : readLevelList(list)) {
        LevelMap map = readLevelMap(levelMapPath(list, level));
        long fireflies = static_cast<long>(map.fireflies.size());
        long lanterns = static_cast<long>(map.lanterns.size());
        long flowers = static_cast<long>(map.flowers.size());
        // 40,000 vertices a frame, less 2,000 for the backdrop, the mist,
        // the overlay and the sparks of the beams.
        long vertices = 3 * (fireflies * fireflyTriangles + lanterns * lanternTriangles +
                             flowers * flowerTriangles);
        EXPECT_LE(vertices, 38000) << level.name;
        // Resident memory grows by about 6 bytes for every texel uploaded:
        // 6 million keep the game within 150 MB in software GL.
        long texels = fireflies * fireflyTexels + lanterns * lanternTexels +
                      flowers * flowerTexels + backdropTexels;
        EXPECT_LE(texels, 6000000) << level.name;
        std::printf("%s: at most %ld vertices of models a frame, %.1f million texels\n",
                    level.name.c_str(), vertices, texels / 1e6);
    }
}

TEST(Assets, GeneratorReproducesTheCommittedDataFiles) {
    TempDir out;
    CommandResult run =
        runCommand(std::string("'") + FIREFLIES_BINARY_DIR + "/make_assets' '" + out.path() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* name : kGeneratedFiles) {
        std::string made = readFile(out.path() + "/" + name);
        EXPECT_FALSE(made.empty()) << name << " was not made";
        EXPECT_TRUE(made == dataFile(name))
            << name << " differs from data/: run make_assets data from the build and commit";
    }
}

TEST(Assets, GeneratorReportsUsageAndUnwritableFolders) {
    CommandResult usage = runCommand(std::string("'") + FIREFLIES_BINARY_DIR + "/make_assets'");
    EXPECT_EQ(usage.status, 2);
    EXPECT_NE(usage.err.find("usage"), std::string::npos);
    TempDir out;
    CommandResult missing = runCommand(std::string("'") + FIREFLIES_BINARY_DIR + "/make_assets' '" +
                                       out.path() + "/no/such/folder'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("could not write"), std::string::npos);
}

TEST(Assets, FireflyHasItsThirteenPartsInPlace) {
    Obj obj = loadObj("firefly.obj");
    const char* names[] = {"frontlleg", "sidelleg", "backlleg", "frontrleg", "siderleg",
                           "backrleg",  "abdomen2", "thorax",   "head",      "lwing",
                           "rwing",     "lshell",   "rshell"};
    EXPECT_EQ(obj.groupLines, 13);
    EXPECT_EQ(obj.facesBeforeFirstGroup, 0);
    size_t triangles = 0;
    for (const char* name : names) {
        const ObjGroup* g = obj.group(name);
        ASSERT_NE(g, nullptr) << name;
        EXPECT_FALSE(g->corners.empty()) << name;
        triangles += g->corners.size();
    }
    // Drawn in immediate mode several times a frame: keep it modest.
    EXPECT_GE(triangles, 300u);
    EXPECT_LE(triangles, 1600u);

    // Front along -Z: head, thorax, abdomen from front to back, the body
    // about 2 units long; left parts at -X, right parts at +X.
    Point head = obj.centre(*obj.group("head"));
    Point thorax = obj.centre(*obj.group("thorax"));
    Point abdomen = obj.centre(*obj.group("abdomen2"));
    EXPECT_LT(head.z, thorax.z);
    EXPECT_LT(thorax.z, abdomen.z);
    double zMin = 1e9;
    double zMax = -1e9;
    for (const char* part : {"head", "thorax", "abdomen2"}) {
        for (const auto& tri : obj.group(part)->corners) {
            for (int index : tri) {
                zMin = std::min(zMin, obj.positions[index - 1].z);
                zMax = std::max(zMax, obj.positions[index - 1].z);
            }
        }
    }
    EXPECT_GT(zMax - zMin, 1.6);
    EXPECT_LT(zMax - zMin, 2.8);
    for (const char* part : {"frontlleg", "sidelleg", "backlleg", "lwing", "lshell"}) {
        EXPECT_LT(obj.centre(*obj.group(part)).x, 0.0) << part;
    }
    for (const char* part : {"frontrleg", "siderleg", "backrleg", "rwing", "rshell"}) {
        EXPECT_GT(obj.centre(*obj.group(part)).x, 0.0) << part;
    }
    EXPECT_LT(obj.centre(*obj.group("frontlleg")).z, obj.centre(*obj.group("backlleg")).z);
}

TEST(Assets, FlowerPetalsMatchTriangleForTriangleAndOpenInTurn) {
    Obj obj = loadObj("flower.obj");
    ASSERT_EQ(obj.groupLines, 5);
    EXPECT_EQ(obj.facesBeforeFirstGroup, 0);
    std::vector<int> firstIndex;
    std::vector<double> tipAngle;
    for (int i = 0; i < 5; ++i) {
        const ObjGroup& g = obj.groups[i];
        EXPECT_EQ(g.name, "petal" + std::to_string(i + 1));
        ASSERT_EQ(g.corners.size(), obj.groups[0].corners.size()) << g.name;
        ASSERT_FALSE(g.corners.empty());
        // Same topology: the corners, counted from the group's first
        // position, are the same in every group.
        int lowest = g.corners[0][0];
        for (const auto& tri : g.corners) {
            for (int index : tri) {
                lowest = std::min(lowest, index);
            }
        }
        firstIndex.push_back(lowest);
        for (size_t t = 0; t < g.corners.size(); ++t) {
            for (int k = 0; k < 3; ++k) {
                ASSERT_EQ(g.corners[t][k] - lowest, obj.groups[0].corners[t][k] - firstIndex[0])
                    << g.name << " triangle " << t;
            }
        }
        // The point farthest from the stem's foot: about half a unit out,
        // further from upright in each group.
        double far = 0.0;
        Point tip{0, 0, 0};
        for (const auto& tri : g.corners) {
            for (int index : tri) {
                const Point& p = obj.positions[index - 1];
                double d = std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z);
                if (d > far) {
                    far = d;
                    tip = p;
                }
            }
        }
        EXPECT_GT(far, 0.35) << g.name;
        EXPECT_LT(far, 0.65) << g.name;
        tipAngle.push_back(std::atan2(std::sqrt(tip.x * tip.x + tip.z * tip.z), tip.y));
    }
    for (int i = 1; i < 5; ++i) {
        EXPECT_GT(tipAngle[i], tipAngle[i - 1] + 0.1) << "petal" << i + 1;
    }
}

TEST(Assets, LanternBodyReachesThePlaneOfFlightAndCarriesTwoRims) {
    Obj obj = loadObj("lantern.obj");
    ASSERT_EQ(obj.groupLines, 3);
    const ObjGroup* mesh = obj.group("mesh");
    const ObjGroup* low = obj.group("lowrim");
    const ObjGroup* up = obj.group("uprim");
    ASSERT_TRUE(mesh != nullptr && low != nullptr && up != nullptr);
    double yMin = 1e9;
    double yMax = -1e9;
    double radius = 0.0;
    for (const auto& tri : mesh->corners) {
        for (int index : tri) {
            const Point& p = obj.positions[index - 1];
            yMin = std::min(yMin, p.y);
            yMax = std::max(yMax, p.y);
            radius = std::max(radius, std::sqrt(p.x * p.x + p.z * p.z));
        }
    }
    // Drawn 3 below the plane and 10 times larger: the body spans the plane
    // y = 0.3 of the model and fills the 4-unit beam radius.
    EXPECT_LT(yMin, 0.3 - 0.2);
    EXPECT_GT(yMax, 0.3 + 0.2);
    EXPECT_GT(radius, 0.35);
    EXPECT_LT(radius, 0.45);
    EXPECT_LT(obj.centre(*low).y, obj.centre(*up).y);
}

TEST(Assets, PicturesAre24BitWithPowerOfTwoSides) {
    for (const char* name : kGeneratedFiles) {
        std::string file = name;
        if (file.size() > 4 && file.substr(file.size() - 4) == ".bmp") {
            Bmp bmp = loadBmp(file);
            EXPECT_GT(bmp.width, 0) << file;
        }
    }
}

TEST(Assets, BraidNormalMapHoldsUnitNormalsFacingOut) {
    Bmp normals = loadBmp("braid_norm.bmp");
    Bmp braid = loadBmp("braid.bmp");
    ASSERT_GT(normals.width, 0);
    EXPECT_EQ(normals.width, braid.width);
    EXPECT_EQ(normals.height, braid.height);
    int tilted = 0;
    for (size_t i = 0; i < normals.rgb.size(); i += 3) {
        double x = normals.rgb[i] / 255.0 * 2.0 - 1.0;
        double y = normals.rgb[i + 1] / 255.0 * 2.0 - 1.0;
        double z = normals.rgb[i + 2] / 255.0 * 2.0 - 1.0;
        ASSERT_NEAR(std::sqrt(x * x + y * y + z * z), 1.0, 0.02) << "texel " << i / 3;
        ASSERT_GT(z, 0.0) << "texel " << i / 3;
        if (z < 0.95) {
            ++tilted;
        }
    }
    // A relief, not a flat map.
    EXPECT_GT(tilted, static_cast<int>(normals.rgb.size() / 3 / 4));
}

TEST(Assets, BackdropWrapsRoundWithoutASeam) {
    Bmp sky = loadBmp("bounds.bmp");
    ASSERT_GT(sky.width, 0);
    auto columnStep = [&sky](int x0, int x1) {
        double sum = 0.0;
        for (int y = 0; y < sky.height; ++y) {
            for (int c = 0; c < 3; ++c) {
                sum += std::fabs(double(sky.rgb[(size_t(y) * sky.width + x0) * 3 + c]) -
                                 double(sky.rgb[(size_t(y) * sky.width + x1) * 3 + c]));
            }
        }
        return sum / sky.height;
    };
    double typical = 0.0;
    int samples = 0;
    for (int x = 1; x < sky.width; x += 7) {
        typical += columnStep(x - 1, x);
        ++samples;
    }
    typical /= samples;
    EXPECT_LT(columnStep(sky.width - 1, 0), 2.0 * typical + 1.0);
    // Darker at the top of the sky than just above the trees, and dark below.
    auto rowLight = [&sky](int y) {
        double sum = 0.0;
        for (int x = 0; x < sky.width; ++x) {
            sum += sky.rgb[(size_t(y) * sky.width + x) * 3 + 2];
        }
        return sum / sky.width;
    };
    EXPECT_LT(rowLight(2), rowLight(sky.height / 4));
    EXPECT_LT(rowLight(sky.height - 3), rowLight(sky.height / 4));
}

TEST(Assets, RandomNumbersAreAThousandSixDecimalFractions) {
    std::istringstream in(dataFile("random_numbers.dat"));
    std::string line;
    int count = 0;
    double sum = 0.0;
    while (std::getline(in, line)) {
        double value = -1.0;
        char tail = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf%c", &value, &tail), 1) << line;
        ASSERT_EQ(line.size(), 8u) << line; // 0.dddddd
        EXPECT_GE(value, 0.0);
        EXPECT_LE(value, 1.0);
        sum += value;
        ++count;
    }
    EXPECT_EQ(count, 1000);
    EXPECT_NEAR(sum / count, 0.5, 0.05);
}

TEST(Assets, ViewerDrawsTheFireflyWithItsLanternAglow) {
    if (std::getenv("DISPLAY") == nullptr) {
        GTEST_SKIP() << "no display";
    }
    TempDir out;
    CommandResult run = runCommand(std::string("'") + FIREFLIES_BINARY_DIR + "/view_model' '" +
                                   FIREFLIES_DATA_DIR + "/firefly.obj' '" + out.path() + "/ff'");
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* view : {"chase", "behind", "side", "front", "top", "below"}) {
        std::string png = readFile(out.path() + "/ff-" + view + ".png");
        EXPECT_EQ(png.substr(0, 4), "\x89PNG") << view;
    }
    // Seen from above, the lantern at the tail shows as a patch of bright
    // yellow: the textures reached their groups through the game's loader.
    CommandResult raw = runCommand("convert '" + out.path() + "/ff-top.png' rgb:-");
    ASSERT_EQ(raw.status, 0) << raw.err;
    ASSERT_EQ(raw.out.size(), 800u * 600u * 3u);
    int glowing = 0;
    for (size_t i = 0; i < raw.out.size(); i += 3) {
        auto r = static_cast<unsigned char>(raw.out[i]);
        auto g = static_cast<unsigned char>(raw.out[i + 1]);
        auto b = static_cast<unsigned char>(raw.out[i + 2]);
        if (r > 180 && g > 180 && b < 80) {
            ++glowing;
        }
    }
    EXPECT_GT(glowing, 2000);
}
