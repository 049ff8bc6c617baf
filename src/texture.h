// Pictures to OpenGL: turns a 24-bit BMP file into a mipmapped 2D texture.
// Every call makes a new texture object; textures live until the process
// ends. Needs a current GL context.
#ifndef FIREFLIES_TEXTURE_H
#define FIREFLIES_TEXTURE_H

#include <string>

// Reads the BMP fileName (relative to the working directory) into a new
// GL_TEXTURE_2D with linear / trilinear filtering and repeat wrapping, and
// writes its GL name to textureId. The new texture stays bound to the active
// unit. Throws LoadError when the file is missing or not a 24-bit BMP.
void loadTexture(std::string fileName, unsigned int& textureId);

#endif
