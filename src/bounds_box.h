// The backdrop: four walls round the arena with "bounds.bmp" wrapped once
// round them like a panorama. No floor, no ceiling, no part in the rules;
// the arena edge the fireflies bounce off is a circle far inside it.
#ifndef FIREFLIES_BOUNDS_BOX_H
#define FIREFLIES_BOUNDS_BOX_H

struct BoundsBox {
    unsigned int textureId; // GL texture made from "bounds.bmp"; lives as long as the process

    // Loads "bounds.bmp" (needs a GL context; throws LoadError when the file
    // is missing or unreadable).
    BoundsBox();

    // Draws the walls of a box of half-width size (world units) centred 50
    // below the ground, so with size 80 they stand at x, z = +-80 and reach
    // from y = -130 to y = 30. Sets the texturing of every unit, the texture
    // environment, blending and the depth test for itself and puts them
    // back, then ends with unit 0 active, the panorama bound to it, 2D
    // texturing off there, its texture matrix at identity and the colour the
    // walls' (0.1, 0.5, 0.6). Lighting is left as it was (the game never
    // switches it on).
    void draw(float size);

  private:
    // The four walls of the unit cube [-1, 1] with the panorama on them.
    void drawWalls();
};

#endif
