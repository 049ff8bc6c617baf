// What the game sets right about its surroundings first thing, before any
// library opens a file: closed standard descriptors, and the files that
// libraries would make in a home that does not exist.
#ifndef FIREFLIES_SURROUNDINGS_H
#define FIREFLIES_SURROUNDINGS_H

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, so that
// the game plays and fails as it does with all three open: otherwise the X
// connection or a data file would take the free number, and the game's
// messages would be written into it. Returns false when one of them could
// not be filled (the caller may carry on regardless).
bool fillClosedStandardStreams();

// A user without a home (the user nobody's is /nonexistent) would otherwise
// see PulseAudio's client library and Mesa's shader cache each say on
// standard error that they cannot make their folders there, or, as root,
// find those folders made. Where the home is missing (not a folder, or one
// the game cannot write to, and without the library's folder already in
// it) and the user named no other place for them, the sound library is sent
// straight to the system-wide sound server (a user's own could only be found
// through a runtime folder or a named server) and the shader cache is left
// off. Changes only this process's environment.
void keepLibrariesOutOfAMissingHome();

#endif
