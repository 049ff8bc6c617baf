// The OBJ reader: groups and their order, fan triangulation, the faces it
// drops, materials from the caller's templates, tangent bases, the flower's
// in-between petals, and one clear line for every file it cannot use.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bmp_fixture.h"
#include "gl_context.h"
#include "memory_limit.h"
#include "model.h"
#include "temp_dir.h"
#include "tools.h"

namespace {

// Eight positions, normals and texture coordinates, numbered so that a
// corner's three indices can be told apart in the data.
const char* kPoints = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 2 1 0\nv 3 0 0\nv 3 1 0\n"
                      "vt 0.25 0.5\nvt 1 0\nvt 1 1\nvt 0 1\n"
                      "vn 0 0 1\nvn 0 1 0\nvn 1 0 0\nvn 0 0 2\n";

// Names of the groups in list order.
std::vector<std::string> groupNames(const Model& model) {
    std::vector<std::string> names;
    for (const ModelGroup* g = model.groups; g != nullptr; g = g->next) {
        names.push_back(g->name);
    }
    return names;
}

// The LoadError message for loading this model text, or "" when it loads.
std::string loadError(const TempDir& dir, const std::string& text) {
    std::string path = dir.write("bad.obj", text);
    try {
        Model model(path, nullptr, 0, false);
    } catch (const LoadError& error) {
        EXPECT_FALSE(error.onStdout);
        EXPECT_EQ(error.message.find('\n'), std::string::npos);
        EXPECT_EQ(error.message.compare(0, path.size(), path), 0) << error.message;
        return error.message.substr(path.size());
    }
    return "";
}

} // namespace

TEST(ModelLoader, FileWithoutGroupsPutsEverythingInDefault) {
    TempDir dir;
    std::string path = dir.write("plain.obj", std::string(kPoints) + "f 1/1/1 2/2/2 3/3/3\n");
    // Not examined: the file has no group lines, so groupCount is 0.
    ModelGroup red;
    red.name = "default";
    red.color[1] = 0.0f;
    red.alpha = 0.5f;
    Model model(path, &red, 1, false);
    EXPECT_EQ(model.fileName, path);
    EXPECT_EQ(model.groupCount, 0);
    EXPECT_EQ(model.vertexCount, 8);
    EXPECT_EQ(model.normalCount, 4);
    EXPECT_EQ(model.texCoordCount, 4);
    ASSERT_EQ(groupNames(model), std::vector<std::string>{"default"});
    const ModelGroup& g = *model.groups;
    EXPECT_EQ(g.triangleCount, 1);
    EXPECT_EQ(g.textureCount, 0);
    EXPECT_FALSE(g.bumpMapped);
    EXPECT_EQ(g.color[1], 1.0f);
    EXPECT_EQ(g.alpha, 1.0f);
}

TEST(ModelLoader, GroupsListNewestFirstAndARepeatedNameFeedsOneGroup) {
    TempDir dir;
    std::string path =
        dir.write("groups.obj", std::string(kPoints) + "f 1/1/1 2/2/2 3/3/3\n"
                                                       "g wing extra words\nf 1/1/1 2/2/2 4/4/4\n"
                                                       "g shell\nf 2/2/2 3/3/3 4/4/4\n"
                                                       "g wing\nf 1/1/1 3/3/3 4/4/4\n");
    Model model(path, nullptr, 0, false);
    EXPECT_EQ(model.groupCount, 3);
    EXPECT_EQ(groupNames(model), (std::vector<std::string>{"shell", "wing", "default"}));
    ModelGroup* wing = model.findGroup("wing");
    ASSERT_NE(wing, nullptr);
    EXPECT_EQ(wing->triangleCount, 2);
    EXPECT_EQ(wing->faceIndices, (std::vector<int>{1, 3}));
    EXPECT_EQ(model.findGroup("default")->faceIndices, std::vector<int>{0});
    EXPECT_EQ(model.findGroup("missing"), nullptr);
    EXPECT_EQ(model.findOrAddGroup("wing"), wing);
    ModelGroup* added = model.findOrAddGroup("tail");
    EXPECT_EQ(model.groups, added);
    EXPECT_EQ(added->normalMapId, -1);
    EXPECT_EQ(added->normalMapName, "default");
}

// Every group line once searched the whole list: a model of 30000 group
// lines took 20 seconds to read, 100000 took three minutes.
TEST(ModelLoader, ThousandsOfGroupsAreReadInLinearTime) {
    TempDir dir;
    std::string text = "v 0 0 0\nvt 0 0\nvn 0 0 1\n";
    const int groups = 30000;
    for (int i = 0; i < groups; ++i) {
        text += "g g" + std::to_string(i) + "\nf 1/1/1 1/1/1 1/1/1\n";
    }
    text += "g g0\nf 1/1/1 1/1/1 1/1/1\n";
    std::string path = dir.write("many.obj", text);
    auto start = std::chrono::steady_clock::now();
    Model model(path, nullptr, 0, false);
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 5.0); // about 0.05 s, and under a second even in valgrind
    EXPECT_EQ(model.groupCount, groups + 1);
    EXPECT_EQ(model.groups->name, "g" + std::to_string(groups - 1));
    EXPECT_EQ(model.findGroup("g0")->faceIndices, (std::vector<int>{0, groups}));
}

TEST(ModelLoader, PolygonsBecomeFansWithIndicesInVtVnOrder) {
    TempDir dir;
    std::string path =
        dir.write("fan.obj", std::string(kPoints) + "f 1/1/1 2/2/2 3/3/3 4/4/4\n"
                                                    "f 1/4/2 5/3/3 6/2/4 7/1/1 8/2/3\n");
    Model model(path, nullptr, 0, false);
    ASSERT_EQ(model.faceCount, 5);
    const int expected[5][3] = {{1, 2, 3}, {1, 3, 4}, {1, 5, 6}, {1, 6, 7}, {1, 7, 8}};
    for (int f = 0; f < 5; ++f) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(model.faces[f].vertexIndex[k], expected[f][k]) << f << " " << k;
        }
    }
    // v/vt/vn: the second number is the texture coordinate, the third the normal.
    EXPECT_EQ(model.faces[2].texCoordIndex[0], 4);
    EXPECT_EQ(model.faces[2].normalIndex[0], 2);
    EXPECT_EQ(model.faces[4].texCoordIndex[2], 2);
    EXPECT_EQ(model.faces[4].normalIndex[2], 3);
    // The renderer's copy: corner 2 of the second triangle is position 4.
    const Triangle& tri = model.groups->triangles[1];
    EXPECT_EQ(tri.position[2][1], 1.0f);
    EXPECT_EQ(tri.position[2][0], 0.0f);
    EXPECT_EQ(model.groups->triangles[2].normal[0][1], 1.0f);
}

TEST(ModelLoader, TextureCoordinatesAreNegatedForDrawing) {
    TempDir dir;
    std::string path = dir.write("vt.obj", std::string(kPoints) + "f 1/1/1 2/2/1 3/3/1\n");
    Model model(path, nullptr, 0, false);
    EXPECT_EQ(model.texCoords[0][0], 0.25f);
    EXPECT_EQ(model.texCoords[0][1], 0.5f);
    const Triangle& tri = model.groups->triangles[0];
    EXPECT_EQ(tri.texCoord[0][0], -0.25f);
    EXPECT_EQ(tri.texCoord[0][1], -0.5f);
    EXPECT_EQ(tri.texCoord[2][0], -1.0f);
}

TEST(ModelLoader, FacesWithoutAllThreeIndicesAreDropped) {
    TempDir dir;
    std::string path = dir.write("dropped.obj", std::string(kPoints) + "f 1 2 3\n"
                                                                       "f 1//1 2//2 3//3\n"
                                                                       "f 2/2/2 3/3/3 4/4/4\n"
                                                                       "f 5/1/1\n");
    Model model(path, nullptr, 0, false);
    // The two short forms are dropped; a single corner gives a triangle
    // with three equal corners.
    ASSERT_EQ(model.faceCount, 2);
    EXPECT_EQ(model.faces[0].vertexIndex[0], 2);
    EXPECT_EQ(model.faces[0].vertexIndex[2], 4);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(model.faces[1].vertexIndex[k], 5);
    }
}

TEST(ModelLoader, LongTokensNamesAndCommentsAreReadWhole) {
    TempDir dir;
    std::string longName(300, 'n');
    std::string longWord(200, 'x');
    std::string path = dir.write(
        "long.obj", std::string(kPoints) + "# " + std::string(150, 'c') + " f 1/1/1 2/2/2 3/3/3\n" +
                        longWord + " f 1/1/1 2/2/2 3/3/3\n" + "g " + longName +
                        "\nf 1/1/1 2/2/2 3/3/3\n" + "usemtl " + longWord + "\n");
    Model model(path, nullptr, 0, false);
    EXPECT_EQ(model.faceCount, 1);
    ModelGroup* g = model.findGroup(longName);
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(g->triangleCount, 1);
}

TEST(ModelLoader, AnIndexOutsideItsArrayNamesFileLineAndIndex) {
    TempDir dir;
    std::string points = kPoints; // 16 lines
    EXPECT_EQ(loadError(dir, points + "g a\nf 1/1/1 2/2/2 40/3/3\n"),
              ":18: face position index 40 is outside 1..8");
    EXPECT_EQ(loadError(dir, points + "f 1/1/1 2/0/2 3/3/3\n"),
              ":17: face texture index 0 is outside 1..4");
    EXPECT_EQ(loadError(dir, points + "\n\nf 1/1/-1 2/2/2 3/3/3\n"),
              ":19: face normal index -1 is outside 1..4");
    // A fan corner past the end, and an index too large for an int.
    EXPECT_EQ(loadError(dir, points + "f 1/1/1 2/2/2 3/3/3 9/1/1\n"),
              ":17: face position index 9 is outside 1..8");
    EXPECT_EQ(loadError(dir, points + "f 1/1/1 2/2/2 3/99999999999/3\n"),
              ":17: face texture index 2147483647 is outside 1..4");
    EXPECT_EQ(loadError(dir, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1/1/1 2/1/1 3/1/1\n"),
              ":4: face texture index 1 is outside 1..0");
}

TEST(ModelLoader, AModelWithoutTrianglesIsALoadError) {
    TempDir dir;
    const std::string refused =
        ": the model has no triangles (no face line with position/texture/normal corners)";
    // Positions but no faces (a truncated file), faces that are all dropped,
    // an empty file.
    EXPECT_EQ(loadError(dir, kPoints), refused);
    EXPECT_EQ(loadError(dir, std::string(kPoints) + "g mesh\nf 1 2 3\nf 1//1 2//2 3//3\n"),
              refused);
    EXPECT_EQ(loadError(dir, ""), refused);
    // One triangle is enough.
    EXPECT_EQ(loadError(dir, std::string(kPoints) + "f 1/1/1 1/1/1 1/1/1\n"), "");
}

TEST(ModelLoader, MoreThanAMillionOfAnythingIsTurnedAwayBeforeItIsStored) {
    TempDir dir;
    const std::string large = "; the game takes no model that large";
    const std::string oneOfEach = "v 0 0 0\nvt 0 0\nvn 0 0 1\n";
    // A million positions load; one more is turned away on its line.
    std::string million = repeated("v\n", 1000000);
    EXPECT_EQ(loadError(dir, million + oneOfEach + "f 1/1/1 1/1/1 1/1/1\n"),
              ":1000001: more than 1000000 positions" + large);
    EXPECT_EQ(loadError(dir, million + "vt 0 0\nvn 0 0 1\nf 1/1/1 1/1/1 1000000/1/1\n"), "");
    EXPECT_EQ(loadError(dir, oneOfEach + repeated("vn\n", 999999) + "\n\nvn 1 1 1\n"),
              ":1000005: more than 1000000 normals" + large);
    EXPECT_EQ(loadError(dir, oneOfEach + repeated("vt\n", 1000000)),
              ":1000003: more than 1000000 texture coordinates" + large);
    // Triangles count across faces: two fans of half a million and one more.
    std::string halfMillion = "f 1/1/1" + repeated(" 1", 500001) + "\n";
    EXPECT_EQ(loadError(dir, oneOfEach + halfMillion + halfMillion + "f 1/1/1 1/1/1 1/1/1\n"),
              ":6: more than 1000000 triangles" + large);
    // Groups are counted by name, "default" among them.
    std::string groups = oneOfEach + "f 1/1/1 1/1/1 1/1/1\n";
    for (int i = 1; i < 100000; ++i) {
        groups += "g " + std::to_string(i) + "\n";
    }
    EXPECT_EQ(loadError(dir, groups + "g 1\ng 99999\ng\n"), "");
    EXPECT_EQ(loadError(dir, groups + "g 1\ng 100000\n"),
              ":100005: more than 100000 groups" + large);
}

TEST(ModelLoader, HugeFilesAndEndlessDevicesAreTurnedAwayInBoundedMemory) {
    REQUIRE_ADDRESS_SPACE_LIMIT();
    TempDir dir;
    auto load = [](const std::string& path) {
        return [path] {
            Model model(path, nullptr, 0, false);
            return std::string("loaded");
        };
    };
    const std::string large = ": the model is larger than 64 MB (67108864 bytes), more than the "
                              "game reads";
    // One byte over the limit (a sparse file: no disk taken) is refused unread.
    std::string path = dir.write("huge.obj", "");
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(kMaxModelBytes) + 1), 0);
    EXPECT_EQ(loadUnderMemoryLimit(load(path), 16 << 20), path + large);
    // A device that never ends is not read at all.
    EXPECT_EQ(loadUnderMemoryLimit(load("/dev/zero"), 16 << 20),
              "/dev/zero: cannot read the model (a device, not a file)");
}

TEST(ModelLoader, AMissingFileIsALoadError) {
    try {
        Model model("no-such-model.obj", nullptr, 0, false);
        FAIL() << "loaded a missing file";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message.rfind("no-such-model.obj: cannot open the model", 0), 0u)
            << error.message;
    }
}

TEST(ModelLoader, TemplatesAreMatchedByNameWithinTemplateCount) {
    TempDir dir;
    std::string path =
        dir.write("materials.obj", std::string(kPoints) + "g body\nf 1/1/1 2/2/2 3/3/3\n"
                                                          "g rim\nf 1/1/1 3/3/3 4/4/4\n"
                                                          "g glow\nf 2/2/2 3/3/3 4/4/4\n");
    // Exactly as long as templateCount says, so a read past it is caught by
    // the address sanitizer; "glow" has no template.
    std::vector<ModelGroup> templates(2);
    templates[0].name = "rim";
    templates[0].textureCount = 2;
    templates[0].textureNames = {"default", "default"};
    templates[0].textureIds = {7, 9};
    templates[0].bumpMapped = true;
    templates[0].normalMapId = 11; // given as a texture, so no basis is computed
    templates[0].color[0] = 0.5f;
    templates[0].alpha = 0.25f;
    templates[1].name = "body";
    templates[1].textureCount = 1; // names and ids missing: no file, texture 0
    templates[1].color[2] = 0.0f;
    Model model(path, templates.data(), 2, false);
    EXPECT_EQ(model.groupCount, 3);

    const ModelGroup& rim = *model.findGroup("rim");
    EXPECT_EQ(rim.textureCount, 2);
    EXPECT_EQ(rim.textureIds, (std::vector<int>{7, 9}));
    EXPECT_TRUE(rim.bumpMapped);
    EXPECT_EQ(rim.normalMapId, 11);
    EXPECT_EQ(rim.color[0], 0.5f);
    EXPECT_EQ(rim.color[1], 1.0f);
    EXPECT_EQ(rim.alpha, 0.25f);
    EXPECT_EQ(rim.triangles[0].tangentBasis[1][1], 1.0f);

    const ModelGroup& body = *model.findGroup("body");
    EXPECT_EQ(body.textureIds, std::vector<int>{0});
    EXPECT_EQ(body.color[2], 0.0f);
    EXPECT_FALSE(body.bumpMapped);

    const ModelGroup& glow = *model.findGroup("glow");
    EXPECT_EQ(glow.textureCount, 0);
    EXPECT_EQ(glow.alpha, 1.0f);
}

TEST(ModelLoader, TemplatePicturesLoadPerGroupAndBadOnesNameTheFile) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string picture = dir.write("skin.bmp", bmp24Filled(4, 4, {200, 100, 50}));
    std::string normalMap = dir.write("bumps.bmp", bmp24Filled(4, 4, {128, 128, 255}));
    std::string path =
        dir.write("skinned.obj", std::string(kPoints) + "g left\nf 1/1/1 2/2/1 3/3/1\n"
                                                        "g right\nf 1/1/1 2/2/1 3/3/1\n");
    std::vector<ModelGroup> templates(2);
    templates[0].name = "left";
    templates[1].name = "right";
    for (ModelGroup& t : templates) {
        t.textureCount = 1;
        t.textureNames = {picture};
        t.bumpMapped = true;
        t.normalMapName = normalMap;
    }
    testing::internal::CaptureStdout();
    Model model(path, templates.data(), 2, false);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, ""); // the combiner extension is there
    const ModelGroup& left = *model.findGroup("left");
    const ModelGroup& right = *model.findGroup("right");
    EXPECT_NE(left.textureIds[0], right.textureIds[0]);
    EXPECT_NE(left.normalMapId, right.normalMapId);
    EXPECT_NE(left.normalMapId, left.textureIds[0]);
    EXPECT_TRUE(glIsTexture(static_cast<GLuint>(left.textureIds[0])));
    // The basis was computed: with the stored coordinates (-0.25, -0.5),
    // (-1, 0), (-1, -1) the first row is (-4/3, -8/9, 0) normalised.
    EXPECT_NEAR(left.triangles[0].tangentBasis[0][0], -0.83205f, 1e-4);
    EXPECT_NEAR(left.triangles[0].tangentBasis[0][1], -0.55470f, 1e-4);

    templates[1].normalMapName = dir.path() + "/missing.bmp";
    try {
        Model broken(path, templates.data(), 2, false);
        FAIL() << "loaded a model whose normal map is missing";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message, dir.path() + "/missing.bmp: cannot open the picture");
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(TangentBasis, RightTriangleGivesTheTextureAxes) {
    // Stored (negated) coordinates (0, 0), (1, 0), (0, 1) on a triangle in
    // the z = 0 plane.
    Triangle tri{};
    float positions[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    float coords[3][2] = {{0, 0}, {1, 0}, {0, 1}};
    std::memcpy(tri.position, positions, sizeof positions);
    std::memcpy(tri.texCoord, coords, sizeof coords);
    computeTangentBasis(tri);
    const float expected[3][3] = {{1, 0, 0}, {0, -1, 0}, {0, 0, 1}};
    for (int row = 0; row < 3; ++row) {
        for (int c = 0; c < 3; ++c) {
            EXPECT_FLOAT_EQ(tri.tangentBasis[row][c], expected[row][c]) << row << " " << c;
        }
    }
}

TEST(TangentBasis, DegenerateTrianglesGetTheIdentity) {
    const float identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    // Collinear texture coordinates: |det| below 0.0001.
    Triangle collinear{};
    float positions[3][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    float line[3][2] = {{0, 0}, {0.5f, 0.5f}, {1, 1.00005f}};
    std::memcpy(collinear.position, positions, sizeof positions);
    std::memcpy(collinear.texCoord, line, sizeof line);
    // A triangle without area but with a proper mapping: D is 0.
    Triangle flat{};
    float flatPositions[3][3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}};
    float coords[3][2] = {{0, 0}, {1, 0}, {0, 1}};
    std::memcpy(flat.position, flatPositions, sizeof flatPositions);
    std::memcpy(flat.texCoord, coords, sizeof coords);
    for (Triangle* tri : {&collinear, &flat}) {
        for (int row = 0; row < 3; ++row) {
            for (int c = 0; c < 3; ++c) {
                tri->tangentBasis[row][c] = 7.0f;
            }
        }
        computeTangentBasis(*tri);
        for (int row = 0; row < 3; ++row) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_EQ(tri->tangentBasis[row][c], identity[row][c]);
            }
        }
    }
}

namespace {

// Groups G1 to G5 in file order, one triangle each with corner 0 at x = 10 i
// and its normal's y = i, so a blended group shows its t in both.
std::string petalFile() {
    std::string text = kPoints;
    for (int i = 1; i <= 5; ++i) {
        text += "v " + std::to_string(10 * i) + " 0 0\n";
        text += "vn 0 " + std::to_string(i) + " 0\n";
    }
    for (int i = 1; i <= 5; ++i) {
        text += "g G" + std::to_string(i) + "\nf " + std::to_string(8 + i) + "/1/" +
                std::to_string(4 + i) + " 2/2/1 3/3/1\n";
    }
    return text;
}

// Corner-0 x of every group in list order ("default" has none: -1).
std::vector<float> cornerX(const Model& model) {
    std::vector<float> xs;
    for (const ModelGroup* g = model.groups; g != nullptr; g = g->next) {
        xs.push_back(g->triangles.empty() ? -1.0f : g->triangles[0].position[0][0]);
    }
    return xs;
}

} // namespace

TEST(InbetweenGroups, ThreeStepsEvenParity) {
    TempDir dir;
    std::string path = dir.write("petals.obj", petalFile());
    Model model(path, nullptr, 0, false);
    ASSERT_EQ(groupNames(model),
              (std::vector<std::string>{"G5", "G4", "G3", "G2", "G1", "default"}));
    model.addInbetweenGroups(3, 2);
    // t = 0.75 and 0.25 between G5 (x 50) and G4 (x 40), then G4, G2.
    EXPECT_EQ(groupNames(model), (std::vector<std::string>{"new", "new", "G4", "G2", "default"}));
    EXPECT_EQ(cornerX(model), (std::vector<float>{42.5f, 47.5f, 40.0f, 20.0f, -1.0f}));
    const ModelGroup& blended = *model.groups;
    EXPECT_FLOAT_EQ(blended.triangles[0].normal[0][1], 4.25f);
    EXPECT_EQ(blended.triangles[0].texCoord[0][0], -0.25f);
    EXPECT_EQ(blended.triangleCount, 1);
    EXPECT_TRUE(blended.faceIndices.empty());
    EXPECT_EQ(blended.normalMapName, "default");
    // 5 group lines and 4 groups added; of the 5 dropped, the head does not
    // count: 9 - 4.
    EXPECT_EQ(model.groupCount, 5);
}

TEST(InbetweenGroups, ThreeStepsOddParity) {
    TempDir dir;
    std::string path = dir.write("petals.obj", petalFile());
    Model model(path, nullptr, 0, false);
    model.addInbetweenGroups(3, -1); // a negative odd parity counts as odd
    // The G4-G3 group (t 0.5, x 35), the G5-G4 group at t 0.5, then G5, G3, G1.
    EXPECT_EQ(groupNames(model), (std::vector<std::string>{"new", "new", "G5", "G3", "G1"}));
    EXPECT_EQ(cornerX(model), (std::vector<float>{35.0f, 45.0f, 50.0f, 30.0f, 10.0f}));
    EXPECT_FLOAT_EQ(model.groups->triangles[0].normal[0][1], 3.5f);
    // 5 group lines and 4 groups added, 5 dropped after the head.
    EXPECT_EQ(model.groupCount, 4);
}

TEST(InbetweenGroups, ZeroStepsOnlyThins) {
    TempDir dir;
    std::string path = dir.write("petals.obj", petalFile());
    Model model(path, nullptr, 0, false);
    model.addInbetweenGroups(0, 1);
    EXPECT_EQ(groupNames(model), (std::vector<std::string>{"G5", "G3", "G1"}));
}

TEST(InbetweenGroups, CopiesTheMaterialOfTheGroupItStartsFrom) {
    TempDir dir;
    std::string path = dir.write("petals.obj", petalFile());
    ModelGroup petal;
    petal.name = "G5";
    petal.textureCount = 1;
    petal.textureNames = {"default"};
    petal.textureIds = {42};
    petal.color[1] = 0.5f;
    petal.alpha = 0.75f;
    Model model(path, &petal, 1, false);
    model.addInbetweenGroups(1, 1);
    // Odd parity keeps the head: the group between G5 and G4.
    const ModelGroup& blended = *model.groups;
    EXPECT_EQ(blended.name, "new");
    EXPECT_EQ(blended.textureCount, 1);
    EXPECT_EQ(blended.textureIds, std::vector<int>{42});
    EXPECT_TRUE(blended.textureNames.empty());
    EXPECT_EQ(blended.color[1], 0.5f);
    EXPECT_EQ(blended.alpha, 0.75f);
}

TEST(InbetweenGroups, AShorterNextGroupIsALoadError) {
    TempDir dir;
    std::string path = dir.write(
        "uneven.obj",
        std::string(kPoints) + "g small\nf 1/1/1 2/2/2 3/3/3\ng big\nf 1/1/1 2/2/2 3/3/3 4/4/4\n");
    Model model(path, nullptr, 0, false);
    try {
        model.addInbetweenGroups(2, 0);
        FAIL() << "blended 2 triangles with 1";
    } catch (const LoadError& error) {
        EXPECT_EQ(error.message,
                  path + ": group small has 1 triangles, fewer than the 2 of group big it is "
                         "blended with");
    }
}

TEST(ModelLoader, WarnsOnceWithoutTheCombinerExtensionAndLoadsAnyway) {
    REQUIRE_GL_CONTEXT();
    const char* hidden = "-GL_EXT_texture_env_combine";
    const char* override = std::getenv("MESA_EXTENSION_OVERRIDE");
    if (override == nullptr || std::string(override) != hidden) {
        // Run this very test again in a process whose GL hides the extension.
        CommandResult child =
            runCommand(std::string("MESA_EXTENSION_OVERRIDE=") + hidden + " " +
                       FIREFLIES_BINARY_DIR + "/test_model_loader --gtest_filter=" +
                       "ModelLoader.WarnsOnceWithoutTheCombinerExtension*");
        EXPECT_EQ(child.status, 0) << child.out << child.err;
        EXPECT_NE(child.out.find("[  PASSED  ] 1 test."), std::string::npos) << child.out;
        return;
    }
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    ASSERT_EQ(std::strstr(extensions, "GL_EXT_texture_env_combine"), nullptr);
    TempDir dir;
    ModelGroup t;
    t.name = "a";
    t.textureCount = 1;
    t.textureNames = {dir.write("skin.bmp", bmp24Filled(2, 2, {1, 2, 3}))};
    t.bumpMapped = true;
    t.normalMapName = dir.write("normals.bmp", bmp24Filled(2, 2, {128, 128, 255}));
    std::string path =
        dir.write("one.obj", std::string(kPoints) + "g a\nf 1/1/1 2/2/2 3/3/3 4/4/4\n");
    testing::internal::CaptureStdout();
    Model model(path, &t, 1, false);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "no GL_EXT_texture_env_combine\n");
    EXPECT_EQ(model.findGroup("a")->triangleCount, 2);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(ModelLoader, JitterMovesEveryCoordinateByAtMostATwentieth) {
    TempDir dir;
    std::string path = dir.write("plain.obj", std::string(kPoints) + "f 1/1/1 2/2/2 3/3/3\n");
    Model still(path, nullptr, 0, false);
    std::srand(7);
    Model shaken(path, nullptr, 0, true);
    int moved = 0;
    for (int v = 0; v < still.vertexCount; ++v) {
        for (int c = 0; c < 3; ++c) {
            float shift = shaken.vertices[v][c] - still.vertices[v][c];
            EXPECT_GE(shift, 0.0f);
            EXPECT_LE(shift, 0.05f);
            moved += shift > 0.0f ? 1 : 0;
        }
    }
    EXPECT_GT(moved, 20);
    // The triangles are built from the moved positions.
    EXPECT_EQ(shaken.groups->triangles[0].position[1][0], shaken.vertices[1][0]);
}
