#include "gamepad.h"

int choosePad(const std::vector<PadDescription>& devices) {
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (devices[i].buttons >= 1) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void PadState::release() {
    stickLeft = false;
    stickRight = false;
    stickUp = false;
    hatLeft = false;
    hatRight = false;
    hatUp = false;
    thrustHeld = false;
}

bool isPadEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_JOYAXISMOTION:
    case SDL_JOYHATMOTION:
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
        return true;
    default:
        return false;
    }
}

PadFire applyPadEvent(PadState& pad, const SDL_Event& event) {
    if (pad.device < 0) {
        return PadFire::Unchanged;
    }
    switch (event.type) {
    case SDL_JOYAXISMOTION:
        if (event.jaxis.which != pad.device) {
            break;
        }
        if (event.jaxis.axis == kTurnAxis) {
            pad.stickLeft = event.jaxis.value < -kStickDeadZone;
            pad.stickRight = event.jaxis.value > kStickDeadZone;
        } else if (event.jaxis.axis == kThrustAxis) {
            pad.stickUp = event.jaxis.value < -kStickDeadZone;
        }
        break;
    case SDL_JOYHATMOTION:
        // Only the first hat steers: a second one is often a stand-in for
        // something else on the pad.
        if (event.jhat.which != pad.device || event.jhat.hat != 0) {
            break;
        }
        pad.hatLeft = (event.jhat.value & SDL_HAT_LEFT) != 0;
        pad.hatRight = (event.jhat.value & SDL_HAT_RIGHT) != 0;
        pad.hatUp = (event.jhat.value & SDL_HAT_UP) != 0;
        break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
        if (event.jbutton.which != pad.device) {
            break;
        }
        bool down = event.type == SDL_JOYBUTTONDOWN;
        if (event.jbutton.button == kFireButton) {
            return down ? PadFire::Pressed : PadFire::Released;
        }
        if (event.jbutton.button == kThrustButton) {
            pad.thrustHeld = down;
        }
        break;
    }
    default:
        break;
    }
    return PadFire::Unchanged;
}

int openGamepad() {
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) != 0) {
        return -1;
    }
    std::vector<PadDescription> devices;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        PadDescription description;
        const char* name = SDL_JoystickName(i);
        description.name = name != nullptr ? name : "";
        if (SDL_Joystick* stick = SDL_JoystickOpen(i)) {
            description.axes = SDL_JoystickNumAxes(stick);
            description.buttons = SDL_JoystickNumButtons(stick);
            description.hats = SDL_JoystickNumHats(stick);
            SDL_JoystickClose(stick);
        }
        devices.push_back(description);
    }
    int chosen = choosePad(devices);
    if (chosen < 0 || SDL_JoystickOpen(chosen) == nullptr) {
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
        return -1;
    }
    // The joystick stays open for the life of the game.
    SDL_JoystickEventState(SDL_ENABLE);
    return chosen;
}
