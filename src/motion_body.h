// The point mass that moves a firefly over the ground plane: 2D velocity,
// the force gathered during the current step, and linear drag; mass 100.
// Its axes are generic; a firefly uses the first for world Z and the second
// for world X, so an angle a points along (cos a, sin a) = a heading.
#ifndef FIREFLIES_MOTION_BODY_H
#define FIREFLIES_MOTION_BODY_H

// The fixed mass of every body; accelerations are force / kBodyMass.
constexpr float kBodyMass = 100.0f;

struct MotionBody {
    float vx;   // velocity along the first axis, world units per step
    float vy;   // velocity along the second axis, world units per step
    float fx;   // force gathered since the last integrate, first axis
    float fy;   // force gathered since the last integrate, second axis
    float drag; // linear drag coefficient: drag force = -velocity * drag

    // Zeroes velocity and force; drag is left alone.
    void clear();
    // Adds (ax, ay) to the gathered force.
    void applyForce(float ax, float ay);
    // Adds a force of the given magnitude along angle degrees.
    void applyPolarForce(float magnitude, float angle);
    // Advances dt steps under the gathered force plus drag (frozen at the
    // start), reports the displacement along each axis and zeroes the force.
    void integrate(int dt, float& d1, float& d2);
    // Angle of the line of motion in degrees, [-90, 90]: atan(vy / vx), or
    // +-90 when vx is 0. Moving backwards along an axis gives the same value.
    float headingDegrees() const;
    // Length of the velocity, units per step.
    float speed() const;
    // One diagnostic line on standard output.
    void print() const;
};

#endif
