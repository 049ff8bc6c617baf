#include "gl_feedback.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

namespace {
constexpr double kCaptureHalfWidth = 400.0; // world units mapped to clip +-1 on every axis
constexpr int kBufferFloats = 1 << 22;      // room for about 120000 triangles

// Window coordinates of the 800x600 viewport and [0, 1] depth back to world.
void unmap(const float* window, float* world) {
    world[0] = static_cast<float>((window[0] / 400.0 - 1.0) * kCaptureHalfWidth);
    world[1] = static_cast<float>((window[1] / 300.0 - 1.0) * kCaptureHalfWidth);
    world[2] = static_cast<float>((window[2] * 2.0 - 1.0) * kCaptureHalfWidth);
}
} // namespace

std::vector<FeedbackPolygon> captureFeedback(const std::function<void()>& draw) {
    std::vector<GLfloat> buffer(kBufferFloats);
    glFeedbackBuffer(kBufferFloats, GL_3D_COLOR_TEXTURE, buffer.data());
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    // No flip of z: depth grows with world z.
    glScaled(1.0 / kCaptureHalfWidth, 1.0 / kCaptureHalfWidth, 1.0 / kCaptureHalfWidth);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glViewport(0, 0, 800, 600);
    glDepthRange(0.0, 1.0);
    glRenderMode(GL_FEEDBACK);
    draw();
    GLint used = glRenderMode(GL_RENDER);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    EXPECT_GE(used, 0) << "feedback buffer overflow";
    if (used < 0) {
        used = kBufferFloats;
    }

    // Each vertex: x, y, z, r, g, b, a, s, t, r, q.
    const int vertexFloats = 11;
    std::vector<FeedbackPolygon> polygons;
    int at = 0;
    while (at < used) {
        int token = static_cast<int>(buffer[at++]);
        int count = 0;
        if (token == GL_POLYGON_TOKEN) {
            count = static_cast<int>(buffer[at++]);
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            at += 2 * vertexFloats;
            continue;
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN ||
                   token == GL_DRAW_PIXEL_TOKEN || token == GL_COPY_PIXEL_TOKEN) {
            at += vertexFloats;
            continue;
        } else if (token == GL_PASS_THROUGH_TOKEN) {
            at += 1;
            continue;
        } else {
            ADD_FAILURE() << "unknown feedback token " << token;
            break;
        }
        if (at + count * vertexFloats > used) {
            break;
        }
        FeedbackPolygon polygon(count);
        for (int v = 0; v < count; ++v) {
            const float* data = &buffer[at + v * vertexFloats];
            unmap(data, polygon[v].position);
            for (int c = 0; c < 4; ++c) {
                polygon[v].color[c] = data[3 + c];
                polygon[v].texCoord[c] = data[7 + c];
            }
        }
        at += count * vertexFloats;
        polygons.push_back(polygon);
    }
    return polygons;
}
