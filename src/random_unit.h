// The game's random numbers in [0, 1]. Every random quantity of the scene
// (noise lattice, slice choice, flower pose) is tuned for draws of 0..32767,
// so one rand() value is cut to its low 15 bits before it is divided by
// 32767: glibc's rand() reaches 2^31 - 1, which would otherwise give values
// far above 1.
#ifndef FIREFLIES_RANDOM_UNIT_H
#define FIREFLIES_RANDOM_UNIT_H

#include <cstdlib>

// A draw of 0..32767 turned into [0, 1]; 32767 gives exactly 1.
inline double unitFromDraw(int draw) {
    return (draw % 32768) * 1.0 / 32767.0;
}

// One rand() call as a value in [0, 1].
inline double randomUnit() {
    return unitFromDraw(std::rand());
}

#endif
