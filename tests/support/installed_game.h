// The game installed as a player installs it (cmake --install of the build
// tree into a scratch prefix); the install and launcher tests run it with
// the helpers of game_runs.h.
#ifndef FIREFLIES_TEST_INSTALLED_GAME_H
#define FIREFLIES_TEST_INSTALLED_GAME_H

#include <string>

#include "game_runs.h"
#include "temp_dir.h"

// cmake --install of the build tree under prefix, staged under destdir ("" for none).
CommandResult installGame(const std::string& prefix, const std::string& destdir);

// A scratch folder with the game installed under its "prefix" folder;
// removed with everything in it when it goes. Points XDG_DATA_HOME at
// scratch()/player-data, where the launcher keeps replays and bests. Throws std::runtime_error when
// the install fails.
class InstalledGame {
  public:
    InstalledGame();

    // The scratch folder (holds prefix/ and whatever a test adds).
    const std::string& scratch() const { return dir_.path(); }
    // The install prefix, scratch()/prefix.
    std::string prefix() const { return scratch() + "/prefix"; }
    // The launcher, prefix/bin/fireflies.
    std::string launcher() const { return prefix() + "/bin/fireflies"; }
    // The installed data folder, prefix/share/fireflies.
    std::string data() const { return prefix() + "/share/fireflies"; }
    // The launcher's replays and bests folder.
    std::string replays() const { return scratch() + "/player-data/fireflies/replays"; }
    // Writes text to a file under scratch() (folders must exist); returns its path.
    std::string write(const std::string& name, const std::string& text) const {
        return dir_.write(name, text);
    }

  private:
    TempDir dir_;
};

#endif
