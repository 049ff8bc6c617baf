#include "game_runs.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

const std::string kGameBinary = std::string(FIREFLIES_BINARY_DIR) + "/fireflies";

const std::string kPrivateDisplay =
    "timeout 120 xvfb-run -a -s '-screen 0 1024x768x24 -noreset' env SDL_VIDEODRIVER=x11 ";

const std::string kDriveGame = std::string(FIREFLIES_SOURCE_DIR) + "/tests/support/drive_game.sh";

GameFolder::GameFolder(const std::vector<std::string>& without) {
    for (const auto& entry : std::filesystem::directory_iterator(FIREFLIES_DATA_DIR)) {
        std::string name = entry.path().filename().string();
        if (std::find(without.begin(), without.end(), name) == without.end()) {
            std::filesystem::create_symlink(entry.path(), path() + "/" + name);
        }
    }
}

std::string GameFolder::write(const std::string& name, const std::string& text) const {
    // Never through a link into data/.
    std::remove((path() + "/" + name).c_str());
    return dir_.write(name, text);
}

std::string sdl12CompatFolder() {
    const std::string dir = "/usr/lib/x86_64-linux-gnu/sdl12-compat";
    return std::filesystem::exists(dir + "/libSDL-1.2.so.0") ? dir : "";
}

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
