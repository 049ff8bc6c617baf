// BMP pictures to GL textures: one new texture per call, the picture's top
// row at t = 0, padded BMP rows read by their pitch, and a clear line for a
// picture the game cannot use.
#include <gtest/gtest.h>

#include <GL/glew.h>

#include <string>
#include <vector>

#include "bmp_fixture.h"
#include "gl_context.h"
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
