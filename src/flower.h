// A flower: a fixed obstacle of the arena that bounces fireflies and blocks
// beams, drawn as a randomly tilted ring of 8 or 10 copies of the petal model
// "flower.obj". Each copy keeps a different half of the in-between petal
// shapes, so the ring looks varied. Needs a current GL context to be built.
#ifndef FIREFLIES_FLOWER_H
#define FIREFLIES_FLOWER_H

#include <array>
#include <memory>
#include <vector>

#include "model.h"

class Flower {
  public:
    static constexpr int kPetalGroups = 5; // groups "petal1" to "petal5" of "flower.obj"

    // Draws tilt, yaw and the copy count (3 rand() calls), then loads one
    // model per copy, taking one more rand() each. Throws LoadError when the
    // model or its texture cannot be read.
    Flower();

    // Draws the ring at (x, 0, z), 10 times the model's size, copy i turned
    // (i + 1) x 360 / petalCount degrees about its axis. distance: from the
    // camera, has no effect on the picture. Leaves the modelview selected.
    void draw(double distance) const;

    // Copy count for a draw r in [0, 1]: trunc(2r + 8), odd counts raised by
    // one, so 8 or 10.
    static unsigned int petalCountFor(double r);

    double x;                                           // world X; 0 until the map loader places it
    double z;                                           // world Z; 0 until the map loader places it
    std::array<ModelGroup, kPetalGroups> partMaterials; // petal templates: "flowerT.bmp", purple
    std::vector<std::unique_ptr<Model>> petalModels;    // petalCount owned copies of "flower.obj"
    float tilt;                                         // degrees about X, [0, 120]
    float yaw;                                          // degrees about Y, [0, 360]
    unsigned int petalCount;                            // copies in the ring, 8 or 10

  private:
    // Draws tilt in [0, 120], yaw in [0, 360] and petalCount (8 or 10), one
    // rand() each, in that order. Only before the copies are loaded: a new
    // count afterwards would no longer match petalModels.
    void randomize();
};

#endif
