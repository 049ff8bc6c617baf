#include "installed_game.h"

#include <cstdlib>
#include <stdexcept>

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
    // The games the launcher records go into the scratch folder, never
    // into the home folder of whoever runs the tests.
    setenv("XDG_DATA_HOME", (scratch() + "/player-data").c_str(), 1);
}
