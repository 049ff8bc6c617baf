// Any bytes as a BMP picture, decoded the way every texture of the game is
// (everything but the upload to GL): either a 24-bit picture whose packed
// rows are exactly width x height x 3 bytes, or one line naming the file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "checks.h"
#include "texture.h"
#include "tools.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        BmpPicture picture = decodeBmp(data, size, "fuzz.bmp");
        require(picture.width >= 1 && picture.height >= 1, "a picture has pixels");
        require(picture.bytes.size() ==
                    static_cast<std::size_t>(picture.width) * picture.height * 3,
                "the rows are packed to width x 3 bytes");
    } catch (const LoadError& error) {
        requireOneLine(error.message, "fuzz.bmp:");
    }
    return 0;
}
