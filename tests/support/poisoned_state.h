// Deliberately odd OpenGL state, for checking that a drawer sets everything
// its look depends on: what other drawers of the game (and a careless new
// one) may leave behind, each setting as far from the defaults as it goes.
#ifndef FIREFLIES_TEST_POISONED_STATE_H
#define FIREFLIES_TEST_POISONED_STATE_H

// Puts GL into the state the game's drawers start a frame from: no
// texturing on any unit, unit 0 active with an identity texture matrix and
// the modulate environment, no lighting or blending, depth test GL_LESS with
// depth writes, line width 1, colour white, modelview selected.
void resetDrawState();

// Leaves behind: 2D textures bound and enabled on units 0 to 2 and a 3D
// texture enabled on unit 0 (which outranks 2D), unit 0 combining to its
// texture's inverse, units 1 and 2 adding, unit 2 active; a scaled texture
// matrix on unit 0; lighting on; additive blending; depth test off with
// GL_GREATER and no depth writes; line width 9 without smoothing; a green
// colour. Needs a GL context.
void poisonDrawState();

// True when the state is still exactly what poisonDrawState left (a drawer
// that restores what it changes leaves it so); the first difference goes to
// *what.
bool stillPoisoned(const char** what);

#endif
