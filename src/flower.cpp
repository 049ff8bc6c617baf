#include "flower.h"

#include <GL/glew.h>

#include <string>

#include "material_template.h"
#include "random_unit.h"

Flower::Flower() : x(0.0), z(0.0), tilt(0.0f), yaw(0.0f), petalCount(0) {
    // Five alike petal shapes: the petal picture tinted purple, opaque.
    for (int n = 0; n < kPetalGroups; ++n) {
        partMaterials[n] = materialTemplate("petal" + std::to_string(n + 1), {"flowerT.bmp"}, {-1},
                                            false, "default", 0.5f, 0.1f, 0.5f, 1.0f);
    }

    randomize();

    petalModels.reserve(petalCount);
    for (unsigned int i = 0; i < petalCount; ++i) {
        petalModels.push_back(
            std::make_unique<Model>("flower.obj", partMaterials.data(), kPetalGroups, false));
        // The in-between step count once varied per copy; the draw is kept
        // (scaled to nothing) so the random sequence stays the same.
        int steps = 3 + static_cast<int>(randomUnit() * 0.0);
        // Even and odd copies keep complementary halves of the petal shapes.
        petalModels.back()->addInbetweenGroups(steps, static_cast<int>(i));
    }
}

void Flower::randomize() {
    tilt = static_cast<float>(randomUnit() * 120.0);
    yaw = static_cast<float>(randomUnit() * 360.0);
    petalCount = petalCountFor(randomUnit());
}

unsigned int Flower::petalCountFor(double r) {
    unsigned int n = static_cast<unsigned int>(r * 2 + 8);
    if (n % 2 == 1) {
        n += 1;
    }
    return n;
}

void Flower::draw(double /*distance*/) const {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glTranslated(x, 0.0, z);
    glScalef(10.0f, 10.0f, 10.0f);
    glRotatef(yaw, 0.0f, 1.0f, 0.0f);
    glRotatef(tilt, 1.0f, 0.0f, 0.0f);
    // The turns accumulate: the last copy ends at a full turn.
    const float step = 360.0f / static_cast<float>(petalCount);
    for (const std::unique_ptr<Model>& copy : petalModels) {
        glRotatef(step, 0.0f, 1.0f, 0.0f);
        copy->draw();
    }
    glPopMatrix();
}
