// The gamepad: the first joystick with at least one button steers the
// player's firefly beside the keys. The stick's horizontal axis or the hat
// turns, the stick pushed up, the hat's up or the second button thrusts, and
// the first button fires once per press as Space does. Devices without
// buttons (accelerometers reported as joysticks) are never chosen. The pad
// keeps flags of its own, so that releasing an arrow key does not cancel a
// direction held on the pad, nor the other way round.
#ifndef FIREFLIES_GAMEPAD_H
#define FIREFLIES_GAMEPAD_H

#include <SDL/SDL.h>

#include <string>
#include <vector>

// How far the stick must be pushed from the centre to count, of 32767.
constexpr int kStickDeadZone = 10000;
// The stick's axes and the buttons, as SDL numbers them.
constexpr int kTurnAxis = 0;     // horizontal: negative is left
constexpr int kThrustAxis = 1;   // vertical: negative is up
constexpr int kFireButton = 0;   // the first button
constexpr int kThrustButton = 1; // the second button

// A joystick as SDL describes it.
struct PadDescription {
    std::string name; // SDL's name for it
    int axes = 0;     // number of axes
    int buttons = 0;  // number of buttons
    int hats = 0;     // number of hats
};

// The index of the pad to steer with among devices, in SDL's order: the
// first with at least one button; -1 when there is none.
int choosePad(const std::vector<PadDescription>& devices);

// What the pad holds, as its events left it.
struct PadState {
    int device = -1;         // SDL joystick index whose events steer; -1: no pad
    bool stickLeft = false;  // the stick is pushed left past the dead zone
    bool stickRight = false; // the stick is pushed right past the dead zone
    bool stickUp = false;    // the stick is pushed up past the dead zone
    bool hatLeft = false;    // the hat points left (or up-left, down-left)
    bool hatRight = false;   // the hat points right (or up-right, down-right)
    bool hatUp = false;      // the hat points up (or up-left, up-right)
    bool thrustHeld = false; // the second button is down

    // The pad turns the firefly left, right, or thrusts it.
    bool left() const { return stickLeft || hatLeft; }
    bool right() const { return stickRight || hatRight; }
    bool up() const { return stickUp || hatUp || thrustHeld; }
    // Lets go of every direction and button; the device stays chosen.
    void release();
};

// What a pad event did to the fire request.
enum class PadFire {
    Unchanged, // not the fire button
    Pressed,   // the fire button went down: the firefly fires, as on a Space press
    Released,  // the fire button came up, as on a Space release
};

// True for the joystick event types (axis, hat, button down and up).
bool isPadEvent(const SDL_Event& event);
// Applies one joystick event to pad when it comes from pad.device (events of
// other devices, or with no device chosen, change nothing).
PadFire applyPadEvent(PadState& pad, const SDL_Event& event);

// Starts SDL's joystick support, describes every joystick, and opens the one
// choosePad picks, with its events on. Returns its index, or -1 (no pad, or
// no joystick support). Prints nothing.
int openGamepad();

#endif
