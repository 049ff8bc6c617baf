// The game's sounds, synthesised for the asset generator: every effect of
// the sound module and the night ambience, each built from sine tones,
// sweeps and filtered noise of a fixed seed, written as 16-bit mono WAV
// files at the mixer's rate. Nothing is recorded or borrowed.
#ifndef FIREFLIES_MAKE_SOUNDS_H
#define FIREFLIES_MAKE_SOUNDS_H

#include <string>

// Writes every sound of kSounds (sound.h) into the folder dir under its
// file name. False when a file could not be written.
bool writeSounds(const std::string& dir);

#endif
