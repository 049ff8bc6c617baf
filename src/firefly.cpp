#include "firefly.h"

#include "material_template.h"
#include "texture.h"

#include <GL/gl.h>

#include <cassert>
#include <iostream>

namespace {

constexpr double kBankAngle = 15.0; // degrees of roll drawn on a turning frame
constexpr int kBeamFrames = 10;     // framesLeft at launch; the same step's tick makes it 9

// What the beam sets for its own look and puts back afterwards: texturing on
// every unit, lighting and the depth test. Its blending, line width, line
// smoothing and colour are the beam's own and stay as it leaves them.
constexpr GLbitfield kBeamAttributes =
    GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT;

// Keeps a heading in [0, 360]; exactly 0 and exactly 360 stay as they are.
float wrapHeading(float heading) {
    if (heading < 0.0f) {
        heading += 360.0f;
    }
    if (heading > 360.0f) {
        heading -= 360.0f;
    }
    return heading;
}

// Material of one part of the firefly: one colour texture, no bump map.
ModelGroup partTemplate(const char* name, const char* texture, float grey, float blue,
                        float alpha) {
    return materialTemplate(name, {texture}, {-1}, false, "default", grey, grey, blue, alpha);
}

} // namespace

Beam::Beam()
    : framesLeft(0), x(0.0f), z(0.0f), heading(0.0f), length(0.0f), sparkle(newBeamEmitter()) {}

void Beam::launch(float x, float z, float heading) {
    this->x = x;
    this->z = z;
    this->heading = heading;
    framesLeft = kBeamFrames;
    length = kBeamReach;
}

void Beam::tick() {
    if (framesLeft > 0) {
        --framesLeft;
    }
}

void Beam::draw() {
    if (framesLeft == 0) {
        return;
    }
    // The beam is a plain blended line whatever was drawn before it: no
    // texture and no lighting, depth-tested. Those are put back afterwards;
    // blending (source alpha, one minus source alpha) and smoothed lines of
    // width 1 stay on, and the colour white, as the beam leaves them.
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 0.4f, 0.3f, 0.7f);
    glLineWidth(1.0f);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glPushAttrib(kBeamAttributes);
    disableTexturing(0);
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);

    glPushMatrix();
    glTranslated(x, 0.0, z);
    // Local +Z becomes the firing direction.
    glRotated(heading, 0.0, 1.0, 0.0);

    glBegin(GL_LINES);
    glVertex3f(0.0f, 0.0f, 1.0f);
    glVertex3f(0.0f, 0.0f, length);
    glEnd();

    // A traced beam has met something (or nothing, at 200.5): sparks burst
    // where it ends.
    if (length != kBeamReach) {
        glTranslated(0.0, 0.0, length);
        sparkle->updateAndDraw();
    }
    glPopMatrix();
    glPopAttrib();
    glColor3f(1.0f, 1.0f, 1.0f);
}

Firefly::Firefly()
    : x(0.0f), z(0.0f), heading(90.0f), fireCooldown(0), lanternTimer(0), score(0), fire(false),
      fired(false), turnedLeft(false), turnedRight(false), done(false), thrust(0.0f),
      model(nullptr) {
    body.drag = 0.0f;
    body.clear();

    // Legs and shell halves are dull, body parts bright; only the wings are
    // see-through, so only they are sorted and blended.
    const float dull = 0.5f;
    const float bright = 0.9f;
    partMaterials = {
        partTemplate("frontlleg", "shell.bmp", dull, 0.1f, 1.0f),
        partTemplate("sidelleg", "shell.bmp", dull, 0.1f, 1.0f),
        partTemplate("backlleg", "shell.bmp", dull, 0.1f, 1.0f),
        partTemplate("frontrleg", "shell.bmp", dull, 0.1f, 1.0f),
        partTemplate("siderleg", "shell.bmp", dull, 0.1f, 1.0f),
        partTemplate("backrleg", "shell.bmp", dull, 0.1f, 1.0f),
        partTemplate("abdomen2", "abdomen.bmp", bright, 0.1f, 1.0f),
        partTemplate("thorax", "wing.bmp", bright, 0.1f, 1.0f),
        partTemplate("head", "wing.bmp", bright, 0.1f, 1.0f),
        partTemplate("lwing", "wing.bmp", bright, 0.1f, 0.6f),
        partTemplate("rwing", "wing.bmp", bright, 0.1f, 0.6f),
        partTemplate("lshell", "shell.bmp", bright, 0.1f, 1.0f),
        partTemplate("rshell", "shell.bmp", bright, 0.1f, 1.0f),
    };
    model = new Model("firefly.obj", partMaterials.data(), kFireflyPartCount, false);
}

void Firefly::act(unsigned int action) {
    switch (action) {
    case kThrustAction:
        accelerate();
        break;
    case kFireAction:
        accelerate();
        fire = true;
        break;
    case kTurnLeftAction:
        accelerate();
        turnLeft();
        break;
    case kTurnRightAction:
        accelerate();
        turnRight();
        break;
    default:
        // The agent only knows four actions; anything else is a bug.
        std::cout << action << std::endl;
        assert(false);
        return;
    }
    move();
}

void Firefly::accelerate() {
    body.applyPolarForce(thrust, heading);
}

void Firefly::turnLeft() {
    heading = wrapHeading(static_cast<float>(heading + kTurnStep));
    turnedLeft = true;
}

void Firefly::turnRight() {
    heading = wrapHeading(static_cast<float>(heading - kTurnStep));
    turnedRight = true;
}

void Firefly::move() {
    // The body's first axis is world Z, its second world X.
    float dz = 0.0f;
    float dx = 0.0f;
    body.integrate(1, dz, dx);
    x += dx;
    z += dz;
    if (lanternTimer > 0) {
        --lanternTimer;
    }
    if (fireCooldown > 0) {
        --fireCooldown;
    }
    if (fire && fireCooldown == 0) {
        beam.launch(x, z, heading);
        fired = true;
        fireCooldown = kFireCooldown;
    }
    beam.tick();
}

void Firefly::clearFrameFlags() {
    fire = false;
    fired = false;
}

void Firefly::draw(float ox, float oy, float oz) {
    glPushMatrix();
    glTranslated(static_cast<double>(x) + ox, 0.0 + oy, static_cast<double>(z) + oz);
    // The model's front points along its own -Z axis.
    glRotated(heading + 180.0, 0.0, 1.0, 0.0);
    if (turnedRight) {
        glRotated(kBankAngle, 0.0, 0.0, -1.0);
        turnedRight = false;
    } else if (turnedLeft) {
        glRotated(kBankAngle, 0.0, 0.0, 1.0);
        turnedLeft = false;
    }
    model->draw();
    glPopMatrix();
    beam.draw();
}
