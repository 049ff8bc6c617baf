// Running the built game as a player runs it, for the tests that start the
// real binary: a private X server for each run, the script that plays key
// presses on its window, and the line with which that script reports.
#ifndef FIREFLIES_TEST_GAME_RUNS_H
#define FIREFLIES_TEST_GAME_RUNS_H

#include <string>

#include "temp_dir.h"

// Put before a command: runs it under an X server of its own (SDL on X11),
// so that it sees no other test's windows, and stops it after 120 s.
extern const std::string kPrivateDisplay;

// tests/support/drive_game.sh: starts a program, plays steps on its window
// and prints "status=N" with its exit status last.
extern const std::string kDriveGame;

// One word for sh: the text in single quotes, each ' in it written '\''.
std::string shellWord(const std::string& text);

// True when drive_game.sh's output holds the line "status=N".
bool endsWithStatus(const CommandResult& result, int status);

#endif
