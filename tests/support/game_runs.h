// Running the built game as a player runs it, for the tests that start the
// real binary: the binary, a data folder set up for one game, a private X
// server for each run, the script that plays key presses on its window, and
// the line with which that script reports.
#ifndef FIREFLIES_TEST_GAME_RUNS_H
#define FIREFLIES_TEST_GAME_RUNS_H

#include <string>
#include <vector>

#include "temp_dir.h"

// The built game binary.
extern const std::string kGameBinary;

// Put before a command: runs it under an X server of its own (SDL on X11),
// so that it sees no other test's windows, and stops it after 120 s.
extern const std::string kPrivateDisplay;

// tests/support/drive_game.sh: starts a program, plays steps on its window
// and prints "status=N" with its exit status last.
extern const std::string kDriveGame;

// A data folder for one game: links to every file of data/ but the ones
// named, which the test leaves out or writes itself.
class GameFolder {
  public:
    explicit GameFolder(const std::vector<std::string>& without = {});
    // The folder's absolute path.
    const std::string& path() const { return dir_.path(); }
    // Writes a file into the folder in place of any link of that name;
    // returns its path.
    std::string write(const std::string& name, const std::string& text) const;

  private:
    TempDir dir_;
};

// The folder of sdl12-compat (SDL 1.2 over SDL 2, as Debian 13 has it)
// installed beside the system's SDL 1.2, for LD_LIBRARY_PATH; "" where it
// is not installed.
std::string sdl12CompatFolder();

// One word for sh: the text in single quotes, each ' in it written '\''.
std::string shellWord(const std::string& text);

// True when drive_game.sh's output holds the line "status=N".
bool endsWithStatus(const CommandResult& result, int status);

#endif
