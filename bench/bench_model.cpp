// How long a model takes to load and to draw: a 20000-triangle file read in
// both passes, and 2000-triangle groups drawn plain, translucent (sorted each
// frame) and bump-mapped.
#include <benchmark/benchmark.h>

#include <GL/glew.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_context.h"
#include "model.h"

namespace {

// Writes a grid of side x side squares (2 side^2 triangles) into group "mesh"
// and returns the file's path; the file is removed when the process ends.
std::string writeGrid(int side) {
    static std::string directory;
    if (directory.empty()) {
        char pattern[] = "/tmp/fireflies-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            std::abort();
        }
        directory = pattern;
        std::atexit([] { std::system(("rm -rf '" + directory + "'").c_str()); });
    }
    std::string path = directory + "/grid" + std::to_string(side) + ".obj";
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        std::abort();
    }
    for (int y = 0; y <= side; ++y) {
        for (int x = 0; x <= side; ++x) {
            float fx = -1.0f + 2.0f * x / side;
            float fy = -1.0f + 2.0f * y / side;
            std::fprintf(out, "v %f %f %f\nvt %f %f\n", fx, fy, 0.1f * fx * fy, -fx, -fy);
        }
    }
    std::fprintf(out, "vn 0 0 1\ng mesh\n");
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            int a = y * (side + 1) + x + 1;
            int b = a + 1;
            int c = a + side + 2;
            int d = a + side + 1;
            std::fprintf(out, "f %d/%d/1 %d/%d/1 %d/%d/1 %d/%d/1\n", a, a, b, b, c, c, d, d);
        }
    }
    std::fclose(out);
    return path;
}

GLuint whiteTexture() {
    static GLuint id = 0;
    if (id == 0) {
        unsigned char white[4 * 4 * 3];
        for (unsigned char& byte : white) {
            byte = 255;
        }
        glGenTextures(1, &id);
        glBindTexture(GL_TEXTURE_2D, id);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 4, 4, 0, GL_RGB, GL_UNSIGNED_BYTE, white);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    }
    return id;
}

void BM_LoadModel(benchmark::State& state) {
    std::string path = writeGrid(100); // 20000 triangles
    for (auto _ : state) {
        Model model(path, nullptr, 0, false);
        benchmark::DoNotOptimize(model.faceCount);
    }
    state.SetItemsProcessed(state.iterations() * 20000);
}
BENCHMARK(BM_LoadModel)->Unit(benchmark::kMillisecond);

// kind 0 plain textured, 1 translucent, 2 bump-mapped.
void BM_DrawGroup(benchmark::State& state) {
    if (!haveContext(state)) {
        return;
    }
    ModelGroup material;
    material.name = "mesh";
    material.textureCount = 1;
    material.textureNames = {"default"};
    material.textureIds = {static_cast<int>(whiteTexture())};
    if (state.range(0) == 1) {
        material.alpha = 0.5f;
    }
    if (state.range(0) == 2) {
        material.bumpMapped = true;
        material.normalMapId = static_cast<int>(whiteTexture());
    }
    Model model(writeGrid(32), &material, 1, false); // 2048 triangles
    float direction[3] = {0.0f, 0.0f, -20.0f};
    setSortDirection(direction);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        model.draw();
        glFinish();
    }
    state.SetItemsProcessed(state.iterations() * 2048);
}
BENCHMARK(BM_DrawGroup)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
