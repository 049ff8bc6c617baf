// Wavefront OBJ models and their renderer. A Model is read in two passes into
// named groups whose textures, colour and opacity come from the caller's
// material templates (no material library is read). Model::draw renders it in
// immediate mode: opaque groups, translucent groups depth-sorted along the
// global sort direction, and DOT3 bump-mapped groups lit by GL_LIGHT1.
#ifndef FIREFLIES_MODEL_H
#define FIREFLIES_MODEL_H

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// What drawing a model saves and restores (glPushAttrib) around the whole
// model and around each group: GL_CURRENT_BIT | GL_LIGHTING_BIT |
// GL_DEPTH_BUFFER_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT, which
// model.cpp checks. The mist saves the same around its sheets.
constexpr unsigned int kModelDrawAttributes = 0x44141;

// Largest model file the reader takes, in bytes (64 MB); the game's own
// models are under 60 kB. A larger file, or a pipe or device that goes on
// past it, is refused as soon as that is seen.
constexpr std::size_t kMaxModelBytes = std::size_t{64} << 20;
// Most positions, most normals, most texture coordinates and most triangles
// (after fan triangulation) a model may hold, each; the game's own hold at most
// about 650. Every triangle costs about 170 bytes once loaded, so these and
// the group limit keep any model under about 300 MB of memory.
constexpr int kMaxModelElements = 1000000;
// Most differently named groups a model may hold (the game's own: 14).
constexpr int kMaxModelGroups = 100000;

// One triangle as indices into the model's arrays, 1-based as written in the
// file; corners in file order. The loader has checked every index against
// its array's size.
struct Face {
    int vertexIndex[3];   // position index of corners 0, 1, 2 (1..vertexCount)
    int normalIndex[3];   // normal index of corners 0, 1, 2 (1..normalCount)
    int texCoordIndex[3]; // texture-coordinate index of corners 0, 1, 2 (1..texCoordCount)
};

// The renderer's unit: the data of one triangle copied out per corner. Plain
// data, so the translucent sort can move it with qsort.
struct Triangle {
    float position[3][3]; // corner positions, model units
    float normal[3][3];   // corner normals as written (not normalised)
    float texCoord[3][2]; // corner texture coordinates, both negated on load
    // Rows b0, b1, b2 of the object-to-tangent-space transform; computed for
    // bump-mapped groups with a normal-map file, the identity otherwise.
    float tangentBasis[3][3];
};

// One named group of a model. The same record serves callers as a material
// template: of a template only name, textureCount, textureNames, textureIds,
// bumpMapped, normalMapName, normalMapId, color and alpha are read.
struct ModelGroup {
    std::string name;                // group name as in the file's g line
    int triangleCount = 0;           // triangles in the group (== triangles.size() once loaded)
    std::vector<int> faceIndices;    // 0-based indices into Model::faces, file order
    std::vector<Triangle> triangles; // drawable triangles, same order as faceIndices
    ModelGroup* next = nullptr;      // next group in the model's list (owned by the model)
    int textureCount = 0;            // colour textures; the renderer uses at most 2
    std::vector<std::string> textureNames; // BMP file names; "default" = take textureIds[j] as is
    std::vector<int> textureIds;           // GL texture names, one per texture
    bool bumpMapped = false;               // draw with the normal map and GL_LIGHT1
    std::string normalMapName = "default"; // normal-map BMP; "default" = take normalMapId as is
    int normalMapId = -1;                  // GL texture name of the normal map
    float color[3] = {1.0f, 1.0f, 1.0f};   // draw colour r, g, b (0..1) when not bump-mapped
    float alpha = 1.0f;                    // opacity 0..1; below 1 the group is sorted and blended
};

class Model {
  public:
    // Reads fileName (relative to the working directory). templates points to
    // templateCount material records; a group takes the first template of its
    // name among the first min(groupCount, templateCount) of them. jitter adds
    // rand() noise of 0 to 0.05 to every vertex coordinate (the game always
    // passes false). Texture files named by templates are loaded, so a
    // template with file names needs a current GL context. Throws LoadError
    // ("file: ..." or "file:line: ...") when the model or one of its pictures
    // cannot be opened or is unusable, when the model is larger than
    // kMaxModelBytes or holds more than kMaxModelElements of anything or
    // kMaxModelGroups groups, or when it has no triangles.
    Model(std::string fileName, const ModelGroup* templates, int templateCount, bool jitter);
    // Releases the group list (GL textures are never released).
    ~Model();
    Model(const Model&) = delete;
    Model& operator=(const Model&) = delete;

    // The first group in list order with that name, or null. Owned by the model.
    ModelGroup* findGroup(const std::string& name);
    // findGroup, else a new empty group with the defaults put at the head of
    // the list. Owned by the model.
    ModelGroup* findOrAddGroup(const std::string& name);
    // Adds steps interpolated groups named "new" between the head and the
    // group after it, then steps/2 between that group and the next, and so
    // on, up to the first empty group; then drops every second group of the
    // list, starting with the head when parity is even, with the second group
    // when it is odd. groupCount rises by one for every group added and falls
    // by one for every group dropped after the head. Throws LoadError when a
    // group to blend from has more triangles than the group after it.
    void addInbetweenGroups(int steps, int parity);
    // Draws every group from the head up to the first empty one under the
    // current modelview matrix. Restores the GL state it changes, except that
    // the texture matrices of units 0 to 2 are left at identity and the
    // matrix mode at GL_MODELVIEW. Translucent groups are re-sorted in place.
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

  private:
    // A new empty group with the defaults put at the head of the list; no
    // check for the name. Owned by the model.
    ModelGroup* addGroup(const std::string& name);
    // One reading of the whole text: counting (fill false) or storing.
    void readPass(const std::string& text, bool fill);
    // Copies the per-corner data of every group's faces into its triangles.
    void buildTriangles();
    // Gives each group the textures, colour and opacity of its template.
    void applyTemplates(const ModelGroup* templates, int templateCount);
    // Checks for the combiner extension and computes the tangent bases.
    void prepareBumpMap(ModelGroup& group);
};

// Fills triangle.tangentBasis from its positions and (negated) texture
// coordinates. Nearly collinear texture coordinates (|det| < 0.0001), a
// degenerate triangle or any zero-length basis vector give the identity
// basis, so the result is always finite.
void computeTangentBasis(Triangle& triangle);

// The colour (r, g, b, before GL clamps it to 0..1) that the bump path sends
// for a corner at position with the light at lightPos, both in model units:
// the unit vector from the corner to the light in the triangle's tangent
// space (rows of tangentBasis), mapped from -1..1 to 0..1 and scaled by 1.5.
// A light exactly at the corner counts as the zero vector.
std::array<float, 3> bumpCornerColor(const float lightPos[3], const float position[3],
                                     const float tangentBasis[3][3]);

// Direction along which translucent triangles are sorted (x, y, z), in the
// coordinates of the model being drawn; zero until set.
extern float sortDirection[3];

// Copies values[0..2] into sortDirection.
void setSortDirection(const float* values);

// Inverse of a column-major 4x4 matrix by cofactors. A singular matrix prints
// "Warning: Call to invertMatrix produced a Singular matrix." on standard
// output and gives the identity.
std::array<float, 16> invertMatrix(std::array<float, 16> matrix);

#endif
