// Tiny BMP writer for test fixtures: pictures are given top row first as
// RGB triples and stored the way BMP files keep them (bottom row first,
// blue-green-red, rows padded to four bytes).
#ifndef FIREFLIES_TEST_BMP_FIXTURE_H
#define FIREFLIES_TEST_BMP_FIXTURE_H

#include <array>
#include <string>
#include <vector>

// One pixel: red, green, blue, 0..255.
using Rgb = std::array<unsigned char, 3>;

// The bytes of a 24-bit BMP file of width x height pixels; pixels holds
// width * height entries, row by row from the top of the picture.
std::string bmp24(int width, int height, const std::vector<Rgb>& pixels);

// A 24-bit BMP of width x height pixels all of one colour.
std::string bmp24Filled(int width, int height, Rgb color);

// The bytes of an 8-bit paletted (grey ramp) BMP of width x height pixels.
std::string bmp8(int width, int height);

#endif
