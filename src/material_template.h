// Material templates for the scene objects' models: one record per named
// group of an OBJ file, read by the Model loader (the other fields of the
// record stay at their defaults and are ignored there).
#ifndef FIREFLIES_MATERIAL_TEMPLATE_H
#define FIREFLIES_MATERIAL_TEMPLATE_H

#include <string>
#include <utility>
#include <vector>

#include "model.h"

// A template for the group called name. textureNames: BMP files, or
// "default" to hand the matching entry of textureIds (GL texture names, -1
// for files to load) to the group unchanged; normalMapName is read only when
// bumpMapped. Colour r, g, b and alpha in 0..1; alpha below 1 makes the group
// sorted and blended.
inline ModelGroup materialTemplate(const std::string& name, std::vector<std::string> textureNames,
                                   std::vector<int> textureIds, bool bumpMapped,
                                   const std::string& normalMapName, float r, float g, float b,
                                   float alpha) {
    ModelGroup group;
    group.name = name;
    group.textureCount = static_cast<int>(textureNames.size());
    group.textureNames = std::move(textureNames);
    group.textureIds = std::move(textureIds);
    group.bumpMapped = bumpMapped;
    group.normalMapName = normalMapName;
    group.normalMapId = -1;
    group.color[0] = r;
    group.color[1] = g;
    group.color[2] = b;
    group.alpha = alpha;
    return group;
}

#endif
