#include "bmp_fixture.h"

namespace {

void put16(std::string& out, unsigned value) {
    out.push_back(static_cast<char>(value & 0xff));
    out.push_back(static_cast<char>((value >> 8) & 0xff));
}

void put32(std::string& out, unsigned value) {
    put16(out, value & 0xffff);
    put16(out, (value >> 16) & 0xffff);
}

// File header and BITMAPINFOHEADER for a picture with the given row size
// and palette entries.
std::string header(int width, int height, int bits, unsigned rowBytes, unsigned paletteEntries) {
    unsigned offset = 14 + 40 + paletteEntries * 4;
    unsigned imageBytes = rowBytes * static_cast<unsigned>(height);
    std::string out = "BM";
    put32(out, offset + imageBytes);
    put32(out, 0);
    put32(out, offset);
    put32(out, 40);
    put32(out, static_cast<unsigned>(width));
    put32(out, static_cast<unsigned>(height)); // positive: bottom row first
    put16(out, 1);
    put16(out, static_cast<unsigned>(bits));
    put32(out, 0); // no compression
    put32(out, imageBytes);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, paletteEntries);
    put32(out, 0);
    return out;
}

} // namespace

std::string bmp24(int width, int height, const std::vector<Rgb>& pixels) {
    unsigned rowBytes = (static_cast<unsigned>(width) * 3 + 3) & ~3u;
    std::string out = header(width, height, 24, rowBytes, 0);
    for (int row = height - 1; row >= 0; --row) {
        std::string line;
        for (int col = 0; col < width; ++col) {
            const Rgb& p = pixels[static_cast<size_t>(row) * width + col];
            line.push_back(static_cast<char>(p[2]));
            line.push_back(static_cast<char>(p[1]));
            line.push_back(static_cast<char>(p[0]));
        }
        line.resize(rowBytes, '\0');
        out += line;
    }
    return out;
}

std::string bmp24Filled(int width, int height, Rgb color) {
    return bmp24(width, height, std::vector<Rgb>(static_cast<size_t>(width) * height, color));
}

std::string bmp8(int width, int height) {
    unsigned rowBytes = (static_cast<unsigned>(width) + 3) & ~3u;
    std::string out = header(width, height, 8, rowBytes, 256);
    for (unsigned i = 0; i < 256; ++i) {
        put32(out, i * 0x010101u);
    }
    for (int row = 0; row < height; ++row) {
        std::string line;
        for (int col = 0; col < width; ++col) {
            line.push_back(static_cast<char>((row * 16 + col) & 0xff));
        }
        line.resize(rowBytes, '\0');
        out += line;
    }
    return out;
}
