#include "motion_body.h"

#include <cmath>
#include <cstdio>

#include "tools.h"

void MotionBody::clear() {
    vx = 0.0f;
    vy = 0.0f;
    fx = 0.0f;
    fy = 0.0f;
}

void MotionBody::applyForce(float ax, float ay) {
    fx += ax;
    fy += ay;
}

void MotionBody::applyPolarForce(float magnitude, float angle) {
    double r = angle * kDegToRad;
    float first = static_cast<float>(magnitude * std::cos(r));
    float second = static_cast<float>(magnitude * std::sin(r));
    applyForce(first, second);
}

void MotionBody::integrate(int dt, float& d1, float& d2) {
    fx -= vx * drag;
    fy -= vy * drag;
    float t = static_cast<float>(dt);
    d1 = t * vx + (fx * 0.5f / kBodyMass) * t * t;
    vx = vx + (fx / kBodyMass) * t;
    d2 = t * vy + (fy * 0.5f / kBodyMass) * t * t;
    vy = vy + (fy / kBodyMass) * t;
    fy = 0.0f;
    fx = 0.0f;
}

float MotionBody::headingDegrees() const {
    if (vx == 0.0f) {
        return vy >= 0.0f ? 90.0f : -90.0f;
    }
    float quotient = vy / vx;
    return static_cast<float>(std::atan(quotient) * kRadToDeg);
}

float MotionBody::speed() const {
    float sum = vx * vx + vy * vy;
    return static_cast<float>(std::sqrt(sum));
}

void MotionBody::print() const {
    std::printf("Velocity (%lf, %lf) Force (%lf, %lf) Mass %lf\n", static_cast<double>(vx),
                static_cast<double>(vy), static_cast<double>(fx), static_cast<double>(fy),
                static_cast<double>(kBodyMass));
}
