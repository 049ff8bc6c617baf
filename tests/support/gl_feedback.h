// Geometry capture for GL tests: runs drawing code in feedback mode under a
// projection that maps world units straight to clip space (1/400 scale), so
// a test can read back the positions, colours and texture coordinates GL
// received, as world-space numbers, without rasterising anything.
#ifndef FIREFLIES_TEST_GL_FEEDBACK_H
#define FIREFLIES_TEST_GL_FEEDBACK_H

#include <functional>
#include <vector>

// One vertex as GL fed it back.
struct FeedbackVertex {
    float position[3]; // world units (modelview applied, the capture projection undone)
    float color[4];    // RGBA 0..1
    float texCoord[4]; // unit 0's coordinates after its texture matrix
};

// One polygon (a quad, a triangle, or the part of one inside +-400 units).
using FeedbackPolygon = std::vector<FeedbackVertex>;

// Loads the capture projection and an identity modelview, runs draw in
// feedback mode, restores both matrices and the render mode, and returns the
// polygons in drawing order. Points, lines and bitmaps are skipped. Fails the
// calling test (and returns what fitted) when the capture buffer overflows.
std::vector<FeedbackPolygon> captureFeedback(const std::function<void()>& draw);

#endif
