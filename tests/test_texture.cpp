// BMP pictures to GL textures: one new texture per call, the picture's top
// row at t = 0, padded BMP rows read by their pitch, a clear line for a
// picture the game cannot use, and bounded memory for any file.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "bmp_fixture.h"
#include "gl_context.h"
#include "memory_limit.h"
#include "temp_dir.h"
#include "texture.h"
#include "tools.h"

namespace {

// Level 0 of the texture bound to GL_TEXTURE_2D as RGB rows, t = 0 first.
std::vector<Rgb> readBoundTexture(int& width, int& height) {
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    std::vector<Rgb> texels(static_cast<size_t>(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    return texels;
}

// The LoadError message of decoding these bytes as "pic.bmp", or "" when
// they decode. Needs no GL.
std::string decodeError(const std::string& bytes) {
    try {
        decodeBmp(bytes.data(), bytes.size(), "pic.bmp");
    } catch (const LoadError& error) {
        EXPECT_FALSE(error.onStdout);
        return error.message;
    }
    return "";
}

// bytes with the little-endian 32-bit value put at offset, which must
// leave room for all four bytes.
std::string with32(std::string bytes, size_t offset, unsigned value) {
    char quad[4];
    for (size_t i = 0; i < sizeof quad; ++i) {
        quad[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    }
    if (offset > bytes.size() || bytes.size() - offset < sizeof quad) {
        ADD_FAILURE() << "no room for 4 bytes at " << offset << " in " << bytes.size();
        return bytes;
    }
    bytes.replace(offset, sizeof quad, quad, sizeof quad);
    return bytes;
}

// The LoadError message of loading path.
std::string textureError(const std::string& path) {
    unsigned int id = 0;
    try {
        loadTexture(path, id);
    } catch (const LoadError& error) {
        EXPECT_FALSE(error.onStdout);
        return error.message;
    }
    return "";
}

} // namespace

TEST(Texture, EveryLoadMakesANewTextureThatStaysBound) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string path = dir.write("plain.bmp", bmp24Filled(4, 4, {10, 20, 30}));
    unsigned int first = 0;
    unsigned int second = 0;
    loadTexture(path, first);
    loadTexture(path, second);
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, second);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<unsigned int>(bound), second);
    GLint minFilter = 0;
    GLint wrap = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrap);
    EXPECT_EQ(minFilter, GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(wrap, GL_REPEAT);
    // Mipmapped down to 1x1.
    GLint smallest = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 2, GL_TEXTURE_WIDTH, &smallest);
    EXPECT_EQ(smallest, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Texture, TopRowOfThePictureLandsAtTZero) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    // Top row red, green; bottom row blue, white.
    std::string path = dir.write(
        "corners.bmp", bmp24(2, 2, {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}}));
    unsigned int id = 0;
    loadTexture(path, id);
    int width = 0;
    int height = 0;
    std::vector<Rgb> texels = readBoundTexture(width, height);
    ASSERT_EQ(width, 2);
    ASSERT_EQ(height, 2);
    EXPECT_EQ(texels[0], (Rgb{255, 0, 0}));
    EXPECT_EQ(texels[1], (Rgb{0, 255, 0}));
    EXPECT_EQ(texels[2], (Rgb{0, 0, 255}));
    EXPECT_EQ(texels[3], (Rgb{255, 255, 255}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Texture, PaddedRowsAreReadByTheirPitch) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    // Two pixels make 6-byte rows padded to 8: every texel must come back.
    std::vector<Rgb> picture;
    for (int i = 0; i < 8; ++i) {
        picture.push_back({static_cast<unsigned char>(30 * i),
                           static_cast<unsigned char>(200 - 20 * i),
                           static_cast<unsigned char>(7 * i + 1)});
    }
    unsigned int id = 0;
    loadTexture(dir.write("narrow.bmp", bmp24(2, 4, picture)), id);
    int width = 0;
    int height = 0;
    EXPECT_EQ(readBoundTexture(width, height), picture);

    // Three pixels (9-byte rows padded to 12) are scaled to four, and each
    // row of one colour stays one colour only when it is read from the right
    // place; the bottom row must survive the scaling.
    std::vector<Rgb> rows = {{255, 0, 0}, {255, 0, 0}, {255, 0, 0},
                             {0, 0, 255}, {0, 0, 255}, {0, 0, 255}};
    loadTexture(dir.write("three.bmp", bmp24(3, 2, rows)), id);
    std::vector<Rgb> scaled = readBoundTexture(width, height);
    ASSERT_EQ(width, 4);
    ASSERT_EQ(height, 2);
    for (int col = 0; col < 4; ++col) {
        EXPECT_EQ(scaled[col], (Rgb{255, 0, 0})) << col;
        EXPECT_EQ(scaled[4 + col], (Rgb{0, 0, 255})) << col;
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Texture, SidesAreScaledToTheNearestPowerOfTwo) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    // Each side to the nearer power of two, up when it lies halfway between.
    struct Case {
        int width, height, expectedWidth, expectedHeight;
    } cases[] = {{5, 3, 4, 4}, {6, 23, 8, 16}, {12, 1, 16, 1}, {57, 11, 64, 8}, {7, 96, 8, 128}};
    for (const Case& c : cases) {
        unsigned int id = 0;
        loadTexture(dir.write("side.bmp", bmp24Filled(c.width, c.height, {40, 80, 120})), id);
        int width = 0;
        int height = 0;
        std::vector<Rgb> texels = readBoundTexture(width, height);
        EXPECT_EQ(width, c.expectedWidth) << c.width << "x" << c.height;
        EXPECT_EQ(height, c.expectedHeight) << c.width << "x" << c.height;
        // One colour stays one colour, to the last row.
        EXPECT_EQ(texels.back(), (Rgb{40, 80, 120})) << c.width << "x" << c.height;
    }

    // Scaled down from 5 rows to 4, each row of the texture averages 1.25
    // rows of the picture: the top and bottom rows are still there.
    std::vector<Rgb> rows;
    for (Rgb color :
         {Rgb{255, 0, 0}, Rgb{255, 0, 0}, Rgb{0, 255, 0}, Rgb{0, 0, 255}, Rgb{0, 0, 255}}) {
        rows.insert(rows.end(), 2, color);
    }
    unsigned int id = 0;
    loadTexture(dir.write("five.bmp", bmp24(2, 5, rows)), id);
    int width = 0;
    int height = 0;
    std::vector<Rgb> scaled = readBoundTexture(width, height);
    ASSERT_EQ(width, 2);
    ASSERT_EQ(height, 4);
    EXPECT_EQ(scaled[0], (Rgb{255, 0, 0}));
    EXPECT_EQ(scaled[7], (Rgb{0, 0, 255}));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(Texture, MissingAndNon24BitPicturesNameTheFile) {
    REQUIRE_GL_CONTEXT();
    TempDir dir;
    std::string missing = dir.path() + "/nowhere.bmp";
    EXPECT_EQ(textureError(missing), missing + ": cannot open the picture");
    std::string grey = dir.write("grey.bmp", bmp8(4, 4));
    EXPECT_EQ(textureError(grey), grey + ": a 8-bit 4x4 picture; the game needs a 24-bit BMP");
    std::string text = dir.write("text.bmp", "not a picture at all");
    EXPECT_EQ(textureError(text).rfind(text + ": not a readable BMP picture (", 0), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(BmpDecoding, RowsComePackedTopRowFirstInBlueGreenRed) {
    // Three pixels a row: 9 bytes padded to 12 in the file, 9 in the result.
    std::string file =
        bmp24(3, 2, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15}, {16, 17, 18}});
    BmpPicture picture = decodeBmp(file.data(), file.size(), "pic.bmp");
    EXPECT_EQ(picture.width, 3);
    EXPECT_EQ(picture.height, 2);
    std::vector<unsigned char> expected = {3,  2,  1,  6,  5,  4,  9,  8,  7,
                                           12, 11, 10, 15, 14, 13, 18, 17, 16};
    EXPECT_EQ(picture.bytes, expected);

    TempDir dir;
    BmpPicture fromFile = readBmp(dir.write("pic.bmp", file));
    EXPECT_EQ(fromFile.bytes, expected);
}

// Found by fuzzing: SDL gave a 16329-pixel-wide picture a row length of 0,
// and the rows were then copied from far outside its pixels.
TEST(BmpDecoding, APictureTooLargeToBeATextureIsTurnedAwayBeforeDecoding) {
    std::string header = bmp24Filled(1, 1, {0, 0, 0});
    EXPECT_EQ(decodeError(with32(with32(header, 18, 16329), 22, 27137)),
              "pic.bmp: a 16329x27137 picture is larger than the game can use (at most 8192 "
              "pixels a side)");
    EXPECT_EQ(decodeError(with32(header, 22, static_cast<unsigned>(-9000))),
              "pic.bmp: a 1x9000 picture is larger than the game can use (at most 8192 pixels "
              "a side)");
    EXPECT_EQ(decodeError(with32(header, 18, 0)), "pic.bmp: a 0x1 picture has no pixels");
    EXPECT_EQ(decodeError(with32(header, 18, static_cast<unsigned>(-4))),
              "pic.bmp: a -4x1 picture has no pixels");
    // Top row first (a negative height) is a picture like any other.
    EXPECT_EQ(decodeError(with32(header, 22, static_cast<unsigned>(-1))), "");
}

// Found by fuzzing: SDL reads a header cut short as if the missing bytes were
// there, and a 25-byte file made it ask for 4 GB.
TEST(BmpDecoding, AFileEndingInsideItsHeaderIsTurnedAway) {
    std::string header = bmp24Filled(1, 1, {0, 0, 0});
    EXPECT_EQ(decodeError(header.substr(0, 53)),
              "pic.bmp: the file ends inside the picture's header");
    EXPECT_EQ(decodeError("BM"), "pic.bmp: the file ends inside the picture's header");
    // The old 12-byte OS/2 header, cut inside its bit count.
    std::string os2 = std::string("BM&Z\0\0\0\0\0\0\0\0\0\0\x0c\0\0\0E\x05\x05\xbb\x03q`", 25);
    EXPECT_EQ(decodeError(os2), "pic.bmp: the file ends inside the picture's header");
    // Something that is no BMP at all is left for SDL to name.
    EXPECT_EQ(decodeError("GIF89a").rfind("pic.bmp: not a readable BMP picture (", 0), 0u);
    EXPECT_EQ(decodeError("").rfind("pic.bmp: not a readable BMP picture (", 0), 0u);
}

TEST(BmpDecoding, OnlyTwentyFourBitPicturesReachSdl) {
    std::string header = bmp24Filled(2, 3, {0, 0, 0});
    std::string fourBit = header;
    fourBit[28] = 4;
    EXPECT_EQ(decodeError(fourBit), "pic.bmp: a 4-bit 2x3 picture; the game needs a 24-bit BMP");
    std::string grey = bmp8(4, 4);
    EXPECT_EQ(decodeError(grey), "pic.bmp: a 8-bit 4x4 picture; the game needs a 24-bit BMP");
}

TEST(BmpDecoding, ThePicturesOfTheGameReadAsTheirBytesDecode) {
    // Tests run in data/. The backdrop takes 3 MB, read in many pieces.
    for (const char* name : {"bounds.bmp", "braid.bmp", "shell.bmp"}) {
        std::string file = readFile(name);
        ASSERT_FALSE(file.empty()) << name;
        BmpPicture fromFile = readBmp(name);
        BmpPicture fromBytes = decodeBmp(file.data(), file.size(), name);
        EXPECT_EQ(fromFile.width, fromBytes.width) << name;
        EXPECT_EQ(fromFile.height, fromBytes.height) << name;
        EXPECT_TRUE(fromFile.bytes == fromBytes.bytes) << name;
        EXPECT_EQ(fromFile.bytes.size(), static_cast<size_t>(fromFile.width) * fromFile.height * 3);
    }
}

TEST(BmpDecoding, HugeFilesAndEndlessDevicesAreTurnedAwayInBoundedMemory) {
    REQUIRE_ADDRESS_SPACE_LIMIT();
    TempDir dir;
    auto read = [](const std::string& path) {
        return [path] {
            BmpPicture picture = readBmp(path);
            return std::to_string(picture.width) + "x" + std::to_string(picture.height);
        };
    };
    const std::size_t little = 16 << 20; // bytes the reading may add to the address space
    const std::string large = ": the file is larger than 201392128 bytes, more than the largest "
                              "picture the game takes (8192x8192) needs";

    // One byte over the limit (a sparse file: no disk taken) is refused unread.
    std::string path = dir.write("huge.bmp", "");
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(kMaxBmpBytes) + 1), 0);
    EXPECT_EQ(loadUnderMemoryLimit(read(path), little), path + large);
    // Something without the BMP mark is turned away by its first bytes,
    // however long it goes on.
    std::string zeros = dir.write("zeros.bmp", "");
    ASSERT_EQ(truncate(zeros.c_str(), off_t{8} << 20), 0);
    EXPECT_EQ(loadUnderMemoryLimit(read(zeros), little)
                  .rfind(zeros + ": not a readable BMP picture (", 0),
              0u);
    // A device or a pipe, which could go on for ever (or never begin), is
    // not read at all.
    EXPECT_EQ(loadUnderMemoryLimit(read("/dev/zero"), little),
              "/dev/zero: cannot read the picture (a device, not a file)");
    std::string header = with32(with32(bmp24Filled(1, 1, {0, 0, 0}), 18, 8192), 22, 8192);
    EndlessPipe largest(dir.path() + "/largest.bmp", header.substr(0, 54), std::string(1, '\0'));
    EXPECT_EQ(loadUnderMemoryLimit(read(largest.path()), little),
              largest.path() + ": cannot read the picture (a pipe, not a file)");
}
