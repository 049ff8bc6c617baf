#include "installed_game.h"

#include <stdexcept>

const std::string kPrivateDisplay =
    "timeout 120 xvfb-run -a -s '-screen 0 1024x768x24 -noreset' env SDL_VIDEODRIVER=x11 ";

std::string shellWord(const std::string& text) {
    std::string word = "'";
    for (char c : text) {
        word += (c == '\'') ? std::string("'\\''") : std::string(1, c);
    }
    return word + "'";
}

bool endsWithStatus(const CommandResult& result, int status) {
    return result.out.find("status=" + std::to_string(status) + "\n") != std::string::npos;
}

CommandResult installGame(const std::string& prefix, const std::string& destdir) {
    std::string env = destdir.empty() ? "" : "DESTDIR=" + shellWord(destdir) + " ";
    return runCommand(env + "cmake --install " + shellWord(FIREFLIES_BINARY_DIR) + " --prefix " +
                      shellWord(prefix));
}

InstalledGame::InstalledGame() {
    CommandResult result = installGame(prefix(), "");
    if (result.status != 0) {
        throw std::runtime_error("cmake --install failed:\n" + result.out + result.err);
    }
}
