#include "game_runs.h"

const std::string kPrivateDisplay =
    "timeout 120 xvfb-run -a -s '-screen 0 1024x768x24 -noreset' env SDL_VIDEODRIVER=x11 ";

const std::string kDriveGame = std::string(FIREFLIES_SOURCE_DIR) + "/tests/support/drive_game.sh";

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
