// view_model MODEL.obj OUT_PREFIX: draws one of the game's models through the
// game's own scene objects (Firefly, Flower or Lantern, chosen by the file
// name) and renderer, in front of the real backdrop, from a few angles, and
// saves each picture as OUT_PREFIX-VIEW.png. The model's folder must hold
// its pictures too (data/, or a make_assets output folder): the tool works
// from there. Needs a display (Xvfb will do) and ImageMagick's convert.
//
// view_model LEVEL.map OUT_PREFIX, run from data/: builds the level as the
// game does and saves whole frames as the player sees them: at the start,
// and near the arena's edge looking out, across and into the far corner of
// the backdrop (where a small arena shows the backdrop's open top).
#include <GL/glew.h>
#include <GL/glu.h>
#include <SDL/SDL.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bounds_box.h"
#include "camera.h"
#include "firefly.h"
#include "flower.h"
#include "game_window.h"
#include "lantern.h"
#include "model.h"
#include "noise_volume.h"
#include "particles.h"
#include "state.h"
#include "tools.h"

namespace {

const int kWidth = kWindowWidth;
const int kHeight = kWindowHeight;

// One camera placement: eye and target in world coordinates, and whether
// the ground mist is drawn over the picture as in the game.
struct View {
    std::string name;
    double eye[3];
    double target[3];
    bool mist;
};

// Saves the colour buffer as a PNG (through a PPM file and convert).
bool savePicture(const std::string& path) {
    std::vector<unsigned char> pixels(static_cast<size_t>(kWidth) * kHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    std::string ppm = path + ".ppm";
    std::FILE* out = std::fopen(ppm.c_str(), "wb");
    if (out == nullptr) {
        return false;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", kWidth, kHeight);
    // GL gives the bottom row first; a picture starts at the top.
    for (int y = kHeight - 1; y >= 0; --y) {
        std::fwrite(pixels.data() + static_cast<size_t>(y) * kWidth * 3, 1, kWidth * 3, out);
    }
    if (std::fclose(out) != 0) {
        return false;
    }
    std::string command = "convert '" + ppm + "' '" + path + "' && rm -f '" + ppm + "'";
    return std::system(command.c_str()) == 0;
}

// The game's start-up GL state: viewport, lights, sort direction, sparks.
void setUpLikeTheGame() {
    glViewport(0, 0, kWidth, kHeight);
    float position[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, color);
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT1, GL_DIFFUSE, color);
    initParticlePool();
    float sortStart[3] = {0.0f, 0.0f, -20.0f};
    setSortDirection(sortStart);
}

// The game's 800x600 window and GL start state; GLUT too, for the overlay's
// text. False, with a message, when there is no window.
bool openViewWindow(const char* programName) {
    std::string problem = openGameWindow(programName);
    if (!problem.empty()) {
        std::fprintf(stderr, "view_model: no window: %s\n", problem.c_str());
        return false;
    }
    setUpLikeTheGame();
    return true;
}

// Draws one frame the way the scene draw does: sort direction from the eye
// towards the target, backdrop for an arena of radius 60, light 1 above
// the object at lightHeight, the object, then optionally the mist.
void drawFrame(const View& view, float lightHeight, const std::function<void()>& drawObject,
               BoundsBox& bounds, NoiseVolume& mist) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    applyGamePerspective();
    gluLookAt(view.eye[0], view.eye[1], view.eye[2], view.target[0], view.target[1], view.target[2],
              0.0, 1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    float sort[3] = {static_cast<float>(view.target[0] - view.eye[0]), -2.0f,
                     static_cast<float>(view.target[2] - view.eye[2])};
    setSortDirection(sort);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_DEPTH_TEST);
    bounds.draw(120.0f);
    float light[4] = {0.0f, lightHeight, 0.0f, 1.0f};
    glLightfv(GL_LIGHT1, GL_POSITION, light);
    drawObject();
    if (view.mist) {
        double heading = angleBetween(view.eye[2], view.eye[0], view.target[2], view.target[0]);
        mist.draw(view.eye, sort, heading, 60.0);
    }
}

// Draws the world as the game's frame (scene and overlay) and saves it.
bool saveFrame(GameState& world, const std::string& path) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_TEXTURE_2D);
    world.drawScene();
    glFinish();
    if (!savePicture(path)) {
        std::fprintf(stderr, "view_model: could not write %s\n", path.c_str());
        return false;
    }
    std::printf("%s\n", path.c_str());
    return true;
}

// The player's firefly at (x, z) with heading degrees, the chase camera
// behind it as the game puts it.
void placePlayer(GameState& world, double x, double z, double heading) {
    Firefly& player = *world.fireflies[0];
    player.x = static_cast<float>(x);
    player.z = static_cast<float>(z);
    player.heading = static_cast<float>(heading);
    double h = heading * kDegToRad;
    world.camera.setView(x, 0.0, z, std::sin(h), 0.0, std::cos(h));
}

// The frames of a level (see the top of this file).
int viewLevel(const std::string& map, const std::string& prefix) {
    GameState world(map);
    bool ok = true;
    // The start: one step with no key held, as the first frame of a game.
    world.update();
    ok = saveFrame(world, prefix + "-start.png") && ok;
    double r = world.levelRadius - 2.0;
    // Heading 90 faces +X: at the +X edge looking out, at the -X edge looking
    // across the arena, and at the -X edge looking into the far (+X, +Z)
    // corner of the backdrop, the longest view there is.
    placePlayer(world, r, 0.0, 90.0);
    ok = saveFrame(world, prefix + "-edge-out.png") && ok;
    placePlayer(world, -r, 0.0, 90.0);
    ok = saveFrame(world, prefix + "-edge-across.png") && ok;
    placePlayer(world, -r, 0.0, 56.0);
    ok = saveFrame(world, prefix + "-edge-corner.png") && ok;
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: view_model MODEL.obj OUT_PREFIX  (MODEL: firefly, flower "
                             "or lantern; run under a display)\n"
                             "       view_model LEVEL.map OUT_PREFIX  (run from data/)\n");
        return 2;
    }
    std::string model = argv[1];
    std::string prefix = argv[2];
    if (!prefix.empty() && prefix[0] != '/') {
        char here[4096];
        if (getcwd(here, sizeof here) != nullptr) {
            prefix = std::string(here) + "/" + prefix;
        }
    }
    if (model.size() > 4 && model.compare(model.size() - 4, 4, ".map") == 0) {
        if (!openViewWindow(argv[0])) {
            return 1;
        }
        std::srand(7);
        int status = 1;
        try {
            status = viewLevel(model, prefix);
        } catch (const LoadError& error) {
            std::fprintf(stderr, "%s\n", error.message.c_str());
        }
        SDL_Quit();
        return status;
    }
    size_t slash = model.rfind('/');
    std::string folder = slash == std::string::npos ? "." : model.substr(0, slash);
    std::string name = slash == std::string::npos ? model : model.substr(slash + 1);
    if (name != "firefly.obj" && name != "flower.obj" && name != "lantern.obj") {
        std::fprintf(stderr, "view_model: %s is not firefly.obj, flower.obj or lantern.obj\n",
                     model.c_str());
        return 2;
    }
    if (chdir(folder.c_str()) != 0) {
        std::fprintf(stderr, "view_model: cannot work from %s\n", folder.c_str());
        return 1;
    }
    if (!openViewWindow(argv[0])) {
        return 1;
    }
    // The same pictures every run: the flower's pose and the noise are
    // drawn from rand().
    std::srand(7);
    int status = 0;
    try {
        BoundsBox bounds;
        NoiseVolume mist(3, 1);
        std::vector<View> views;
        float lightHeight = 2.0f;
        std::function<void()> draw;
        Firefly* firefly = nullptr;
        Flower* flower = nullptr;
        Lantern* lantern = nullptr;
        if (name == "firefly.obj") {
            // Heading 0: the firefly faces +Z, so the chase camera sits at -Z.
            firefly = new Firefly();
            firefly->heading = 0.0f;
            draw = [firefly]() { firefly->draw(0.0f, 0.0f, 0.0f); };
            views = {{"chase", {0.0, 2.0, -10.0}, {0.0, 0.0, 0.0}, true},
                     {"behind", {0.8, 1.4, -3.0}, {0.0, 0.0, 0.1}, false},
                     {"side", {3.3, 0.5, 0.0}, {0.0, 0.0, 0.1}, false},
                     {"front", {-1.2, 1.0, 3.0}, {0.0, 0.0, 0.0}, false},
                     {"top", {0.0, 3.6, 0.01}, {0.0, 0.0, 0.0}, false},
                     {"below", {0.8, -2.6, -1.2}, {0.0, 0.0, 0.0}, false}};
        } else if (name == "flower.obj") {
            flower = new Flower();
            lightHeight = 7.0f;
            draw = [flower]() { flower->draw(0.0); };
            views = {{"chase", {0.0, 2.0, -16.0}, {0.0, 0.0, 0.0}, true},
                     {"near", {0.0, 2.0, -11.0}, {0.0, 0.5, 0.0}, false},
                     {"above", {0.0, 12.0, -5.0}, {0.0, 0.0, 0.0}, false}};
        } else {
            lantern = new Lantern(static_cast<int>(mist.makeSliceTexture()));
            draw = [lantern]() { lantern->draw(0.0); };
            views = {{"chase", {0.0, 2.0, -14.0}, {0.0, 0.0, 0.0}, true},
                     {"near", {3.0, 2.0, -8.0}, {0.0, 0.0, 0.0}, false},
                     {"below", {2.0, -8.0, -7.0}, {0.0, -2.0, 0.0}, false}};
        }
        std::vector<std::function<void()>> poses = {[]() {}};
        std::vector<std::string> poseNames = {""};
        if (flower != nullptr) {
            // Three poses of the same flower: as drawn, upright, and tipped
            // over towards the camera.
            float tilt = flower->tilt;
            float yaw = flower->yaw;
            poses = {[flower, tilt, yaw]() {
                         flower->tilt = tilt;
                         flower->yaw = yaw;
                     },
                     [flower]() {
                         flower->tilt = 0.0f;
                         flower->yaw = 0.0f;
                     },
                     [flower]() {
                         flower->tilt = 110.0f;
                         flower->yaw = 0.0f;
                     }};
            poseNames = {"", "-upright", "-tipped"};
        }
        for (size_t p = 0; p < poses.size(); ++p) {
            poses[p]();
            for (const View& view : views) {
                drawFrame(view, lightHeight, draw, bounds, mist);
                std::string path = prefix + "-" + view.name + poseNames[p] + ".png";
                if (!savePicture(path)) {
                    std::fprintf(stderr, "view_model: could not write %s\n", path.c_str());
                    status = 1;
                } else {
                    std::printf("%s\n", path.c_str());
                }
            }
        }
    } catch (const LoadError& error) {
        std::fprintf(stderr, "%s\n", error.message.c_str());
        return 1;
    }
    SDL_Quit();
    return status;
}
