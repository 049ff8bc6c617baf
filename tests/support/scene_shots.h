// Pictures of scene objects for GL tests: the game's own chase-camera set-up
// and PNG screenshots a person can look at afterwards.
#ifndef FIREFLIES_TEST_SCENE_SHOTS_H
#define FIREFLIES_TEST_SCENE_SHOTS_H

#include <string>

// Loads the game's view into the projection matrix (45 degrees, 4:3, near
// 0.1, far 1000, then a look-at from eye to target with +Y up) and an
// identity modelview, as the game's camera does every frame.
void setGameCamera(double eyeX, double eyeY, double eyeZ, double targetX, double targetY,
                   double targetZ);

// Sets GL_LIGHT1's position to (x, y, z, 1) under an identity modelview, as
// the scene draw does before each object; leaves the modelview selected.
void placeLight1(float x, float y, float z);

// Saves the current 800x600 colour buffer as /tmp/scene2-shots/NAME.png
// (the folder is made when missing). True on success.
bool saveShot(const std::string& rgb, const std::string& name);

// Red, green and blue of pixel (x, y) of a read-back frame, y counted from the
// bottom row, as 0xRRGGBB.
unsigned int pixelAt(const std::string& rgb, int x, int y);

#endif
