// Any bytes as a model file, loaded the way the scene objects load theirs:
// with material templates named like the groups of the shipped models (no
// picture files, so no GL), then the tangent bases the bump-mapped lantern
// rims get, then the flower's in-between petals. Every step either works, with
// every group's triangles matching its face list, or ends in one line naming
// the model.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "checks.h"
#include "model.h"
#include "tools.h"

namespace {

// One template per group name of the shipped models, with made-up texture
// ids; every second one bump-mapped with an id-only normal map.
std::vector<ModelGroup> makeTemplates() {
    const char* names[] = {"abdomen2", "backlleg", "backrleg", "frontlleg", "frontrleg", "head",
                           "lowrim",   "lshell",   "lwing",    "mesh",      "petal1",    "petal2",
                           "petal3",   "petal4",   "petal5",   "rshell",    "rwing",     "sidelleg",
                           "siderleg", "thorax",   "uprim",    "default"};
    std::vector<ModelGroup> templates;
    int id = 1;
    for (const char* name : names) {
        ModelGroup t;
        t.name = name;
        t.textureCount = 1 + id % 2;
        t.textureNames.assign(t.textureCount, "default");
        t.textureIds.assign(t.textureCount, id);
        t.bumpMapped = id % 2 == 0;
        t.normalMapId = id + 100;
        t.alpha = id % 3 == 0 ? 0.5f : 1.0f;
        templates.push_back(t);
        ++id;
    }
    return templates;
}

void requireConsistent(const Model& model) {
    require(static_cast<int>(model.vertices.size()) == model.vertexCount &&
                static_cast<int>(model.normals.size()) == model.normalCount &&
                static_cast<int>(model.texCoords.size()) == model.texCoordCount &&
                static_cast<int>(model.faces.size()) == model.faceCount,
            "the arrays have their counted sizes");
    for (const Face& face : model.faces) {
        for (int k = 0; k < 3; ++k) {
            require(face.vertexIndex[k] >= 1 && face.vertexIndex[k] <= model.vertexCount &&
                        face.normalIndex[k] >= 1 && face.normalIndex[k] <= model.normalCount &&
                        face.texCoordIndex[k] >= 1 && face.texCoordIndex[k] <= model.texCoordCount,
                    "every face index points into its array");
        }
    }
}

void requireGroups(const Model& model, bool loaded) {
    for (const ModelGroup* g = model.groups; g != nullptr; g = g->next) {
        require(g->triangleCount == static_cast<int>(g->triangles.size()),
                "a group has triangleCount triangles");
        if (loaded) {
            require(g->faceIndices.size() == g->triangles.size(),
                    "a group has a face for every triangle");
            for (int f : g->faceIndices) {
                require(f >= 0 && f < model.faceCount, "face indices point into faces");
            }
        }
        require(g->textureCount <= static_cast<int>(g->textureIds.size()),
                "a group has an id for every texture");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<ModelGroup> templates = makeTemplates();
    const std::string& path = writeScratch(".obj", data, size);
    try {
        Model model(path, templates.data(), static_cast<int>(templates.size()), false);
        requireConsistent(model);
        requireGroups(model, true);
        for (ModelGroup* g = model.groups; g != nullptr; g = g->next) {
            for (Triangle& tri : g->triangles) {
                computeTangentBasis(tri);
                for (int row = 0; row < 3; ++row) {
                    for (int c = 0; c < 3; ++c) {
                        require(std::isfinite(tri.tangentBasis[row][c]),
                                "tangent bases are finite");
                    }
                }
            }
        }
        // As a flower does with each petal copy; the parity alternates.
        model.addInbetweenGroups(3, static_cast<int>(size % 2));
        requireGroups(model, false);
    } catch (const LoadError& error) {
        requireOneLine(error.message, path);
    }
    return 0;
}
