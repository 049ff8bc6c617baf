#include "lantern.h"

#include <GL/glew.h>

#include "material_template.h"

Lantern::Lantern(int sliceTexture) : x(0.0f), z(0.0f) {
    // The body: the noise slice (its alpha makes the paper translucent in
    // bands) times the paper picture; its normal map is never read, the body
    // is not bump-mapped.
    partMaterials[0] = materialTemplate("mesh", {"default", "lanternT.bmp"}, {sliceTexture, -1},
                                        false, "norm.bmp", 0.5f, 0.5f, 0.1f, 0.99f);
    // The braided rims, lit through their normal map: the lower one opaque,
    // the upper one sorted and blended with the body.
    partMaterials[1] = materialTemplate("lowrim", {"braid.bmp"}, {-1}, true, "braid_norm.bmp", 0.5f,
                                        0.5f, 0.5f, 1.0f);
    partMaterials[2] = materialTemplate("uprim", {"braid.bmp"}, {-1}, true, "braid_norm.bmp", 0.5f,
                                        0.5f, 0.5f, 0.99f);

    model = std::make_unique<Model>("lantern.obj", partMaterials.data(), kPartGroups, false);
}

void Lantern::draw(double /*distance*/) const {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslatef(x, -3.0f, z);
    glScalef(10.0f, 10.0f, 10.0f);
    model->draw();
    glPopMatrix();
}
