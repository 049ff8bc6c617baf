#include "poisoned_state.h"

#include <GL/glew.h>

#include <initializer_list>

#include "gl_context.h"

namespace {

// A 2x2 texture of one colour (r, g, b) bound to GL_TEXTURE_2D of the active
// unit.
GLuint solidTexture(unsigned char r, unsigned char g, unsigned char b) {
    unsigned char texels[4][3] = {{r, g, b}, {r, g, b}, {r, g, b}, {r, g, b}};
    return makeNearestTexture(2, 2, &texels[0][0]);
}

// A 2x2x2 alpha texture, half transparent, bound to GL_TEXTURE_3D.
GLuint halfAlphaVolume() {
    unsigned char texels[8] = {128, 128, 128, 128, 128, 128, 128, 128};
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_3D, name);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage3D(GL_TEXTURE_3D, 0, GL_ALPHA, 2, 2, 2, 0, GL_ALPHA, GL_UNSIGNED_BYTE, texels);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    return name;
}

void setEnv(GLenum name, GLint value) {
    glTexEnvi(GL_TEXTURE_ENV, name, value);
}

} // namespace

void resetDrawState() {
    GLint units = 1;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
    for (int unit = units - 1; unit >= 0; --unit) {
        glActiveTexture(GL_TEXTURE0 + static_cast<GLenum>(unit));
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_TEXTURE_3D);
        setEnv(GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
    }
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glDepthMask(GL_TRUE);
    glLineWidth(1.0f);
    glDisable(GL_LINE_SMOOTH);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void poisonDrawState(bool lighting) {
    static GLuint red = 0;
    static GLuint green = 0;
    static GLuint volume = 0;
    glActiveTexture(GL_TEXTURE0);
    if (red == 0) {
        red = solidTexture(255, 0, 0);
        green = solidTexture(0, 255, 0);
        volume = halfAlphaVolume();
    }
    // Unit 0: a 3D texture over a 2D one, combined into its inverse.
    glBindTexture(GL_TEXTURE_2D, red);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_3D, volume);
    glEnable(GL_TEXTURE_3D);
    setEnv(GL_TEXTURE_ENV_MODE, GL_COMBINE);
    setEnv(GL_COMBINE_RGB, GL_REPLACE);
    setEnv(GL_SOURCE0_RGB, GL_TEXTURE);
    setEnv(GL_OPERAND0_RGB, GL_ONE_MINUS_SRC_COLOR);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glScalef(3.0f, 0.25f, 2.0f);
    glMatrixMode(GL_MODELVIEW);
    // Units 1 and 2: green added on top.
    for (GLenum unit : {GL_TEXTURE1, GL_TEXTURE2}) {
        glActiveTexture(unit);
        glBindTexture(GL_TEXTURE_2D, green);
        glEnable(GL_TEXTURE_2D);
        setEnv(GL_TEXTURE_ENV_MODE, GL_ADD);
    }
    if (lighting) {
        glEnable(GL_LIGHTING);
        glEnable(GL_LIGHT0);
    } else {
        glDisable(GL_LIGHTING);
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glDisable(GL_DEPTH_TEST);
    glDepthFunc(GL_GREATER);
    glDepthMask(GL_FALSE);
    glLineWidth(9.0f);
    glDisable(GL_LINE_SMOOTH);
    glColor4f(0.0f, 1.0f, 0.0f, 0.25f);
}

bool stillPoisoned(const char** what, unsigned skip) {
    auto fail = [what](const char* name) {
        *what = name;
        return false;
    };
    GLint value = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &value);
    if (!(skip & kActiveUnit) && value != GL_TEXTURE2) {
        return fail("active texture unit");
    }
    glActiveTexture(GL_TEXTURE0);
    bool unit0 =
        ((skip & kUnit0Texture2D) || glIsEnabled(GL_TEXTURE_2D)) && glIsEnabled(GL_TEXTURE_3D);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &value);
    glActiveTexture(GL_TEXTURE2);
    if (!unit0) {
        return fail("texturing on unit 0");
    }
    if (value != GL_COMBINE) {
        return fail("texture environment of unit 0");
    }
    if (!glIsEnabled(GL_TEXTURE_2D)) {
        return fail("texturing on unit 2");
    }
    glGetIntegerv(GL_BLEND_SRC, &value);
    if (!(skip & kBlending) && (!glIsEnabled(GL_BLEND) || value != GL_ONE)) {
        return fail("blending");
    }
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    GLboolean depthWrites = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depthWrites);
    if (glIsEnabled(GL_DEPTH_TEST) || value != GL_GREATER || depthWrites) {
        return fail("depth test");
    }
    GLfloat width = 0.0f;
    glGetFloatv(GL_LINE_WIDTH, &width);
    if (!(skip & kLines) && (width != 9.0f || glIsEnabled(GL_LINE_SMOOTH))) {
        return fail("lines");
    }
    if (!(skip & kLighting) && !glIsEnabled(GL_LIGHTING)) {
        return fail("lighting");
    }
    return true;
}
