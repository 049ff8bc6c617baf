// What the tests make of a program's standard error: the lines that SDL, its
// audio driver or the GL driver print of their own accord on one platform
// or the other (classic SDL 1.2 or sdl12-compat over SDL 2, Mesa 22 or 25),
// and the GL errors that Mesa reports under MESA_DEBUG. Foreign lines are
// known exactly, so that no line of the game's own can pass for one.
#ifndef FIREFLIES_TEST_OUTPUT_LINES_H
#define FIREFLIES_TEST_OUTPUT_LINES_H

#include <string>
#include <vector>

// True when a line (without its newline) is one that SDL or the GL driver
// prints without the game's doing.
bool isForeignLine(const std::string& line);

// The text with every foreign line removed; every other line kept as it is,
// newlines included.
std::string withoutForeignLines(const std::string& text);

// The lines of the text in which Mesa reports a GL error ("Mesa: User error:"
// on Mesa 22, "Mesa: error:" on Mesa 25), foreign ones left out.
std::vector<std::string> glErrorLines(const std::string& text);

// What a program run by a test wrote to standard error, as the test should
// see it: without foreign lines. Each GL error in it fails the current test,
// naming the command.
std::string checkedStandardError(const std::string& raw, const std::string& command);

#endif
