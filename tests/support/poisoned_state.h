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
// matrix on unit 0; lighting on (unless lighting is false: the game never
// switches it on, and the backdrop relies on that); additive blending;
// depth test off with GL_GREATER and no depth writes; line width 9 without
// smoothing; a green colour. Needs a GL context.
void poisonDrawState(bool lighting = true);

// Parts of the poisoned state that stillPoisoned can be told not to look
// at, because a drawer leaves them its own way (its test checks them).
enum PoisonedPart : unsigned {
    kActiveUnit = 1u << 0,     // which texture unit is active
    kUnit0Texture2D = 1u << 1, // 2D texturing on unit 0
    kBlending = 1u << 2,       // blending and its function
    kLines = 1u << 3,          // line width and smoothing
    kLighting = 1u << 4,       // lighting on or off
};

// True when the state is still exactly what poisonDrawState left (a drawer
// that restores what it changes leaves it so), the parts named in skip
// apart; the first difference goes to *what.
bool stillPoisoned(const char** what, unsigned skip = 0);

#endif
