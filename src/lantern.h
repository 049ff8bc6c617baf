// A lantern: a fixed paper lantern of the arena that pulls fireflies, bounces
// them and blocks beams. Drawn from "lantern.obj": a translucent body ("mesh")
// carrying its own slice of the noise volume over "lanternT.bmp", and two
// braided rims ("lowrim", "uprim") bump-mapped against light 1. Needs a
// current GL context to be built.
#ifndef FIREFLIES_LANTERN_H
#define FIREFLIES_LANTERN_H

#include <array>
#include <memory>

#include "model.h"

class Lantern {
  public:
    static constexpr int kPartGroups = 3; // "mesh", "lowrim", "uprim"

    // sliceTexture: GL name of the noise slice the world cut for this
    // lantern (not owned). Throws LoadError when the model or a texture
    // cannot be read.
    explicit Lantern(int sliceTexture);

    // Draws the lantern hanging at (x, -3, z), 10 times the model's size.
    // distance: from the camera, has no effect on the picture. Leaves the
    // modelview selected.
    void draw(double distance) const;

    float x;                                           // world X; 0 until the map loader places it
    float z;                                           // world Z; 0 until the map loader places it
    std::array<ModelGroup, kPartGroups> partMaterials; // templates of mesh, lowrim, uprim
    std::unique_ptr<Model> model;                      // owned "lantern.obj"
};

#endif
