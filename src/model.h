// Wavefront OBJ models and their renderer. A Model is read in two passes into
// named groups whose textures, colour and opacity come from the caller's
// material templates (no material library is read). Model::draw renders it in
// immediate mode: opaque groups, translucent groups depth-sorted along the
// global sort direction, and DOT3 bump-mapped groups lit by GL_LIGHT1.
#ifndef FIREFLIES_MODEL_H
#define FIREFLIES_MODEL_H

#include <array>
#include <string>
#include <vector>

// One triangle as indices into the model's arrays, 1-based as written in the
// file; corners in file order.
struct Face {
    int vertexIndex[3];   // position index of corners 0, 1, 2
    int normalIndex[3];   // normal index of corners 0, 1, 2
    int texCoordIndex[3]; // texture-coordinate index of corners 0, 1, 2
};

// The renderer's unit: the data of one triangle copied out per corner.
struct Triangle {
    float position[3][3];     // corner positions, model units
    float normal[3][3];       // corner normals as written (not normalised)
    float texCoord[3][2];     // corner texture coordinates, both negated on load
    float tangentBasis[3][3]; // rows of the object-to-tangent-space transform (bump-mapped groups only)
};

// One named group of a model. The same record serves callers as a material
// template: of a template only name, textureCount, textureNames, textureIds,
// bumpMapped, normalMapName, normalMapId, color and alpha are read.
struct ModelGroup {
    std::string name;                     // group name as in the file's g line
    int triangleCount = 0;                // triangles in the group
    std::vector<int> faceIndices;         // 0-based indices into Model::faces, file order
    std::vector<Triangle> triangles;      // drawable triangles, same order as faceIndices
    ModelGroup* next = nullptr;           // next group in the model's list (owned by the model)
    int textureCount = 0;                 // colour textures; the renderer uses at most 2
    std::vector<std::string> textureNames; // BMP file names; "default" = take textureIds[j] as is
    std::vector<int> textureIds;          // GL texture names, one per texture
    bool bumpMapped = false;              // draw with the normal map and GL_LIGHT1
    std::string normalMapName = "default"; // normal-map BMP; "default" = take normalMapId as is
    int normalMapId = -1;                 // GL texture name of the normal map
    float color[3] = {1.0f, 1.0f, 1.0f};  // draw colour r, g, b when not bump-mapped
    float alpha = 1.0f;                   // opacity; below 1 the group is sorted and blended
};

class Model {
  public:
    // Reads fileName (relative to the working directory). templates points to
    // templateCount material records; a group takes the first template of its
    // name among the first groupCount of them. jitter adds rand() noise of up
    // to 0.05 to every vertex (the game always passes false). Throws
    // LoadError when the file cannot be opened or is unusable.
    Model(std::string fileName, const ModelGroup* templates, int templateCount, bool jitter);

    // The first group in list order with that name, or null.
    ModelGroup* findGroup(const std::string& name);
    // findGroup, else a new empty group put at the head of the list.
    ModelGroup* findOrAddGroup(const std::string& name);
    // Adds interpolated "new" groups between neighbouring groups (steps of
    // them after the head, halving for each following pair), then drops every
    // second group, starting with the first when parity is even.
    void addInbetweenGroups(int steps, int parity);
    // Draws every group from the head up to the first empty one under the
    // current modelview matrix. Restores the GL state it changes, except that
    // the texture matrices of units 0 to 2 are left at identity.
    void draw();

    std::string fileName;                        // the path the model was read from
    int vertexCount = 0;                         // v lines
    std::vector<std::array<float, 3>> vertices;  // positions x, y, z
    int normalCount = 0;                         // vn lines
    std::vector<std::array<float, 3>> normals;   // normals as written
    int texCoordCount = 0;                       // vt lines
    std::vector<std::array<float, 2>> texCoords; // s, t as written
    int faceCount = 0;                           // triangles after fan triangulation
    std::vector<Face> faces;                     // all triangles, file order
    int groupCount = 0;                          // g lines in the file, +- by addInbetweenGroups
    ModelGroup* groups = nullptr;                // head of the group list; "default" ends it
};

// Direction along which translucent triangles are sorted (x, y, z), in the
// coordinates of the model being drawn; zero until set.
extern float sortDirection[3];

// Copies values[0..2] into sortDirection.
void setSortDirection(const float* values);

// Inverse of a column-major 4x4 matrix by cofactors. A singular matrix prints
// "Warning: Call to invertMatrix produced a Singular matrix." and gives the
// identity.
std::array<float, 16> invertMatrix(std::array<float, 16> matrix);

#endif
