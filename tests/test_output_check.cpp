// The net for GL errors: what counts as a line of SDL's or the driver's own,
// and a GL error planted in a program that opens the game's window failing
// its run through check_output on every SDL this machine has.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "game_runs.h"
#include "output_lines.h"
#include "temp_dir.h"

namespace {
const std::string kStencilQuery = "GL_INVALID_OPERATION in glGetFramebufferAttachmentParameteriv("
                                  "invalid pname GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE)";
} // namespace

TEST(OutputLines, OnlyTheKnownLinesOfSdlAndTheDriverAreLeftOut) {
    std::string foreign = "Mesa: error: " + kStencilQuery + "\n" + "Mesa: User error: " +
                          kStencilQuery + "\n" +
                          "CRITICAL: You are using the SDL disk i/o audio driver!\n"
                          "CRITICAL:  Writing to file [/tmp/x/capture.raw].\n"
                          "WARNING: You are using the SDL disk writer audio driver!\n"
                          " Writing to file [/tmp/x/capture.raw].\n";
    // The game's lines, some of them close to a foreign one, stay, in order,
    // the last one without its newline as printed.
    std::string game = "beam.wav: cannot be opened (No such file or directory)\n"
                       "Mesa: error: GL_INVALID_OPERATION in glGetFramebufferAttachmentParameteriv("
                       "invalid pname GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE)\n"
                       "CRITICAL: You are using the SDL disk i/o audio driver! twice\n"
                       "WARNING: the world is empty\n"
                       "Writing to file [/tmp/x/capture.raw].\n"
                       "no newline";
    EXPECT_EQ(withoutForeignLines(foreign), "");
    EXPECT_EQ(withoutForeignLines(foreign + game), game);
    EXPECT_EQ(withoutForeignLines("first\n" + foreign + "last\n"), "first\nlast\n");
    EXPECT_EQ(withoutForeignLines("\n\n"), "\n\n");
}

TEST(OutputLines, AGlErrorIsFoundInEitherMesasWords) {
    std::string text = "Error: GLEW said something\n"
                       "Mesa: User error: GL_INVALID_ENUM in glEnable(GL_TEXTURE_ENV)\n"
                       "Mesa: error: " + kStencilQuery + "\n" +
                       "Mesa: error: GL_INVALID_VALUE in glTexImage2D(width=-1)";
    std::vector<std::string> expected = {
        "Mesa: User error: GL_INVALID_ENUM in glEnable(GL_TEXTURE_ENV)",
        "Mesa: error: GL_INVALID_VALUE in glTexImage2D(width=-1)"};
    EXPECT_EQ(glErrorLines(text), expected);
    EXPECT_TRUE(glErrorLines("Mesa: warning: something\nnot Mesa: error: quoted\n").empty());
}

namespace {
// The SDL 1.2 libraries to try: the system's, and sdl12-compat's folder when
// it is installed beside classic SDL (Debian 12's libsdl1.2-compat).
struct SdlChoice {
    std::string name;
    std::string environment; // put before the program
};
std::vector<SdlChoice> sdlChoices() {
    std::vector<SdlChoice> choices = {{"the system's SDL", ""}};
    if (!sdl12CompatFolder().empty()) {
        choices.push_back({"sdl12-compat", "LD_LIBRARY_PATH=" + sdl12CompatFolder() + " "});
    }
    return choices;
}

CommandResult runChecked(const SdlChoice& sdl, const std::string& argument) {
    return runCommandAsIs(kPrivateDisplay + "MESA_DEBUG=1 " + sdl.environment +
                          shellWord(FIREFLIES_BINARY_DIR "/check_output") + " " +
                          shellWord(FIREFLIES_BINARY_DIR "/plant_gl_error") + " " + argument +
                          " </dev/null");
}
} // namespace

TEST(OutputCheck, AGlErrorInTheGamesWindowFailsTheRunOnEverySdl) {
    for (const SdlChoice& sdl : sdlChoices()) {
        SCOPED_TRACE(sdl.name);
        CommandResult clean = runChecked(sdl, "");
        if (clean.status == 3) {
            GTEST_SKIP() << "no window: " << clean.err;
        }
        EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
        EXPECT_EQ(clean.err.find("check_output:"), std::string::npos) << clean.err;
        if (sdl.name == "sdl12-compat") {
            // The run really had sdl12-compat: it calls itself 1.2.50 or later.
            ASSERT_EQ(clean.out.rfind("SDL 1.2.", 0), 0u) << clean.out;
            EXPECT_GE(std::atoi(clean.out.c_str() + 8), 50) << clean.out;
        }

        CommandResult planted = runChecked(sdl, "plant");
        EXPECT_EQ(planted.status, 1) << planted.out << planted.err;
        EXPECT_NE(planted.err.find("check_output: "), std::string::npos) << planted.err;
        EXPECT_NE(planted.err.find("made a GL error: Mesa: "), std::string::npos) << planted.err;
        EXPECT_NE(planted.err.find("GL_INVALID_ENUM in glEnable"), std::string::npos) << planted.err;
    }
}

TEST(OutputCheck, AFileIsScannedTheSameWay) {
    TempDir dir;
    std::string scan = shellWord(FIREFLIES_BINARY_DIR "/check_output") + " --scan ";
    std::string clean = dir.write("clean.log", "Mesa: error: " + kStencilQuery + "\n==1== ok\n");
    std::string dirty = dir.write("dirty.log", "Mesa: User error: GL_INVALID_ENUM in glEnable\n");
    EXPECT_EQ(runCommandAsIs(scan + shellWord(clean)).status, 0);
    CommandResult found = runCommandAsIs(scan + shellWord(dirty));
    EXPECT_EQ(found.status, 1);
    EXPECT_NE(found.err.find("GL_INVALID_ENUM in glEnable"), std::string::npos) << found.err;
    EXPECT_EQ(runCommandAsIs(scan + shellWord(dir.path() + "/none")).status, 2);
}
