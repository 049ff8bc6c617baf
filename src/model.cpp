#include "model.h"

#include "random_unit.h"

#include <GL/glew.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "texture.h"
#include "tools.h"

float sortDirection[3] = {0.0f, 0.0f, 0.0f};

void setSortDirection(const float* values) {
    sortDirection[0] = values[0];
    sortDirection[1] = values[1];
    sortDirection[2] = values[2];
}

namespace {

// Reads a model's text the way the C stream functions read it: a token is a
// run of non-space characters, a number first skips any spaces and line ends.
// Tokens and names have no length limit. Counts lines for error messages.
class TextReader {
  public:
    explicit TextReader(const std::string& text) : text_(text) {}

    // Line (from 1) of the next character to be read.
    int line() const { return line_; }

    // The next token into token; false at the end of the text.
    bool nextToken(std::string& token) {
        skipSpace();
        size_t start = pos_;
        while (pos_ < text_.size() && !isSpace(text_[pos_])) {
            ++pos_;
        }
        token.assign(text_, start, pos_ - start);
        return pos_ > start;
    }

    // Skips up to and including the next line end, however long the line.
    void skipLine() {
        while (pos_ < text_.size() && text_[pos_] != '\n') {
            ++pos_;
        }
        if (pos_ < text_.size()) {
            ++pos_;
            ++line_;
        }
    }

    // The first word of the rest of the line (maybe empty); the whole line is
    // consumed.
    std::string firstWordOfLine() {
        while (pos_ < text_.size() && text_[pos_] != '\n' && isSpace(text_[pos_])) {
            ++pos_;
        }
        size_t start = pos_;
        while (pos_ < text_.size() && !isSpace(text_[pos_])) {
            ++pos_;
        }
        std::string word(text_, start, pos_ - start);
        skipLine();
        return word;
    }

    // "%f": false (nothing consumed but spaces) when no number starts here.
    bool readFloat(float& value) {
        skipSpace();
        const char* start = text_.c_str() + pos_;
        char* end = nullptr;
        float parsed = std::strtof(start, &end);
        if (end == start) {
            return false;
        }
        pos_ += static_cast<size_t>(end - start);
        value = parsed;
        return true;
    }

    // "%d": an optional sign and decimal digits, saturating at the int range
    // (so an absurd index is caught by the range check, not wrapped).
    bool readInt(int& value) {
        skipSpace();
        size_t p = pos_;
        bool negative = false;
        if (p < text_.size() && (text_[p] == '+' || text_[p] == '-')) {
            negative = text_[p] == '-';
            ++p;
        }
        if (p >= text_.size() || text_[p] < '0' || text_[p] > '9') {
            return false;
        }
        long long magnitude = 0;
        while (p < text_.size() && text_[p] >= '0' && text_[p] <= '9') {
            if (magnitude <= INT_MAX) {
                magnitude = magnitude * 10 + (text_[p] - '0');
            }
            ++p;
        }
        pos_ = p;
        long long signedValue = negative ? -magnitude : magnitude;
        if (signedValue > INT_MAX) {
            signedValue = INT_MAX;
        } else if (signedValue < INT_MIN) {
            signedValue = INT_MIN;
        }
        value = static_cast<int>(signedValue);
        return true;
    }

    // One literal character, no spaces skipped.
    bool match(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

  private:
    static bool isSpace(char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    }

    void skipSpace() {
        while (pos_ < text_.size() && isSpace(text_[pos_])) {
            if (text_[pos_] == '\n') {
                ++line_;
            }
            ++pos_;
        }
    }

    const std::string& text_;
    size_t pos_ = 0;
    int line_ = 1;
};

// One face corner: position, texture-coordinate and normal index.
struct Corner {
    int v = 0;
    int t = 0;
    int n = 0;
};

// "%d/%d/%d" into corner, stopping at the first mismatch; the places not
// read keep what they held. Returns how many numbers were read (0..3).
int scanCorner(TextReader& in, Corner& corner) {
    if (!in.readInt(corner.v)) {
        return 0;
    }
    if (!in.match('/') || !in.readInt(corner.t)) {
        return 1;
    }
    if (!in.match('/') || !in.readInt(corner.n)) {
        return 2;
    }
    return 3;
}

// "%f %f %f" (or two): reads into values until a number is missing.
void scanFloats(TextReader& in, float* values, int count) {
    for (int i = 0; i < count; ++i) {
        if (!in.readFloat(values[i])) {
            return;
        }
    }
}

std::string readWholeFile(const std::string& fileName) {
    std::string other = notAFile(fileName);
    if (!other.empty()) {
        throw LoadError{fileName + ": cannot read the model (" + other + ")", false, fileName};
    }
    std::string text;
    switch (readFileUpTo(fileName, kMaxModelBytes, text)) {
    case FileRead::kWhole:
    case FileRead::kStopped:
        return text;
    case FileRead::kCannotOpen:
        throw LoadError{fileName + ": cannot open the model (" + std::strerror(errno) + ")", false,
                        fileName};
    case FileRead::kTooLarge:
        throw LoadError{fileName + ": the model is larger than " +
                            std::to_string(kMaxModelBytes >> 20) + " MB (" +
                            std::to_string(kMaxModelBytes) + " bytes), more than the game reads",
                        false, fileName};
    case FileRead::kCannotRead:
        break;
    }
    throw LoadError{fileName + ": cannot read the model", false, fileName};
}

void setIdentityBasis(float basis[3][3]) {
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            basis[row][col] = (row == col) ? 1.0f : 0.0f;
        }
    }
}

void cross(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

float dot(const float a[3], const float b[3]) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Divides v by its length; false (v untouched) when the length is 0 or not
// finite.
bool normalize(float v[3]) {
    float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        return false;
    }
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
    return true;
}

// 1 / (steps + 1), the spacing of steps in-between groups; 0 where there is
// none to space (steps of -1).
float stepFraction(int steps) {
    return steps + 1 != 0 ? 1.0f / static_cast<float>(steps + 1) : 0.0f;
}

void deleteGroupList(ModelGroup* head) {
    while (head != nullptr) {
        ModelGroup* after = head->next;
        delete head;
        head = after;
    }
}

} // namespace

Model::Model(std::string fileName, const ModelGroup* templates, int templateCount, bool jitter)
    : fileName(std::move(fileName)) {
    // The file is read once; the counting pass and the filling pass then run
    // over the same text, so they cannot disagree.
    std::string text = readWholeFile(this->fileName);
    try {
        readPass(text, false);
        // A model without a single triangle would be drawn as nothing and
        // still stand in the world (a lantern that blocks beams unseen).
        if (faceCount == 0) {
            throw LoadError{this->fileName + ": the model has no triangles (no face line with "
                                             "position/texture/normal corners)",
                            false, this->fileName};
        }

        vertices.assign(vertexCount, {0.0f, 0.0f, 0.0f});
        normals.assign(normalCount, {0.0f, 0.0f, 0.0f});
        texCoords.assign(texCoordCount, {0.0f, 0.0f});
        faces.assign(faceCount, Face{});
        for (ModelGroup* g = groups; g != nullptr; g = g->next) {
            g->faceIndices.reserve(g->triangleCount);
            g->triangleCount = 0;
        }

        readPass(text, true);

        if (jitter) {
            for (std::array<float, 3>& vertex : vertices) {
                for (float& coordinate : vertex) {
                    coordinate += static_cast<float>(randomUnit() * 0.05);
                }
            }
        }
        buildTriangles();
        applyTemplates(templates, templateCount);
    } catch (...) {
        // The destructor does not run for a half-built model.
        deleteGroupList(groups);
        groups = nullptr;
        throw;
    }
}

Model::~Model() {
    deleteGroupList(groups);
}

ModelGroup* Model::findGroup(const std::string& name) {
    for (ModelGroup* g = groups; g != nullptr; g = g->next) {
        if (g->name == name) {
            return g;
        }
    }
    return nullptr;
}

ModelGroup* Model::findOrAddGroup(const std::string& name) {
    ModelGroup* found = findGroup(name);
    if (found != nullptr) {
        return found;
    }
    return addGroup(name);
}

ModelGroup* Model::addGroup(const std::string& name) {
    ModelGroup* added = new ModelGroup;
    added->name = name;
    added->next = groups;
    groups = added;
    return added;
}

void Model::readPass(const std::string& text, bool fill) {
    TextReader in(text);
    // Group names are looked up by hash, not along the list: a model with
    // thousands of group lines would otherwise take hours to read.
    std::unordered_map<std::string, ModelGroup*> byName;
    for (ModelGroup* g = groups; g != nullptr; g = g->next) {
        byName.emplace(g->name, g); // the first in list order wins, as in findGroup
    }
    // The group of that name; the counting pass adds the ones it has not met,
    // the filling pass finds them all there.
    auto groupNamed = [&](const std::string& name) -> ModelGroup* {
        auto found = byName.find(name);
        if (found != byName.end()) {
            return found->second;
        }
        if (fill) {
            return nullptr;
        }
        ModelGroup* added = addGroup(name);
        byName.emplace(name, added);
        return added;
    };
    // Line of the token being read, for the counting pass's complaints.
    int tokenLine = 1;
    // The counting pass turns away a model larger than any the game can use
    // before the filling pass sets memory aside for it.
    auto checkCount = [&](std::size_t count, int most, const char* kind) {
        if (!fill && count > static_cast<std::size_t>(most)) {
            throw LoadError{fileName + ":" + std::to_string(tokenLine) + ": more than " +
                                std::to_string(most) + " " + kind +
                                "; the game takes no model that large",
                            false, fileName};
        }
    };
    // Triangles before the first group line belong to "default", which does
    // not count as a group line.
    ModelGroup* current = groupNamed("default");
    int vertex = 0;
    int normal = 0;
    int texCoord = 0;
    int face = 0;

    auto checkIndex = [&](int index, int count, const char* kind) {
        if (index < 1 || index > count) {
            throw LoadError{fileName + ":" + std::to_string(in.line()) + ": face " + kind +
                                " index " + std::to_string(index) + " is outside 1.." +
                                std::to_string(count),
                            false, fileName};
        }
    };
    auto addTriangle = [&](const Corner& a, const Corner& b, const Corner& c) {
        if (!fill) {
            ++faceCount;
            ++current->triangleCount;
            checkCount(faceCount, kMaxModelElements, "triangles");
            return;
        }
        const Corner* corners[3] = {&a, &b, &c};
        for (const Corner* corner : corners) {
            checkIndex(corner->v, vertexCount, "position");
            checkIndex(corner->t, texCoordCount, "texture");
            checkIndex(corner->n, normalCount, "normal");
        }
        Face& stored = faces[face];
        for (int k = 0; k < 3; ++k) {
            stored.vertexIndex[k] = corners[k]->v;
            stored.texCoordIndex[k] = corners[k]->t;
            stored.normalIndex[k] = corners[k]->n;
        }
        current->faceIndices.push_back(face);
        ++current->triangleCount;
        ++face;
    };

    std::string token;
    while (in.nextToken(token)) {
        tokenLine = in.line();
        char first = token[0];
        if (first == '#') {
            in.skipLine();
        } else if (first == 'v') {
            // Both passes take the numbers the same way; a fourth number
            // is left behind as a stray token.
            float values[3] = {0.0f, 0.0f, 0.0f};
            if (token.size() == 1) {
                scanFloats(in, values, 3);
                if (fill) {
                    vertices[vertex] = {values[0], values[1], values[2]};
                }
                ++vertex;
                checkCount(vertex, kMaxModelElements, "positions");
            } else if (token[1] == 'n') {
                scanFloats(in, values, 3);
                if (fill) {
                    normals[normal] = {values[0], values[1], values[2]};
                }
                ++normal;
                checkCount(normal, kMaxModelElements, "normals");
            } else if (token[1] == 't') {
                scanFloats(in, values, 2);
                if (fill) {
                    texCoords[texCoord] = {values[0], values[1]};
                }
                ++texCoord;
                checkCount(texCoord, kMaxModelElements, "texture coordinates");
            }
            // Any other "v..." token is dropped and the line read on.
        } else if (first == 'g') {
            std::string name = in.firstWordOfLine();
            if (name.empty()) {
                name = "default"; // a bare "g" line goes back to the default group
            }
            current = groupNamed(name);
            checkCount(byName.size(), kMaxModelGroups, "groups");
            if (!fill) {
                ++groupCount;
            }
        } else if (first == 'f') {
            std::string cornerToken;
            if (!in.nextToken(cornerToken)) {
                break;
            }
            Corner c0;
            std::string copy = cornerToken;
            TextReader cornerReader(copy);
            if (scanCorner(cornerReader, c0) != 3) {
                continue; // not v/vt/vn: the face is dropped, its other corners skipped
            }
            Corner c1 = c0;
            scanCorner(in, c1);
            Corner c2 = c1;
            scanCorner(in, c2);
            addTriangle(c0, c1, c2);
            // Fan: every further corner makes (0, previous, this).
            Corner previous = c2;
            for (;;) {
                Corner next = previous;
                if (scanCorner(in, next) == 0) {
                    break;
                }
                addTriangle(c0, previous, next);
                previous = next;
            }
        } else {
            in.skipLine();
        }
    }

    if (!fill) {
        vertexCount = vertex;
        normalCount = normal;
        texCoordCount = texCoord;
    }
}

void Model::buildTriangles() {
    for (ModelGroup* g = groups; g != nullptr; g = g->next) {
        g->triangles.assign(g->triangleCount, Triangle{});
        for (int i = 0; i < g->triangleCount; ++i) {
            const Face& face = faces[g->faceIndices[i]];
            Triangle& tri = g->triangles[i];
            for (int k = 0; k < 3; ++k) {
                const std::array<float, 3>& p = vertices[face.vertexIndex[k] - 1];
                const std::array<float, 3>& n = normals[face.normalIndex[k] - 1];
                const std::array<float, 2>& st = texCoords[face.texCoordIndex[k] - 1];
                for (int c = 0; c < 3; ++c) {
                    tri.position[k][c] = p[c];
                    tri.normal[k][c] = n[c];
                }
                tri.texCoord[k][0] = st[0] * -1.0f;
                tri.texCoord[k][1] = st[1] * -1.0f;
            }
            setIdentityBasis(tri.tangentBasis);
        }
    }
}

void Model::applyTemplates(const ModelGroup* templates, int templateCount) {
    int examined = groupCount < templateCount ? groupCount : templateCount;
    if (templates == nullptr) {
        examined = 0;
    }
    for (ModelGroup* g = groups; g != nullptr; g = g->next) {
        const ModelGroup* match = nullptr;
        for (int i = 0; i < examined; ++i) {
            if (templates[i].name == g->name) {
                match = &templates[i];
                break;
            }
        }
        if (match == nullptr) {
            continue;
        }
        g->textureCount = match->textureCount > 0 ? match->textureCount : 0;
        g->bumpMapped = match->bumpMapped;
        g->textureNames.assign(g->textureCount, "default");
        g->textureIds.assign(g->textureCount, 0);
        for (int j = 0; j < g->textureCount; ++j) {
            // A template may list fewer names or ids than its count; the
            // missing ones mean "no file" and GL's texture 0.
            if (j < static_cast<int>(match->textureNames.size())) {
                g->textureNames[j] = match->textureNames[j];
            }
            if (g->textureNames[j] != "default") {
                unsigned int id = 0;
                loadTexture(g->textureNames[j], id);
                g->textureIds[j] = static_cast<int>(id);
            } else if (j < static_cast<int>(match->textureIds.size())) {
                g->textureIds[j] = match->textureIds[j];
            }
        }
        g->color[0] = match->color[0];
        g->color[1] = match->color[1];
        g->color[2] = match->color[2];
        if (g->bumpMapped) {
            g->normalMapName = match->normalMapName;
            if (g->normalMapName != "default") {
                unsigned int id = 0;
                loadTexture(g->normalMapName, id);
                g->normalMapId = static_cast<int>(id);
            } else {
                g->normalMapId = match->normalMapId;
            }
            prepareBumpMap(*g);
        }
        g->alpha = match->alpha;
    }
}

void Model::prepareBumpMap(ModelGroup& group) {
    if (group.normalMapName == "default") {
        return;
    }
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (extensions == nullptr || std::strstr(extensions, "GL_EXT_texture_env_combine") == nullptr) {
        std::printf("no GL_EXT_texture_env_combine\n");
    }
    for (Triangle& tri : group.triangles) {
        computeTangentBasis(tri);
    }
}

void computeTangentBasis(Triangle& triangle) {
    const float* p0 = triangle.position[0];
    const float* p1 = triangle.position[1];
    const float* p2 = triangle.position[2];
    float dv2v1[3] = {p1[0] - p0[0], p1[1] - p0[1], p1[2] - p0[2]};
    float dv3v1[3] = {p2[0] - p0[0], p2[1] - p0[1], p2[2] - p0[2]};
    float ds1 = triangle.texCoord[1][0] - triangle.texCoord[0][0];
    float dt1 = triangle.texCoord[1][1] - triangle.texCoord[0][1];
    float ds2 = triangle.texCoord[2][0] - triangle.texCoord[0][0];
    float dt2 = triangle.texCoord[2][1] - triangle.texCoord[0][1];
    float det = ds1 * dt2 - ds2 * dt1;
    if (det > -0.0001f && det < 0.0001f) {
        setIdentityBasis(triangle.tangentBasis);
        return;
    }
    float r = 1.0f / det;
    float T[3];
    float B[3];
    for (int c = 0; c < 3; ++c) {
        T[c] = r * (dt2 * dv2v1[c] - dt1 * dv3v1[c]);
        B[c] = r * (ds1 * dv3v1[c] - ds2 * dv2v1[c]);
    }
    float N[3];
    cross(T, B, N);
    float P[3];
    float Q[3];
    float R[3];
    cross(B, N, P);
    cross(N, T, Q);
    cross(T, B, R);
    float D = dot(T, P);
    // D is |T x B|^2: zero for a triangle without area (or a texture mapping
    // that squashes it to a line), where no basis exists.
    if (D == 0.0f || !std::isfinite(D)) {
        setIdentityBasis(triangle.tangentBasis);
        return;
    }
    float k = 1.0f / D;
    float basis[3][3];
    for (int row = 0; row < 3; ++row) {
        basis[row][0] = k * P[row];
        basis[row][1] = -k * Q[row];
        basis[row][2] = k * R[row];
        if (!normalize(basis[row])) {
            setIdentityBasis(triangle.tangentBasis);
            return;
        }
    }
    std::memcpy(triangle.tangentBasis, basis, sizeof basis);
}

void Model::addInbetweenGroups(int steps, int parity) {
    // Each pair that gets in-between groups blends triangle i of the first
    // group with triangle i of the second, so the second needs as many.
    int pairSteps = steps;
    for (ModelGroup* g = groups; g != nullptr && g->next != nullptr && g->next->triangleCount != 0;
         g = g->next) {
        if (pairSteps > 0 && g->next->triangleCount < g->triangleCount) {
            throw LoadError{fileName + ": group " + printable(g->next->name) + " has " +
                                std::to_string(g->next->triangleCount) +
                                " triangles, fewer than the " + std::to_string(g->triangleCount) +
                                " of group " + printable(g->name) + " it is blended with",
                            false, fileName};
        }
        pairSteps /= 2;
    }

    ModelGroup* g = groups;
    float t = stepFraction(steps);
    while (g != nullptr && g->next != nullptr && g->next->triangleCount != 0) {
        const ModelGroup* to = g->next;
        for (int s = 0; s < steps; ++s) {
            ModelGroup* added = new ModelGroup;
            added->name = "new";
            added->triangleCount = g->triangleCount;
            added->triangles.assign(g->triangleCount, Triangle{});
            for (int i = 0; i < g->triangleCount; ++i) {
                const Triangle& a = g->triangles[i];
                const Triangle& b = to->triangles[i];
                Triangle& out = added->triangles[i];
                for (int k = 0; k < 3; ++k) {
                    for (int c = 0; c < 3; ++c) {
                        out.position[k][c] = a.position[k][c] * (1.0f - t) + t * b.position[k][c];
                        out.normal[k][c] = a.normal[k][c] * (1.0f - t) + t * b.normal[k][c];
                    }
                    out.texCoord[k][0] = a.texCoord[k][0];
                    out.texCoord[k][1] = a.texCoord[k][1];
                }
                setIdentityBasis(out.tangentBasis);
            }
            added->textureCount = g->textureCount;
            added->bumpMapped = g->bumpMapped;
            added->normalMapId = g->normalMapId;
            added->color[0] = g->color[0];
            added->color[1] = g->color[1];
            added->color[2] = g->color[2];
            added->alpha = g->alpha;
            added->textureIds = g->textureIds;
            added->next = groups;
            groups = added;
            ++groupCount;
            t = t + stepFraction(steps);
        }
        steps = steps / 2;
        t = stepFraction(steps);
        g = g->next;
    }

    // Thinning: every second group goes, from the head (even parity) or from
    // the second group (odd parity). Each group dropped after the head lowers
    // groupCount; the head itself leaves the count as it is.
    ModelGroup* keep = groups;
    if (parity % 2 == 0 && keep != nullptr) {
        groups = keep->next;
        delete keep;
        keep = groups;
    }
    while (keep != nullptr && keep->next != nullptr) {
        ModelGroup* dropped = keep->next;
        keep->next = dropped->next;
        delete dropped;
        --groupCount;
        keep = keep->next;
    }
}

namespace {

static_assert(kModelDrawAttributes == (GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT |
                                       GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT),
              "draw saves current, lighting, depth, colour, texture");

// The dot-product combiner function of GL_EXT_texture_env_dot3 (the core
// GL_DOT3_RGB has another value).
constexpr GLenum kDot3RgbExt = 0x8740;

void texEnv(GLenum name, GLenum value) {
    glTexEnvf(GL_TEXTURE_ENV, name, static_cast<GLfloat>(value));
}

// Binds texture to unit and modulates the vertex colour with it; the combiner
// settings are set too but stand ready only (the mode is GL_MODULATE).
void setUpPlainUnit(GLenum unit, int texture) {
    glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
    glEnable(GL_TEXTURE_2D);
    texEnv(GL_TEXTURE_ENV_MODE, GL_MODULATE);
    texEnv(GL_COMBINE_RGB, GL_REPLACE);
    texEnv(GL_COMBINE_ALPHA, GL_REPLACE);
    texEnv(GL_SOURCE0_RGB, GL_TEXTURE);
    texEnv(GL_OPERAND0_RGB, GL_SRC_COLOR);
    texEnv(GL_SOURCE0_ALPHA, GL_TEXTURE);
    texEnv(GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
}

// Binds texture to unit and multiplies the previous unit's result (colour
// and alpha) by it.
void setUpModulateUnit(GLenum unit, int texture) {
    glActiveTexture(unit);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
    glEnable(GL_TEXTURE_2D);
    texEnv(GL_TEXTURE_ENV_MODE, GL_COMBINE);
    texEnv(GL_COMBINE_RGB, GL_MODULATE);
    texEnv(GL_COMBINE_ALPHA, GL_MODULATE);
    texEnv(GL_SOURCE0_RGB, GL_PREVIOUS);
    texEnv(GL_OPERAND0_RGB, GL_SRC_COLOR);
    texEnv(GL_SOURCE0_ALPHA, GL_PREVIOUS);
    texEnv(GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
    texEnv(GL_SOURCE1_RGB, GL_TEXTURE);
    texEnv(GL_OPERAND1_RGB, GL_SRC_COLOR);
    texEnv(GL_SOURCE1_ALPHA, GL_TEXTURE);
    texEnv(GL_OPERAND1_ALPHA, GL_SRC_ALPHA);
}

// Sort key of a translucent triangle: the sort direction times the sum of
// its corners, in the model's own coordinates.
float sortKey(const Triangle& tri) {
    float sx = tri.position[0][0] + tri.position[1][0] + tri.position[2][0];
    float sy = tri.position[0][1] + tri.position[1][1] + tri.position[2][1];
    float sz = tri.position[0][2] + tri.position[1][2] + tri.position[2][2];
    return sortDirection[0] * sx + sortDirection[1] * sy + sortDirection[2] * sz;
}

// qsort order: the key difference truncated to an int, so keys less than 1
// apart compare equal.
int compareTriangles(const void* a, const void* b) {
    float difference =
        sortKey(*static_cast<const Triangle*>(a)) - sortKey(*static_cast<const Triangle*>(b));
    if (!(difference > -2.0e9f && difference < 2.0e9f)) {
        return difference > 0.0f ? 1 : (difference < 0.0f ? -1 : 0); // huge or not a number
    }
    return static_cast<int>(difference);
}

// Number of colour textures a group really has ids for.
int usableTextures(const ModelGroup& group) {
    int count = group.textureCount;
    int ids = static_cast<int>(group.textureIds.size());
    return count < ids ? count : ids;
}

void drawPlainGroup(const ModelGroup& group) {
    glColor4f(group.color[0], group.color[1], group.color[2], group.alpha);
    int textures = usableTextures(group);
    if (textures > 0) {
        setUpPlainUnit(GL_TEXTURE0, group.textureIds[0]);
    }
    if (textures > 1) {
        setUpPlainUnit(GL_TEXTURE1, group.textureIds[1]);
    }
    glBegin(GL_TRIANGLES);
    for (int i = static_cast<int>(group.triangles.size()) - 1; i >= 0; --i) {
        const Triangle& tri = group.triangles[i];
        for (int k = 0; k < 3; ++k) {
            if (textures > 0) {
                glMultiTexCoord2fv(GL_TEXTURE0, tri.texCoord[k]);
            }
            if (textures > 1) {
                glMultiTexCoord2fv(GL_TEXTURE1, tri.texCoord[k]);
            }
            glNormal3fv(tri.normal[k]);
            glVertex3fv(tri.position[k]);
        }
    }
    glEnd();
}

// Per-pixel diffuse light from GL_LIGHT1: unit 0 takes the dot product of
// the normal-map texel with the light vector carried in the vertex colour,
// units 1 and 2 multiply it by the colour textures.
void drawBumpGroup(const ModelGroup& group) {
    int textures = usableTextures(group);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(group.normalMapId));
    glEnable(GL_TEXTURE_2D);
    texEnv(GL_TEXTURE_ENV_MODE, GL_COMBINE);
    texEnv(GL_COMBINE_RGB, kDot3RgbExt);
    texEnv(GL_SOURCE0_RGB, GL_TEXTURE);
    texEnv(GL_OPERAND0_RGB, GL_SRC_COLOR);
    texEnv(GL_SOURCE1_RGB, GL_PRIMARY_COLOR);
    texEnv(GL_OPERAND1_RGB, GL_SRC_COLOR);
    // Without a colour texture the lighting term is drawn as it is.
    if (textures > 0) {
        setUpModulateUnit(GL_TEXTURE1, group.textureIds[0]);
    }
    if (textures > 1) {
        setUpModulateUnit(GL_TEXTURE2, group.textureIds[1]);
    }

    // GL keeps the light in eye coordinates; the triangles are in the
    // model's own, so the light is moved back through the modelview.
    float lightPos4[4];
    glGetLightfv(GL_LIGHT1, GL_POSITION, lightPos4);
    std::array<float, 16> modelViewMatrix;
    glGetFloatv(GL_MODELVIEW_MATRIX, modelViewMatrix.data());
    std::array<float, 16> m = invertMatrix(modelViewMatrix);
    float lightPos[3];
    for (int c = 0; c < 3; ++c) {
        lightPos[c] =
            m[c] * lightPos4[0] + m[4 + c] * lightPos4[1] + m[8 + c] * lightPos4[2] + m[12 + c];
    }

    glBegin(GL_TRIANGLES);
    for (int i = static_cast<int>(group.triangles.size()) - 1; i >= 0; --i) {
        const Triangle& tri = group.triangles[i];
        for (int k = 0; k < 3; ++k) {
            glMultiTexCoord2fv(GL_TEXTURE0, tri.texCoord[k]);
            glMultiTexCoord2fv(GL_TEXTURE1, tri.texCoord[k]);
            if (textures > 1) {
                glMultiTexCoord2fv(GL_TEXTURE2, tri.texCoord[k]);
            }
            std::array<float, 3> lV = bumpCornerColor(lightPos, tri.position[k], tri.tangentBasis);
            glColor4f(lV[0], lV[1], lV[2], group.alpha);
            glNormal3fv(tri.normal[k]);
            glVertex3fv(tri.position[k]);
        }
    }
    glEnd();
}

} // namespace

std::array<float, 3> bumpCornerColor(const float lightPos[3], const float position[3],
                                     const float tangentBasis[3][3]) {
    float toLight[3] = {lightPos[0] - position[0], lightPos[1] - position[1],
                        lightPos[2] - position[2]};
    if (!normalize(toLight)) {
        toLight[0] = toLight[1] = toLight[2] = 0.0f;
    }
    std::array<float, 3> color;
    for (int row = 0; row < 3; ++row) {
        float tangent = dot(toLight, tangentBasis[row]);
        color[row] = 1.5f * (tangent * 0.5f + 0.5f);
    }
    return color;
}

void Model::draw() {
    glPushAttrib(kModelDrawAttributes);
    const GLenum units[3] = {GL_TEXTURE0, GL_TEXTURE1, GL_TEXTURE2};
    for (GLenum unit : units) {
        glActiveTexture(unit);
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
    }
    for (ModelGroup* g = groups; g != nullptr && g->triangleCount != 0; g = g->next) {
        glPushAttrib(kModelDrawAttributes);
        if (g->alpha < 1.0f) {
            if (!g->triangles.empty()) {
                std::qsort(g->triangles.data(), g->triangles.size(), sizeof(Triangle),
                           compareTriangles);
            }
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            glDepthMask(GL_TRUE);
        }
        if (g->bumpMapped) {
            drawBumpGroup(*g);
        } else {
            drawPlainGroup(*g);
        }
        glPopAttrib();
    }
    glPopAttrib();
}

std::array<float, 16> invertMatrix(std::array<float, 16> m) {
    // Cofactors; inv[0], inv[4], inv[8], inv[12] belong to the first column.
    std::array<float, 16> inv;
    inv[0] = m[5] * m[10] * m[15] - m[5] * m[11] * m[14] - m[9] * m[6] * m[15] +
             m[9] * m[7] * m[14] + m[13] * m[6] * m[11] - m[13] * m[7] * m[10];
    inv[4] = -m[4] * m[10] * m[15] + m[4] * m[11] * m[14] + m[8] * m[6] * m[15] -
             m[8] * m[7] * m[14] - m[12] * m[6] * m[11] + m[12] * m[7] * m[10];
    inv[8] = m[4] * m[9] * m[15] - m[4] * m[11] * m[13] - m[8] * m[5] * m[15] +
             m[8] * m[7] * m[13] + m[12] * m[5] * m[11] - m[12] * m[7] * m[9];
    inv[12] = -m[4] * m[9] * m[14] + m[4] * m[10] * m[13] + m[8] * m[5] * m[14] -
              m[8] * m[6] * m[13] - m[12] * m[5] * m[10] + m[12] * m[6] * m[9];
    inv[1] = -m[1] * m[10] * m[15] + m[1] * m[11] * m[14] + m[9] * m[2] * m[15] -
             m[9] * m[3] * m[14] - m[13] * m[2] * m[11] + m[13] * m[3] * m[10];
    inv[5] = m[0] * m[10] * m[15] - m[0] * m[11] * m[14] - m[8] * m[2] * m[15] +
             m[8] * m[3] * m[14] + m[12] * m[2] * m[11] - m[12] * m[3] * m[10];
    inv[9] = -m[0] * m[9] * m[15] + m[0] * m[11] * m[13] + m[8] * m[1] * m[15] -
             m[8] * m[3] * m[13] - m[12] * m[1] * m[11] + m[12] * m[3] * m[9];
    inv[13] = m[0] * m[9] * m[14] - m[0] * m[10] * m[13] - m[8] * m[1] * m[14] +
              m[8] * m[2] * m[13] + m[12] * m[1] * m[10] - m[12] * m[2] * m[9];
    inv[2] = m[1] * m[6] * m[15] - m[1] * m[7] * m[14] - m[5] * m[2] * m[15] + m[5] * m[3] * m[14] +
             m[13] * m[2] * m[7] - m[13] * m[3] * m[6];
    inv[6] = -m[0] * m[6] * m[15] + m[0] * m[7] * m[14] + m[4] * m[2] * m[15] -
             m[4] * m[3] * m[14] - m[12] * m[2] * m[7] + m[12] * m[3] * m[6];
    inv[10] = m[0] * m[5] * m[15] - m[0] * m[7] * m[13] - m[4] * m[1] * m[15] +
              m[4] * m[3] * m[13] + m[12] * m[1] * m[7] - m[12] * m[3] * m[5];
    inv[14] = -m[0] * m[5] * m[14] + m[0] * m[6] * m[13] + m[4] * m[1] * m[14] -
              m[4] * m[2] * m[13] - m[12] * m[1] * m[6] + m[12] * m[2] * m[5];
    inv[3] = -m[1] * m[6] * m[11] + m[1] * m[7] * m[10] + m[5] * m[2] * m[11] -
             m[5] * m[3] * m[10] - m[9] * m[2] * m[7] + m[9] * m[3] * m[6];
    inv[7] = m[0] * m[6] * m[11] - m[0] * m[7] * m[10] - m[4] * m[2] * m[11] + m[4] * m[3] * m[10] +
             m[8] * m[2] * m[7] - m[8] * m[3] * m[6];
    inv[11] = -m[0] * m[5] * m[11] + m[0] * m[7] * m[9] + m[4] * m[1] * m[11] - m[4] * m[3] * m[9] -
              m[8] * m[1] * m[7] + m[8] * m[3] * m[5];
    inv[15] = m[0] * m[5] * m[10] - m[0] * m[6] * m[9] - m[4] * m[1] * m[10] + m[4] * m[2] * m[9] +
              m[8] * m[1] * m[6] - m[8] * m[2] * m[5];

    float det = m[0] * inv[0] + m[1] * inv[4] + m[2] * inv[8] + m[3] * inv[12];
    if (det == 0.0f) {
        std::printf("Warning: Call to invertMatrix produced a Singular matrix.\n");
        std::array<float, 16> identity{};
        identity[0] = identity[5] = identity[10] = identity[15] = 1.0f;
        return identity;
    }
    float inverseDet = 1.0f / det;
    for (float& value : inv) {
        value *= inverseDet;
    }
    return inv;
}
