#include "lantern.h"

#include <GL/glew.h>

namespace {

// A braided rim: the braid picture lit through its normal map.
void makeRim(ModelGroup& rim, const char* name, float alpha) {
    rim.name = name;
    rim.textureCount = 1;
    rim.textureNames = {"braid.bmp"};
    rim.textureIds = {-1};
    rim.bumpMapped = true;
    rim.normalMapName = "braid_norm.bmp";
    rim.normalMapId = -1;
    rim.color[0] = 0.5f;
    rim.color[1] = 0.5f;
    rim.color[2] = 0.5f;
    rim.alpha = alpha;
}

} // namespace

Lantern::Lantern(int sliceTexture) : x(0.0f), z(0.0f) {
    // The body: the noise slice (its alpha makes the paper translucent in
    // bands) times the paper picture.
    ModelGroup& mesh = partMaterials[0];
    mesh.name = "mesh";
    mesh.textureCount = 2;
    mesh.textureNames = {"default", "lanternT.bmp"};
    mesh.textureIds = {sliceTexture, -1};
    mesh.bumpMapped = false;
    mesh.normalMapName = "norm.bmp"; // not read: the body is not bump-mapped
    mesh.normalMapId = -1;
    mesh.color[0] = 0.5f;
    mesh.color[1] = 0.5f;
    mesh.color[2] = 0.1f;
    mesh.alpha = 0.99f;

    // The lower rim is opaque, the upper one sorted and blended with the body.
    makeRim(partMaterials[1], "lowrim", 1.0f);
    makeRim(partMaterials[2], "uprim", 0.99f);

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
