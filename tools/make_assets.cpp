// make_assets OUTDIR: writes the game's own models, pictures, sounds (made in
// make_sounds.cpp) and flicker numbers, and the desktop's menu icon
// fireflies.png, into OUTDIR. Everything is computed from fixed seeds, so two
// runs give the same bytes; data/ holds the committed output.
//
// The game draws its models with lighting switched off: a plain group shows
// its template colour times its texture and nothing else. So the pictures do
// the lighting. Most model parts look their texture up by a shade value
// (computed here from each vertex normal and one fixed light) along one axis
// of a picture region and by a pattern value along the other: the pictures
// are small atlases of "pattern x brightness" tables.
//
// The loader negates both texture coordinates and the textures repeat, so a
// file coordinate (u, v) samples the picture at column (1 - u) x width and at
// v x height from the bottom row. Every mapping below is written in picture
// terms (column fraction a from the left, row fraction b from the top) and
// converted with pictureUv().

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "make_sounds.h"

namespace {

const double kPi = 3.14159265358979323846;

// ---------------------------------------------------------------- vectors

struct Vec3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

Vec3 vec(double x, double y, double z) {
    Vec3 v;
    v.x = x;
    v.y = y;
    v.z = z;
    return v;
}
Vec3 operator+(Vec3 a, Vec3 b) {
    return vec(a.x + b.x, a.y + b.y, a.z + b.z);
}
Vec3 operator-(Vec3 a, Vec3 b) {
    return vec(a.x - b.x, a.y - b.y, a.z - b.z);
}
Vec3 operator*(Vec3 a, double k) {
    return vec(a.x * k, a.y * k, a.z * k);
}
double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 cross(Vec3 a, Vec3 b) {
    return vec(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
double length(Vec3 a) {
    return std::sqrt(dot(a, a));
}
Vec3 normalized(Vec3 a) {
    double l = length(a);
    return l > 1e-12 ? a * (1.0 / l) : vec(0.0, 1.0, 0.0);
}
Vec3 lerp(Vec3 a, Vec3 b, double t) {
    return a + (b - a) * t;
}

// Rotation of p about the axis through the origin (unit axis) by angle radians.
Vec3 rotate(Vec3 p, Vec3 axis, double angle) {
    double c = std::cos(angle);
    double s = std::sin(angle);
    return p * c + cross(axis, p) * s + axis * (dot(axis, p) * (1.0 - c));
}

double clamp01(double v) {
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}
double smoothstep(double e0, double e1, double v) {
    double t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}
double mix(double a, double b, double t) {
    return a + (b - a) * t;
}
double fract(double v) {
    return v - std::floor(v);
}

// ------------------------------------------------------------ random numbers

// xorshift64*: small, fast and the same on every machine, unlike rand().
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed != 0 ? seed : 0x9E3779B97F4A7C15ull) {}
    std::uint64_t bits() {
        state_ ^= state_ >> 12;
        state_ ^= state_ << 25;
        state_ ^= state_ >> 27;
        return state_ * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(bits() >> 11) * (1.0 / 9007199254740992.0); }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }

  private:
    std::uint64_t state_;
};

// ------------------------------------------------------------------ pictures

struct Color {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

Color rgb(double r, double g, double b) {
    Color c;
    c.r = r;
    c.g = g;
    c.b = b;
    return c;
}
Color operator*(Color a, double k) {
    return rgb(a.r * k, a.g * k, a.b * k);
}
Color operator+(Color a, Color b) {
    return rgb(a.r + b.r, a.g + b.g, a.b + b.b);
}
Color mixColor(Color a, Color b, double t) {
    return rgb(mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t));
}

// An RGB picture, row 0 at the top, components nominally 0..1.
class Picture {
  public:
    Picture(int width, int height) : width_(width), height_(height), pixels_(width * height) {}
    int width() const { return width_; }
    int height() const { return height_; }
    Color& at(int x, int y) { return pixels_[static_cast<size_t>(y) * width_ + x]; }
    const Color& at(int x, int y) const { return pixels_[static_cast<size_t>(y) * width_ + x]; }

    // Fills every pixel from f(a, b), a and b fractions of the width (from
    // the left) and the height (from the top): the mean of samples x samples
    // points spread evenly over the pixel (1: its centre), so that lines
    // thinner than a pixel come out as faint lines rather than as gaps.
    void paint(int samples, const std::function<Color(double a, double b)>& f) {
        const double weight = 1.0 / (samples * samples);
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                Color sum;
                for (int sy = 0; sy < samples; ++sy) {
                    for (int sx = 0; sx < samples; ++sx) {
                        double a = (x + (sx + 0.5) / samples) / width_;
                        double b = (y + (sy + 0.5) / samples) / height_;
                        sum = sum + f(a, b) * weight;
                    }
                }
                at(x, y) = sum;
            }
        }
    }
    // The same with one sample at each pixel's centre.
    void paint(const std::function<Color(double a, double b)>& f) { paint(1, f); }

    // Adds a soft round spot of the given colour; wraps round horizontally.
    void addSpot(double cx, double cy, double radius, Color c) {
        int r = static_cast<int>(std::ceil(radius * 3.0));
        for (int dy = -r; dy <= r; ++dy) {
            int y = static_cast<int>(std::floor(cy)) + dy;
            if (y < 0 || y >= height_) {
                continue;
            }
            for (int dx = -r; dx <= r; ++dx) {
                int x = static_cast<int>(std::floor(cx)) + dx;
                double ddx = x + 0.5 - cx;
                double ddy = y + 0.5 - cy;
                double w = std::exp(-(ddx * ddx + ddy * ddy) / (2.0 * radius * radius));
                int wx = ((x % width_) + width_) % width_;
                at(wx, y) = at(wx, y) + c * w;
            }
        }
    }

    // 24-bit uncompressed BMP, bottom row first, blue-green-red.
    bool writeBmp(const std::string& path) const {
        int rowBytes = (width_ * 3 + 3) / 4 * 4;
        std::uint32_t imageBytes = static_cast<std::uint32_t>(rowBytes) * height_;
        std::vector<unsigned char> file;
        auto put16 = [&file](std::uint32_t v) {
            file.push_back(v & 0xFF);
            file.push_back((v >> 8) & 0xFF);
        };
        auto put32 = [&file](std::uint32_t v) {
            for (int i = 0; i < 4; ++i) {
                file.push_back((v >> (8 * i)) & 0xFF);
            }
        };
        file.push_back('B');
        file.push_back('M');
        put32(54 + imageBytes);
        put32(0);
        put32(54);
        put32(40);
        put32(static_cast<std::uint32_t>(width_));
        put32(static_cast<std::uint32_t>(height_));
        put16(1);
        put16(24);
        put32(0);
        put32(imageBytes);
        put32(2835);
        put32(2835);
        put32(0);
        put32(0);
        for (int y = height_ - 1; y >= 0; --y) {
            for (int x = 0; x < width_; ++x) {
                const Color& c = at(x, y);
                file.push_back(toByte(c.b));
                file.push_back(toByte(c.g));
                file.push_back(toByte(c.r));
            }
            for (int pad = width_ * 3; pad < rowBytes; ++pad) {
                file.push_back(0);
            }
        }
        return writeBytes(path, file);
    }

    static unsigned char toByte(double v) {
        return static_cast<unsigned char>(std::lround(clamp01(v) * 255.0));
    }

    static bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) {
            return false;
        }
        bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
        return std::fclose(out) == 0 && ok;
    }

  private:
    int width_;
    int height_;
    std::vector<Color> pixels_;
};

// Value noise on a lattice that repeats after periodX x periodY cells, so a
// picture painted from it tiles without a seam.
class TileNoise {
  public:
    TileNoise(Random& random, int periodX, int periodY)
        : periodX_(periodX), periodY_(periodY), values_(periodX * periodY) {
        for (double& v : values_) {
            v = random.uniform();
        }
    }
    // x, y in lattice cells; the result lies in 0..1.
    double at(double x, double y) const {
        double fx = std::floor(x);
        double fy = std::floor(y);
        double tx = x - fx;
        double ty = y - fy;
        tx = tx * tx * (3.0 - 2.0 * tx);
        ty = ty * ty * (3.0 - 2.0 * ty);
        int ix = static_cast<int>(fx);
        int iy = static_cast<int>(fy);
        double a = cell(ix, iy);
        double b = cell(ix + 1, iy);
        double c = cell(ix, iy + 1);
        double d = cell(ix + 1, iy + 1);
        return mix(mix(a, b, tx), mix(c, d, tx), ty);
    }
    // Fractal sum over octaves, each of twice the frequency and half the
    // weight; a and b are fractions of the period. Result about 0..1.
    double fractal(double a, double b, int octaves) const {
        double sum = 0.0;
        double weight = 0.5;
        double total = 0.0;
        double scale = 1.0;
        for (int i = 0; i < octaves; ++i) {
            sum += weight * at(a * periodX_ * scale, b * periodY_ * scale);
            total += weight;
            weight *= 0.5;
            scale *= 2.0;
        }
        return sum / total;
    }

  private:
    double cell(int x, int y) const {
        int wx = ((x % periodX_) + periodX_) % periodX_;
        int wy = ((y % periodY_) + periodY_) % periodY_;
        return values_[static_cast<size_t>(wy) * periodX_ + wx];
    }
    int periodX_;
    int periodY_;
    std::vector<double> values_;
};

// -------------------------------------------------------------------- meshes

struct MeshVertex {
    Vec3 position;
    Vec3 normal;
    double u = 0.0;
    double v = 0.0;
};

// One named group of an OBJ file: its own vertices and triangles (indices
// into its vertices, counter-clockwise seen from the side the normals face).
struct MeshGroup {
    std::string name;
    std::vector<MeshVertex> vertices;
    std::vector<std::array<int, 3>> triangles;
};

// File texture coordinate for a picture point at column fraction a (from the
// left) and row fraction b (from the top); see the file comment.
void pictureUv(double a, double b, double& u, double& v) {
    u = 1.0 - a;
    v = 1.0 - b;
}

using SurfaceFn = std::function<Vec3(double s, double t)>;
// Texture coordinate of a surface point: parameters, position, unit normal;
// writes the picture fractions a, b.
using TexFn = std::function<void(double s, double t, Vec3 p, Vec3 n, double& a, double& b)>;

// Normal of a parametric surface from central differences; parameters near
// a pole (where one derivative vanishes) are nudged inwards.
Vec3 surfaceNormal(const SurfaceFn& at, double s, double t) {
    const double e = 1e-4;
    for (int attempt = 0; attempt < 4; ++attempt) {
        double s0 = std::max(0.0, s - e);
        double s1 = std::min(1.0, s + e);
        double t0 = std::max(0.0, t - e);
        double t1 = std::min(1.0, t + e);
        Vec3 n = cross(at(s1, t) - at(s0, t), at(s, t1) - at(s, t0));
        if (length(n) > 1e-14) {
            return normalized(n);
        }
        s = s < 0.5 ? s + 0.01 : s - 0.01;
        t = t < 0.5 ? t + 0.01 : t - 0.01;
    }
    return vec(0.0, 1.0, 0.0);
}

// Adds an ns x nt grid of quads over s, t in [0, 1], each split in two
// triangles whose front faces the direction of dP/ds x dP/dt. With
// dropDegenerate, triangles that collapse to a line (at a pole) are left out.
void addSurface(MeshGroup& group, int ns, int nt, const SurfaceFn& at, const TexFn& tex,
                bool dropDegenerate) {
    int base = static_cast<int>(group.vertices.size());
    for (int i = 0; i <= ns; ++i) {
        for (int j = 0; j <= nt; ++j) {
            double s = static_cast<double>(i) / ns;
            double t = static_cast<double>(j) / nt;
            MeshVertex mv;
            mv.position = at(s, t);
            mv.normal = surfaceNormal(at, s, t);
            double a = 0.0;
            double b = 0.0;
            tex(s, t, mv.position, mv.normal, a, b);
            pictureUv(a, b, mv.u, mv.v);
            group.vertices.push_back(mv);
        }
    }
    auto index = [base, nt](int i, int j) { return base + i * (nt + 1) + j; };
    auto degenerate = [&group](int a, int b, int c) {
        Vec3 pa = group.vertices[a].position;
        Vec3 pb = group.vertices[b].position;
        Vec3 pc = group.vertices[c].position;
        return length(cross(pb - pa, pc - pa)) < 1e-12;
    };
    for (int i = 0; i < ns; ++i) {
        for (int j = 0; j < nt; ++j) {
            int a = index(i, j);
            int b = index(i + 1, j);
            int c = index(i + 1, j + 1);
            int d = index(i, j + 1);
            if (!dropDegenerate || !degenerate(a, b, c)) {
                group.triangles.push_back({a, b, c});
            }
            if (!dropDegenerate || !degenerate(a, c, d)) {
                group.triangles.push_back({a, c, d});
            }
        }
    }
}

// A tube of `sides` facets along a path, with a radius per path point,
// closed with a flat fan at the last point. Frames follow the path by
// parallel transport so the facets do not twist.
void addTube(MeshGroup& group, const std::vector<Vec3>& path, const std::vector<double>& radii,
             int sides, const TexFn& tex) {
    size_t count = path.size();
    std::vector<Vec3> tangents(count);
    for (size_t i = 0; i < count; ++i) {
        Vec3 ahead = path[std::min(i + 1, count - 1)];
        Vec3 behind = path[i > 0 ? i - 1 : 0];
        tangents[i] = normalized(ahead - behind);
    }
    Vec3 side = cross(tangents[0], vec(0.0, 1.0, 0.0));
    if (length(side) < 1e-6) {
        side = cross(tangents[0], vec(1.0, 0.0, 0.0));
    }
    side = normalized(side);
    int base = static_cast<int>(group.vertices.size());
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) {
            // Carry the side vector over to the new tangent.
            side = normalized(side - tangents[i] * dot(side, tangents[i]));
        }
        Vec3 up = cross(tangents[i], side);
        for (int k = 0; k <= sides; ++k) {
            double angle = 2.0 * kPi * k / sides;
            Vec3 n = side * std::cos(angle) + up * std::sin(angle);
            MeshVertex mv;
            mv.position = path[i] + n * radii[i];
            mv.normal = n;
            double a = 0.0;
            double b = 0.0;
            tex(static_cast<double>(i) / (count - 1), static_cast<double>(k) / sides, mv.position,
                n, a, b);
            pictureUv(a, b, mv.u, mv.v);
            group.vertices.push_back(mv);
        }
    }
    for (size_t i = 0; i + 1 < count; ++i) {
        for (int k = 0; k < sides; ++k) {
            int a = base + static_cast<int>(i) * (sides + 1) + k;
            int b = a + 1;
            int c = a + sides + 1 + 1;
            int d = a + sides + 1;
            // Ring k runs counter-clockwise about the tangent, so (a, b, c)
            // and (a, c, d) face outwards.
            group.triangles.push_back({a, b, c});
            group.triangles.push_back({a, c, d});
        }
    }
    // End cap.
    MeshVertex tip;
    tip.position = path[count - 1];
    tip.normal = tangents[count - 1];
    double a = 0.0;
    double b = 0.0;
    tex(1.0, 0.0, tip.position, tip.normal, a, b);
    pictureUv(a, b, tip.u, tip.v);
    int tipIndex = static_cast<int>(group.vertices.size());
    group.vertices.push_back(tip);
    int last = base + static_cast<int>(count - 1) * (sides + 1);
    for (int k = 0; k < sides; ++k) {
        group.triangles.push_back({last + k, last + k + 1, tipIndex});
    }
}

// Writes the groups as one OBJ file: each group's v, vt and vn lines, then
// its g line and its faces as v/vt/vn with one shared index per corner.
bool writeObj(const std::string& path, const std::string& title,
              const std::vector<MeshGroup>& groups) {
    std::string text;
    char line[160];
    auto clean = [](double v) { return std::fabs(v) < 5e-6 ? 0.0 : v; };
    text += "# " + title + "\n# made by make_assets\n";
    int offset = 1;
    for (const MeshGroup& g : groups) {
        for (const MeshVertex& mv : g.vertices) {
            std::snprintf(line, sizeof line, "v %.5f %.5f %.5f\n", clean(mv.position.x),
                          clean(mv.position.y), clean(mv.position.z));
            text += line;
        }
        for (const MeshVertex& mv : g.vertices) {
            std::snprintf(line, sizeof line, "vt %.5f %.5f\n", clean(mv.u), clean(mv.v));
            text += line;
        }
        for (const MeshVertex& mv : g.vertices) {
            Vec3 n = normalized(mv.normal);
            std::snprintf(line, sizeof line, "vn %.4f %.4f %.4f\n", clean(n.x), clean(n.y),
                          clean(n.z));
            text += line;
        }
        text += "g " + g.name + "\n";
        for (const std::array<int, 3>& tri : g.triangles) {
            int a = tri[0] + offset;
            int b = tri[1] + offset;
            int c = tri[2] + offset;
            std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c,
                          c, c);
            text += line;
        }
        offset += static_cast<int>(g.vertices.size());
    }
    std::vector<unsigned char> bytes(text.begin(), text.end());
    return Picture::writeBytes(path, bytes);
}

// ------------------------------------------------------------ the budget

// Every model is drawn in immediate mode several times a frame (a flower is
// 8 or 10 copies of its petal model, each with its in-between petals), on
// machines that may have nothing but a software renderer, and the game looks
// its pictures up without lighting. So each surface gets as few facets as
// keep its outline round at the size the chase camera shows it, and each
// picture about one texel for every pixel it covers there: the firefly is
// about 100 pixels across 10 units ahead of the camera, a lantern at its
// nearest fills a third of the screen, a petal seldom covers more than 150
// pixels. Every shipped level then draws at most 38,000 vertices of models
// a frame (40,000 with the backdrop, the mist, the overlay and the sparks)
// and uploads at most 6 million texels, which keep the game under 150 MB
// (test_assets checks both).
//
// Facets of each surface: rows along it and facets around it.
const int kAbdomenRows = 10; // along the body
const int kAbdomenAround = 8;
const int kThoraxRows = 6;
const int kThoraxAround = 8;
const int kHeadRows = 5;
const int kHeadAround = 6;
const int kEyeRows = 4;
const int kEyeAround = 4;
const int kFeelerPoints = 4;     // path points of an antenna
const int kLegStepsPerJoint = 1; // steps of a leg's path from one joint to the next
const int kTubeSides = 3;        // legs and antennae: a few pixels thick
const int kWingSpan = 5;
const int kWingChord = 2;
const int kShellRows = 5;
const int kShellAcross = 3;
const int kPetalRows = 5; // from the foot to the round tip
const int kPetalAcross = 2;
const int kLanternAround = 16;
const int kLanternRows = 10; // the paper's ribs are in its picture
const int kRimAround = 20;
const int kRimTube = 4;
// Pictures, width x height, and the samples a side of each of their
// pixels (the normal map takes one, at the centre: means of unit normals are
// not unit normals).
const int kPictureSamples = 3;
const int kFireflyPictureSide = 64;  // shell.bmp, wing.bmp, abdomen.bmp
const int kFlowerPictureWidth = 128; // five petals side by side
const int kFlowerPictureHeight = 32;
const int kLanternPictureSide = 128;
const int kBraidPictureWidth = 128; // one piece of cord, six of them round a rim
const int kBraidPictureHeight = 32;

// --------------------------------------------------------------- the firefly

// The firefly's one light, in model coordinates (front is -Z, up is +Y):
// from above and a little behind, where the chase camera sits.
const Vec3 kFireflyLight = normalized(vec(-0.35, 1.0, 0.55));

// Brightness 0..1 of a surface with unit normal n under kFireflyLight, with
// light wrapping round the dark side so nothing is quite black.
double fireflyShade(Vec3 n) {
    return clamp01(0.5 + 0.5 * dot(n, kFireflyLight));
}

// Picture rows used for shade lookups keep a margin at the picture's edges.
double shadeRow(double shade) {
    return 0.96 - 0.92 * clamp01(shade);
}

// shell.bmp: columns 0..0.70 hold the wing case across its width (suture at
// the left, pale margin at the right), columns 0.76..1 the legs' colour;
// rows are brightness, brightest at the top.
const double kShellCaseLeft = 0.02;
const double kShellCaseRight = 0.68;
const double kShellLegColumn = 0.87;

// wing.bmp: columns 0..0.6 the hind-wing membrane (span along the rows from
// the top, chord across the columns); columns 0.62..1: rows 0..0.64 a top
// view of the thorax shield, rows 0.66..0.82 the head's brightness scale and
// rows 0.84..1 the eyes' brightness scale (brightness along the columns).
const double kWingLeft = 0.02;
const double kWingRight = 0.58;
const double kShieldLeft = 0.64;
const double kShieldRight = 0.98;
const double kShieldTop = 0.02;
const double kShieldBottom = 0.62;
const double kHeadRow = 0.74;
const double kEyeRow = 0.92;

// Thorax shield: an ellipsoid dome.
const Vec3 kThoraxCentre = vec(0.0, 0.05, -0.5);
const Vec3 kThoraxRadii = vec(0.29, 0.10, 0.24);

double shieldColumn(double x) {
    return mix(kShieldLeft, kShieldRight, 0.5 + 0.5 * x / (kThoraxRadii.x * 1.02));
}
double shieldRow(double z) {
    return mix(kShieldTop, kShieldBottom,
               0.5 + 0.5 * (z - kThoraxCentre.z) / (kThoraxRadii.z * 1.02));
}
double headColumn(double shade) {
    return kShieldLeft + (kShieldRight - kShieldLeft) * clamp01(shade);
}

// Ellipsoid surface, s from the -Z pole to the +Z pole, t once round.
SurfaceFn ellipsoid(Vec3 centre, Vec3 radii) {
    return [centre, radii](double s, double t) {
        double polar = kPi * s;
        double around = 2.0 * kPi * t;
        // Counter-clockwise round +Z seen from outside at the -Z end makes
        // dP/ds x dP/dt point outwards.
        return centre + vec(radii.x * std::sin(polar) * std::cos(around),
                            -radii.y * std::sin(polar) * std::sin(around),
                            -radii.z * std::cos(polar));
    };
}

MeshGroup fireflyLeg(const std::string& name, double side, double zHip, double spread,
                     double sweep) {
    // side is +1 for the right (+X) legs. spread sets how far out the knee
    // sits, sweep tilts the leg forward (negative) or back (positive).
    MeshGroup leg;
    leg.name = name;
    Vec3 hip = vec(side * 0.07, -0.07, zHip);
    Vec3 knee = vec(side * (0.07 + 0.28 * spread), 0.02, zHip + 0.10 * sweep);
    Vec3 ankle = vec(side * (0.10 + 0.40 * spread), -0.30, zHip + 0.28 * sweep);
    Vec3 toe = vec(side * (0.12 + 0.46 * spread), -0.40, zHip + 0.36 * sweep);
    std::vector<Vec3> path;
    std::vector<double> radii;
    auto segment = [&](Vec3 from, Vec3 to, double r0, double r1, bool first) {
        const int steps = kLegStepsPerJoint;
        for (int i = first ? 0 : 1; i <= steps; ++i) {
            double t = static_cast<double>(i) / steps;
            path.push_back(lerp(from, to, t));
            radii.push_back(mix(r0, r1, t));
        }
    };
    segment(hip, knee, 0.035, 0.028, true);
    segment(knee, ankle, 0.026, 0.018, false);
    segment(ankle, toe, 0.016, 0.010, false);
    addTube(leg, path, radii, kTubeSides, [](double, double, Vec3, Vec3 n, double& a, double& b) {
        a = kShellLegColumn;
        b = shadeRow(fireflyShade(n));
    });
    return leg;
}

std::vector<MeshGroup> makeFirefly() {
    std::vector<MeshGroup> groups;
    // Legs: front, middle and back pair hang from the underside of the
    // thorax, angled forward, out and back.
    groups.push_back(fireflyLeg("frontlleg", -1.0, -0.58, 0.9, -1.0));
    groups.push_back(fireflyLeg("sidelleg", -1.0, -0.47, 1.0, 0.2));
    groups.push_back(fireflyLeg("backlleg", -1.0, -0.36, 0.95, 1.2));
    groups.push_back(fireflyLeg("frontrleg", 1.0, -0.58, 0.9, -1.0));
    groups.push_back(fireflyLeg("siderleg", 1.0, -0.47, 1.0, 0.2));
    groups.push_back(fireflyLeg("backrleg", 1.0, -0.36, 0.95, 1.2));

    // Abdomen: a long segmented body from under the thorax to the tail,
    // its last segments the lantern.
    MeshGroup abdomen;
    abdomen.name = "abdomen2";
    const double zFront = -0.36;
    const double zTail = 1.0;
    // The rows lie closer together towards both ends, where the outline
    // turns fastest: step 0..1 from row to row, s 0..1 along the body.
    auto alongBody = [](double step) { return 0.5 - 0.5 * std::cos(kPi * step); };
    SurfaceFn abdomenAt = [=](double step, double t) {
        double s = alongBody(step);
        double z = mix(zFront, zTail, s);
        // Blunt at the tail, narrow where it joins the thorax, flattened
        // top to bottom; the seams between segments are in its picture.
        double e = std::fabs(2.0 * s - 1.0);
        double outline = std::pow(std::max(0.0, 1.0 - e * e * e), 1.0 / 3.0);
        double waist = 0.55 + 0.45 * smoothstep(0.0, 0.35, s);
        double r = 0.21 * outline * waist;
        double around = 2.0 * kPi * t;
        return vec(r * std::cos(around), -0.03 - 0.65 * r * std::sin(around) - 0.05 * s, z);
    };
    addSurface(
        abdomen, kAbdomenRows, kAbdomenAround, abdomenAt,
        [alongBody](double step, double, Vec3, Vec3 n, double& a, double& b) {
            a = 0.02 + 0.96 * alongBody(step);
            b = shadeRow(fireflyShade(n));
        },
        true);
    groups.push_back(abdomen);

    // Thorax: the shield over the front of the body, looked up in its own
    // top-view picture.
    MeshGroup thorax;
    thorax.name = "thorax";
    addSurface(
        thorax, kThoraxRows, kThoraxAround, ellipsoid(kThoraxCentre, kThoraxRadii),
        [](double, double, Vec3 p, Vec3, double& a, double& b) {
            a = shieldColumn(p.x);
            b = shieldRow(p.z);
        },
        true);
    groups.push_back(thorax);

    // Head: tucked under the front of the shield, with two big eyes and two
    // long antennae.
    MeshGroup head;
    head.name = "head";
    TexFn headTex = [](double, double, Vec3, Vec3 n, double& a, double& b) {
        a = headColumn(fireflyShade(n));
        b = kHeadRow;
    };
    TexFn eyeTex = [](double, double, Vec3, Vec3 n, double& a, double& b) {
        a = headColumn(fireflyShade(n));
        b = kEyeRow;
    };
    addSurface(head, kHeadRows, kHeadAround,
               ellipsoid(vec(0.0, -0.02, -0.78), vec(0.15, 0.12, 0.13)), headTex, true);
    for (double side : {-1.0, 1.0}) {
        addSurface(head, kEyeRows, kEyeAround,
                   ellipsoid(vec(side * 0.11, 0.0, -0.83), vec(0.065, 0.075, 0.07)), eyeTex, true);
        std::vector<Vec3> path;
        std::vector<double> radii;
        for (int i = 0; i < kFeelerPoints; ++i) {
            double t = static_cast<double>(i) / (kFeelerPoints - 1);
            path.push_back(vec(side * (0.05 + 0.30 * t), 0.06 + 0.30 * t - 0.12 * t * t,
                               -0.88 - 0.42 * t + 0.05 * t * t));
            radii.push_back(mix(0.018, 0.008, t));
        }
        addTube(head, path, radii, kTubeSides, headTex);
    }
    groups.push_back(head);

    // Hind wings: spread out sideways and swept back, a little cambered.
    for (double side : {-1.0, 1.0}) {
        MeshGroup wing;
        wing.name = side < 0 ? "lwing" : "rwing";
        Vec3 root = vec(side * 0.10, 0.12, -0.30);
        Vec3 span = normalized(vec(side * 1.0, 0.30, 0.45));
        Vec3 chord = normalized(cross(span, vec(0.0, 1.0, 0.0)) * side);
        SurfaceFn wingAt = [=](double s, double t) {
            // s along the span, t across the chord from leading to trailing edge.
            double len = 0.95;
            double width =
                0.30 * std::pow(std::sin(kPi * (0.12 + 0.88 * s)), 0.7) + 0.05 * (1.0 - s);
            double across = (t - 0.35) * width;
            Vec3 p = root + span * (len * s) + chord * across;
            double camber = 0.04 * std::sin(kPi * t) * std::sin(kPi * s);
            return p + vec(0.0, camber, 0.0);
        };
        addSurface(
            wing, kWingSpan, kWingChord, wingAt,
            [side](double s, double t, Vec3, Vec3, double& a, double& b) {
                a = mix(kWingLeft, kWingRight, side < 0 ? t : t);
                b = mix(0.02, 0.98, s);
            },
            true);
        groups.push_back(wing);
    }

    // Wing cases: hinged at the back of the thorax, lifted and opened
    // outwards in flight so the lantern shows between them.
    for (double side : {-1.0, 1.0}) {
        MeshGroup shell;
        shell.name = side < 0 ? "lshell" : "rshell";
        Vec3 hinge = vec(side * 0.05, 0.10, -0.28);
        SurfaceFn shellAt = [=](double s, double t) {
            // s from the hinge to the tip, t from the suture over the top to
            // the outer margin.
            double len = 0.90;
            double width = 0.20 * std::pow(std::sin(kPi * (0.20 + 0.76 * s)), 0.45);
            double arc = 0.5 * kPi * 1.15 * t;
            Vec3 local = vec(side * width * std::sin(arc), 0.09 * std::cos(arc) - 0.09, len * s);
            // Lifted in flight: the outer margin rolls up, the tip swings
            // out and rises, leaving the lantern free between the cases.
            local = rotate(local, vec(0.0, 0.0, 1.0), side * 0.45);
            local = rotate(local, vec(0.0, 1.0, 0.0), side * 0.30);
            local = rotate(local, vec(1.0, 0.0, 0.0), -0.28);
            return hinge + local;
        };
        // For the left case the parameters run the other way round, so the
        // front faces outwards on both.
        SurfaceFn oriented =
            side > 0 ? shellAt : [shellAt](double s, double t) { return shellAt(1.0 - s, t); };
        addSurface(
            shell, kShellRows, kShellAcross, oriented,
            [side](double s, double t, Vec3, Vec3 n, double& a, double& b) {
                (void)s;
                (void)side;
                a = mix(kShellCaseLeft, kShellCaseRight, t);
                b = shadeRow(fireflyShade(n));
            },
            true);
        groups.push_back(shell);
    }
    return groups;
}

Picture makeShellPicture() {
    Picture p(kFireflyPictureSide, kFireflyPictureSide);
    Random random(0x5E11);
    TileNoise grain(random, 32, 32);
    p.paint(kPictureSamples, [&](double a, double b) {
        double shade = clamp01((0.96 - b) / 0.92);
        double light = 0.25 + 0.95 * std::pow(shade, 1.4);
        double gloss = 0.5 * std::pow(smoothstep(0.80, 1.0, shade), 2.0);
        double n = grain.fractal(a, b, 3);
        Color c;
        if (a < 0.73) {
            double across = clamp01((a - kShellCaseLeft) / (kShellCaseRight - kShellCaseLeft));
            Color body = rgb(0.30, 0.22, 0.14);
            Color margin = rgb(1.0, 0.85, 0.35);
            double m = smoothstep(0.78, 0.88, across);
            c = mixColor(body, margin, m);
            double suture = 1.0 - smoothstep(0.0, 0.06, across);
            c = mixColor(c, rgb(0.75, 0.6, 0.3), 0.7 * suture);
            // Fine lengthwise grooves.
            double groove = 0.5 + 0.5 * std::cos(2.0 * kPi * across * 9.0);
            c = c * (1.0 - 0.15 * groove * (1.0 - m)) * (0.9 + 0.2 * n);
        } else {
            c = rgb(0.42, 0.30, 0.16) * (0.9 + 0.2 * n);
        }
        return c * light + rgb(gloss, gloss, gloss * 0.8);
    });
    return p;
}

Picture makeWingPicture() {
    Picture p(kFireflyPictureSide, kFireflyPictureSide);
    Random random(0x3146);
    TileNoise grain(random, 16, 16);
    p.paint(kPictureSamples, [&](double a, double b) {
        if (a < 0.61) {
            // Membrane: smoky, paler towards the tip, with dark veins.
            double across = clamp01((a - kWingLeft) / (kWingRight - kWingLeft));
            double along = clamp01((b - 0.02) / 0.96);
            Color c = mixColor(rgb(0.70, 0.62, 0.45), rgb(0.95, 0.92, 0.80), along);
            double veins = 0.0;
            const double veinAt[4] = {0.12, 0.30, 0.52, 0.74};
            for (double v0 : veinAt) {
                double centre = v0 + 0.08 * along * (v0 - 0.35);
                double width = 0.018 * (1.2 - along);
                veins = std::max(veins, 1.0 - smoothstep(0.0, width, std::fabs(across - centre)));
            }
            // The leading edge is a thick vein.
            veins = std::max(veins, 1.0 - smoothstep(0.0, 0.06, across));
            c = mixColor(c, rgb(0.35, 0.25, 0.12), 0.85 * veins);
            return c * (0.92 + 0.16 * grain.fractal(a, b, 2));
        }
        if (b < 0.645) {
            // Thorax shield from above: pale margin, rose band, black spot,
            // shaded as a dome under the firefly's light.
            double x = ((a - kShieldLeft) / (kShieldRight - kShieldLeft) * 2.0 - 1.0) * 1.02;
            double zr = ((b - kShieldTop) / (kShieldBottom - kShieldTop) * 2.0 - 1.0) * 1.02;
            double d2 = x * x + zr * zr;
            double y = std::sqrt(std::max(0.0, 1.0 - d2));
            Vec3 n = normalized(vec(x / kThoraxRadii.x, y / kThoraxRadii.y, zr / kThoraxRadii.z));
            double shade = fireflyShade(n);
            Color margin = rgb(1.0, 0.92, 0.45);
            Color rose = rgb(1.0, 0.5, 0.55);
            Color spot = rgb(0.10, 0.07, 0.05);
            // A broad rose patch in the middle of the pale shield, with a
            // small dark mark at its hind end.
            double roseD = std::sqrt(x * x * 2.0 + (zr - 0.1) * (zr - 0.1) * 1.4);
            double spotD = std::sqrt(x * x * 14.0 + (zr - 0.55) * (zr - 0.55) * 1.6);
            Color c = mixColor(margin, rose, 0.85 * (1.0 - smoothstep(0.45, 0.85, roseD)));
            c = mixColor(c, spot, 1.0 - smoothstep(0.35, 0.55, spotD));
            double light = 0.35 + 0.8 * std::pow(shade, 1.3);
            double gloss = 0.35 * std::pow(smoothstep(0.85, 1.0, shade), 2.0);
            return c * light + rgb(gloss, gloss, gloss);
        }
        double shade = clamp01((a - kShieldLeft) / (kShieldRight - kShieldLeft));
        if (b < 0.83) {
            return rgb(0.40, 0.30, 0.22) * (0.3 + 0.9 * shade);
        }
        double gloss = 0.8 * std::pow(smoothstep(0.75, 1.0, shade), 3.0);
        return rgb(0.06, 0.05, 0.05) * (0.5 + shade) + rgb(gloss, gloss, gloss);
    });
    return p;
}

Picture makeAbdomenPicture() {
    Picture p(kFireflyPictureSide, kFireflyPictureSide);
    Random random(0xAB0);
    TileNoise grain(random, 16, 16);
    p.paint(kPictureSamples, [&](double a, double b) {
        double along = clamp01((a - 0.02) / 0.96);
        double shade = clamp01((0.96 - b) / 0.92);
        double segment = fract(along * 7.0);
        double seam = 1.0 - smoothstep(0.0, 0.12, std::min(segment, 1.0 - segment));
        double glow = smoothstep(0.56, 0.66, along);
        Color dark = rgb(0.32, 0.24, 0.16) * (0.3 + 0.9 * std::pow(shade, 1.3));
        dark = mixColor(dark, rgb(0.8, 0.65, 0.35) * (0.4 + 0.6 * shade), 0.6 * seam);
        Color lit = mixColor(rgb(0.95, 1.0, 0.55), rgb(1.0, 1.0, 0.9), 0.5 * shade);
        lit = lit * (0.92 - 0.12 * seam + 0.08 * grain.fractal(a, b, 2));
        return mixColor(dark, lit, glow);
    });
    return p;
}

// ---------------------------------------------------------------- the flower

// flowerT.bmp holds the petal five times side by side, from dark (left) to
// bright (right): the upright inner petals take the darker copies, as if
// shaded by the open outer ones.
const int kPetalShades = 5;

// One petal opened by `open` radians from upright, rotated by `yaw` about
// the stem, coloured from picture copy `shade` (0..4). All five groups share
// this one topology.
MeshGroup flowerPetal(const std::string& name, double open, double yaw, int shade) {
    MeshGroup petal;
    petal.name = name;
    const double len = 0.5;
    const double bend = 0.7; // the petal curls outwards along its length
    SurfaceFn at = [=](double step, double t) {
        // Rows closer together towards the round tip.
        double s = std::sin(0.5 * kPi * step);
        double across = 2.0 * t - 1.0;
        // Spine in the (up, out) plane.
        double k = bend;
        double phi = open + k * s;
        double out = len / k * (std::cos(open) - std::cos(phi));
        double up = len / k * (std::sin(phi) - std::sin(open));
        Vec3 inner = vec(0.0, std::sin(phi), -std::cos(phi));
        // Narrow at the foot, widest past the middle, round at the tip.
        const double widest = 0.62;
        double width =
            s < widest
                ? 0.17 * (0.12 + 0.88 * std::pow(std::sin(0.5 * kPi * s / widest), 0.9))
                : 0.17 *
                      std::sqrt(std::max(0.0, 1.0 - std::pow((s - widest) / (1.0 - widest), 2.0)));
        Vec3 p = vec(across * width, up, out) + inner * (0.45 * width * across * across);
        return rotate(p, vec(0.0, 1.0, 0.0), yaw);
    };
    addSurface(
        petal, kPetalRows, kPetalAcross, at,
        [shade](double step, double t, Vec3, Vec3, double& a, double& b) {
            a = (shade + 0.05 + 0.9 * t) / kPetalShades;
            b = 0.98 - 0.96 * std::sin(0.5 * kPi * step);
        },
        false);
    return petal;
}

std::vector<MeshGroup> makeFlower() {
    std::vector<MeshGroup> groups;
    const double opening[5] = {0.20, 0.55, 0.90, 1.25, 1.60};
    const double yaw[5] = {0.10, -0.10, 0.08, -0.08, 0.0};
    for (int i = 0; i < 5; ++i) {
        groups.push_back(flowerPetal("petal" + std::to_string(i + 1), opening[i], yaw[i], i));
    }
    return groups;
}

Picture makeFlowerPicture() {
    Picture p(kFlowerPictureWidth, kFlowerPictureHeight);
    Random random(0xF10);
    TileNoise grain(random, 16, 16);
    p.paint(kPictureSamples, [&](double a, double b) {
        double column = std::floor(a * kPetalShades);
        double inColumn = a * kPetalShades - column;
        double across = clamp01((inColumn - 0.05) / 0.9) * 2.0 - 1.0;
        double along = clamp01((0.98 - b) / 0.96);
        double light = 0.5 + 0.5 * column / (kPetalShades - 1);
        // Deep throat, rich middle, a pale rim round the edge and tip;
        // veins fan out from the foot; a few dark freckles in the throat.
        Color throat = rgb(0.22, 0.08, 0.38);
        Color mid = rgb(0.70, 0.35, 0.85);
        Color rim = rgb(1.0, 0.9, 1.0);
        Color c = mixColor(throat, mid, smoothstep(0.0, 0.45, along));
        double edge =
            std::max(smoothstep(0.65, 0.92, std::fabs(across)), smoothstep(0.8, 0.95, along));
        c = mixColor(c, rim, 0.75 * edge * smoothstep(0.2, 0.5, along));
        double vein = 0.5 + 0.5 * std::cos(kPi * across * 5.0);
        c = c * (1.0 - 0.3 * std::pow(vein, 4.0) * (1.0 - along));
        double midrib = 1.0 - smoothstep(0.0, 0.05, std::fabs(across));
        c = mixColor(c, rgb(0.45, 0.15, 0.6), 0.5 * midrib * (1.0 - along));
        double freckle = grain.at(inColumn * 16.0, b * 16.0);
        c = mixColor(c, rgb(0.15, 0.02, 0.2),
                     smoothstep(0.72, 0.8, freckle) * (1.0 - smoothstep(0.15, 0.35, along)));
        return c * (light * (0.9 + 0.2 * grain.fractal(inColumn, b, 3)));
    });
    return p;
}

// --------------------------------------------------------------- the lantern

const double kLanternBottom = 0.0;
const double kLanternTop = 0.6;
const double kLanternRadius = 0.41;
const int kLanternRibs = 12;

double lanternRadius(double h) {
    // h from 0 (bottom) to 1 (top); an ellipse cut off at both ends leaves
    // openings of about 0.17 for the rims. The ribs are drawn on the paper.
    double y = mix(kLanternBottom, kLanternTop, h);
    double centre = 0.5 * (kLanternBottom + kLanternTop);
    double half = 0.33;
    double e = (y - centre) / half;
    return kLanternRadius * std::sqrt(std::max(0.0, 1.0 - e * e));
}

MeshGroup lanternRim(const std::string& name, double y, double ring, double tube) {
    MeshGroup rim;
    rim.name = name;
    // The braid picture is one square piece of cord; six of them go round.
    const int repeats = 6;
    SurfaceFn at = [=](double s, double t) {
        double around = 2.0 * kPi * s;
        double roll = 2.0 * kPi * t;
        double r = ring + tube * std::cos(roll);
        return vec(r * std::cos(around), y + tube * std::sin(roll), -r * std::sin(around));
    };
    addSurface(
        rim, kRimAround, kRimTube, at,
        [](double s, double t, Vec3, Vec3, double& a, double& b) {
            a = s * repeats;
            b = t;
        },
        false);
    return rim;
}

std::vector<MeshGroup> makeLantern() {
    std::vector<MeshGroup> groups;
    MeshGroup body;
    body.name = "mesh";
    SurfaceFn at = [](double s, double t) {
        // s from bottom to top, t once round (counter-clockwise seen from
        // above, so the front faces outwards).
        double r = lanternRadius(s);
        double around = 2.0 * kPi * t;
        return vec(r * std::cos(around), mix(kLanternBottom, kLanternTop, s),
                   -r * std::sin(around));
    };
    // Swap the parameters' roles so dP/ds x dP/dt points outwards.
    SurfaceFn outward = [at](double s, double t) { return at(t, s); };
    addSurface(
        body, kLanternAround, kLanternRows, outward,
        [](double s, double t, Vec3, Vec3, double& a, double& b) {
            a = s * 2.0;
            b = 1.0 - t;
        },
        false);
    groups.push_back(body);
    double rBottom = lanternRadius(0.0);
    double rTop = lanternRadius(1.0);
    groups.push_back(lanternRim("lowrim", kLanternBottom, rBottom, 0.03));
    groups.push_back(lanternRim("uprim", kLanternTop, rTop, 0.03));
    return groups;
}

Picture makeLanternPicture() {
    Picture p(kLanternPictureSide, kLanternPictureSide);
    Random random(0x1A7);
    TileNoise fibre(random, 8, 64);
    p.paint(kPictureSamples, [&](double a, double b) {
        double h = 1.0 - b; // height on the lantern, 0 at the bottom
        // Red paper, glowing orange round the middle, thin dark ribs, and a
        // deep red band with a gold line near each opening.
        double rib = std::fabs(std::cos(kPi * kLanternRibs * h));
        double ribLine = std::pow(rib, 24.0);
        double middle = std::sin(kPi * h);
        Color paper = mixColor(rgb(0.85, 0.16, 0.07), rgb(1.0, 0.38, 0.15), middle * middle);
        paper = paper * ((0.8 + 0.2 * middle) * (0.9 + 0.15 * fibre.fractal(a, b, 3)));
        double edgeDistance = std::min(h, 1.0 - h);
        double band = 1.0 - smoothstep(0.10, 0.12, edgeDistance);
        Color c = mixColor(paper, rgb(0.55, 0.05, 0.03), band);
        double gold = 1.0 - smoothstep(0.008, 0.02, std::fabs(edgeDistance - 0.14));
        c = mixColor(c, rgb(1.0, 0.85, 0.35), gold);
        return mixColor(c, rgb(0.3, 0.05, 0.02), 0.75 * ribLine * (1.0 - band));
    });
    return p;
}

// Height of the braid relief, 0..1, at (a, b), both fractions of one square
// piece of cord: a along the rim, b once round the cord. A plait seen from
// outside: strands run in chevrons, pointing along the rim, with grooves
// between them and a seam where the two halves meet.
double braidHeight(double a, double b) {
    const double strands = 3.0;
    double fold = std::fabs(fract(b * 2.0) - 0.5) * 2.0; // 0..1..0 twice round the cord
    double phase = fract(a * strands + fold * 0.75);
    double strand = std::pow(std::max(0.0, std::sin(kPi * phase)), 0.5);
    double seam = smoothstep(0.0, 0.12, std::min(fold, 1.0 - fold));
    return strand * (0.55 + 0.45 * seam);
}

Picture makeBraidPicture() {
    Picture p(kBraidPictureWidth, kBraidPictureHeight);
    Random random(0xB4A1D);
    TileNoise fibre(random, 64, 16);
    p.paint(kPictureSamples, [&](double a, double b) {
        double h = braidHeight(a, b);
        Color cord = mixColor(rgb(0.45, 0.28, 0.05), rgb(1.0, 0.78, 0.30), h);
        Color shine = rgb(1.0, 0.95, 0.7);
        Color c = mixColor(cord, shine, 0.35 * std::pow(h, 6.0));
        return c * (0.85 + 0.3 * fibre.fractal(a, b, 2));
    });
    return p;
}

Picture makeBraidNormalPicture() {
    Picture p(kBraidPictureWidth, kBraidPictureHeight);
    const double relief = 0.06; // relief height as a fraction of the piece's side
    const double step = 1e-3;
    p.paint([&](double a, double b) {
        // x grows with the texture's s (to the right), y with its t (down
        // the picture); z points out of the surface.
        double dhda = (braidHeight(a + step, b) - braidHeight(a - step, b)) / (2.0 * step);
        double dhdb = (braidHeight(a, b + step) - braidHeight(a, b - step)) / (2.0 * step);
        Vec3 n = normalized(vec(-relief * dhda, -relief * dhdb, 1.0));
        return rgb(0.5 + 0.5 * n.x, 0.5 + 0.5 * n.y, 0.5 + 0.5 * n.z);
    });
    return p;
}

// ------------------------------------------------------------ the backdrop

// Horizontal distance between two column fractions on the wrapped panorama.
double wrappedDistance(double a, double b) {
    double d = std::fabs(a - b);
    return std::min(d, 1.0 - d);
}

// The night sky round the arena, once round the four walls: u (the column
// fraction) wraps from 1 back to 0 without a seam, the top row is the top of
// the walls. The chase camera sees the rows from about 0.08 to 0.68, the
// eye level lying between 0.18 and 0.35 depending on the arena size, so the
// tree line stands at about 0.4 and the sky above it.
Picture makeBoundsPicture() {
    const int w = 2048;
    const int h = 512;
    Picture p(w, h);
    Random random(0xB0D5);
    TileNoise cloud(random, 16, 8);
    TileNoise hills(random, 24, 1);
    TileNoise forest(random, 256, 1);
    const double treeBase = 0.44; // where the tree line meets the ground

    // Outline of the far hills and of the tree line, one row fraction per
    // column: the highest point of any tree covering the column.
    std::vector<double> hillTop(w);
    std::vector<double> treeTop(w);
    for (int x = 0; x < w; ++x) {
        double a = (x + 0.5) / w;
        hillTop[x] = 0.43 - 0.04 * hills.fractal(a, 0.0, 5);
        treeTop[x] = treeBase - 0.012 - 0.012 * forest.fractal(a, 0.0, 3);
    }
    for (int i = 0; i < 700; ++i) {
        double centre = random.uniform();
        double height = 0.02 + 0.06 * std::pow(random.uniform(), 2.0);
        bool conifer = random.uniform() < 0.8;
        double halfWidth = height * (conifer ? 0.14 : 0.2);
        double foot = treeBase - 0.004 * random.uniform();
        for (int x = 0; x < w; ++x) {
            double d = wrappedDistance((x + 0.5) / w, centre) / halfWidth;
            if (d >= 1.0) {
                continue;
            }
            double top;
            if (conifer) {
                // A spire with ragged tiers of branches.
                double tiers = 0.12 * std::fabs(std::sin(d * 9.0 + centre * 40.0));
                top = foot - height * (1.0 - d) * (1.0 - tiers);
            } else {
                top = foot - 0.6 * height * (0.55 + 0.45 * std::sqrt(1.0 - d * d));
            }
            treeTop[x] = std::min(treeTop[x], top);
        }
    }

    // The Milky Way: a faint wavy band across the sky with a dark lane.
    auto bandCentre = [](double a) {
        return 0.17 + 0.07 * std::sin(2.0 * kPi * a + 1.0) + 0.025 * std::sin(4.0 * kPi * a + 2.0);
    };
    p.paint([&](double a, double b) {
        int x = std::min(w - 1, static_cast<int>(a * w));
        if (b >= treeTop[x]) {
            // Ground under the trees, darkening downwards.
            double below = clamp01((b - treeBase) / (1.0 - treeBase));
            return rgb(0.012, 0.03, 0.06) * (1.0 - 0.6 * below);
        }
        if (b >= hillTop[x]) {
            // Far hills, a little lighter than the trees, hazy at the foot.
            double haze = smoothstep(hillTop[x], treeBase, b);
            return mixColor(rgb(0.03, 0.08, 0.17), rgb(0.07, 0.18, 0.30), 0.6 * haze);
        }
        double t = clamp01(b / 0.42);
        Color c = mixColor(rgb(0.02, 0.06, 0.24), rgb(0.12, 0.36, 0.66), std::pow(t, 2.0));
        c = c + rgb(0.05, 0.18, 0.2) * std::pow(smoothstep(0.6, 1.0, t), 2.0);
        double offset = (b - bandCentre(a)) / 0.055;
        double band = std::exp(-offset * offset) * (0.4 + 0.6 * cloud.fractal(a, b * 2.0, 5));
        double lane = std::exp(-std::pow((b - bandCentre(a) - 0.006) / 0.012, 2.0));
        band *= 1.0 - 0.6 * lane * cloud.fractal(a * 2.0, b * 4.0, 3);
        return c + rgb(0.10, 0.14, 0.18) * band;
    });

    // Stars: many faint, a few bright, more of them inside the Milky Way.
    auto addStar = [&](double x, double y, double m) {
        int column = (static_cast<int>(x) % w + w) % w;
        if (y < 1.0 || y > hillTop[column] * h - 1.0) {
            return;
        }
        double bright = 0.25 + 0.95 * m;
        p.addSpot(x, y, 0.45 + 0.7 * m, rgb(bright * 0.9, bright * 0.95, bright));
    };
    for (int i = 0; i < 2600; ++i) {
        double x = random.uniform() * w;
        double y = random.uniform() * 0.42 * h;
        double m = std::pow(random.uniform(), 7.0);
        addStar(x, y, m);
    }
    for (int i = 0; i < 1800; ++i) {
        double a = random.uniform();
        double spread = (random.uniform() + random.uniform() + random.uniform() - 1.5) * 0.05;
        addStar(a * w, (bandCentre(a) + spread) * h, 0.15 * random.uniform());
    }
    // Distant fireflies glowing in the woods.
    for (int i = 0; i < 70; ++i) {
        double x = random.uniform() * w;
        int column = static_cast<int>(x) % w;
        double y = (treeTop[column] + random.uniform() * (treeBase + 0.05 - treeTop[column])) * h;
        double glow = 0.4 + 0.6 * random.uniform();
        p.addSpot(x, y, 0.7, rgb(0.9, 1.0, 0.35) * glow);
    }
    return p;
}

// ------------------------------------------------------------- the numbers

bool writeRandomNumbers(const std::string& path) {
    Random random(0xF1EF1E5);
    std::string text;
    char line[32];
    for (int i = 0; i < 1000; ++i) {
        std::snprintf(line, sizeof line, "%.6f\n", random.uniform());
        text += line;
    }
    std::vector<unsigned char> bytes(text.begin(), text.end());
    return Picture::writeBytes(path, bytes);
}

// ------------------------------------------------------------ the menu icon

// The desktop's icon for the game: the firefly from above, head up, its
// lantern aglow, on a round patch of night sky. Drawn with 4 x 4 samples a
// pixel; row 0 at the top, premultiplied colour with its coverage alpha.
struct IconPixel {
    Color c;
    double a = 0.0;
    // Lays colour c with opacity alpha over what is there.
    void over(Color top, double alpha) {
        c = top * alpha + c * (1.0 - alpha);
        a = alpha + a * (1.0 - alpha);
    }
};

// Where (x, y) lies in the ellipse about (cx, cy) with radii rx, ry turned by
// `turn` radians: 0 at the centre, 1 on the rim.
double ellipseReach(double x, double y, double cx, double cy, double rx, double ry, double turn) {
    double dx = x - cx;
    double dy = y - cy;
    double u = dx * std::cos(turn) + dy * std::sin(turn);
    double v = -dx * std::sin(turn) + dy * std::cos(turn);
    return std::sqrt((u / rx) * (u / rx) + (v / ry) * (v / ry));
}

// Distance from (x, y) to the segment from (x0, y0) to (x1, y1).
double segmentDistance(double x, double y, double x0, double y0, double x1, double y1) {
    double ex = x1 - x0;
    double ey = y1 - y0;
    double t = clamp01(((x - x0) * ex + (y - y0) * ey) / (ex * ex + ey * ey));
    return std::hypot(x - x0 - t * ex, y - y0 - t * ey);
}

IconPixel iconSample(double x, double y) {
    IconPixel p;
    const Color dark = rgb(0.10, 0.08, 0.06);
    if (std::hypot(x - 0.5, y - 0.5) < 0.48) {
        p.over(mixColor(rgb(0.03, 0.05, 0.14), rgb(0.09, 0.13, 0.30), y), 1.0);
    }
    // Legs and feelers, then the wings spread out under the shells.
    const double legs[6][4] = {{0.44, 0.34, 0.30, 0.24}, {0.56, 0.34, 0.70, 0.24},
                               {0.44, 0.40, 0.27, 0.42}, {0.56, 0.40, 0.73, 0.42},
                               {0.45, 0.46, 0.32, 0.60}, {0.55, 0.46, 0.68, 0.60}};
    for (const auto& leg : legs) {
        if (segmentDistance(x, y, leg[0], leg[1], leg[2], leg[3]) < 0.013) {
            p.over(dark, 1.0);
        }
    }
    if (segmentDistance(x, y, 0.48, 0.19, 0.37, 0.06) < 0.009 ||
        segmentDistance(x, y, 0.52, 0.19, 0.63, 0.06) < 0.009) {
        p.over(dark, 1.0);
    }
    for (double side : {-1.0, 1.0}) {
        if (ellipseReach(x, y, 0.5 + 0.15 * side, 0.56, 0.10, 0.25, -0.45 * side) < 1.0) {
            p.over(rgb(0.80, 0.86, 0.95), 0.45);
        }
    }
    // The lantern's halo, then the abdomen: dark in front, lit at the tail.
    double halo = std::exp(-std::pow(std::hypot(x - 0.5, y - 0.80) / 0.16, 2.0));
    p.over(rgb(0.90, 1.0, 0.45), 0.85 * halo);
    if (ellipseReach(x, y, 0.5, 0.66, 0.10, 0.22, 0.0) < 1.0) {
        double lit = smoothstep(0.66, 0.72, y);
        p.over(mixColor(rgb(0.32, 0.24, 0.16), rgb(0.97, 1.0, 0.62), lit), 1.0);
    }
    // Two brown shells with gold margins, the rose shield and the head.
    for (double side : {-1.0, 1.0}) {
        double reach = ellipseReach(x, y, 0.5 + 0.055 * side, 0.50, 0.075, 0.19, -0.12 * side);
        if (reach < 1.0) {
            double shade = 0.75 + 0.35 * clamp01((0.62 - y) / 0.3);
            Color shell = mixColor(rgb(0.30, 0.22, 0.14), rgb(1.0, 0.85, 0.35),
                                   smoothstep(0.72, 0.85, reach));
            p.over(shell * shade, 1.0);
        }
    }
    double shield = ellipseReach(x, y, 0.5, 0.29, 0.11, 0.07, 0.0);
    if (shield < 1.0) {
        Color rim = rgb(0.95, 0.80, 0.40);
        Color rose = rgb(0.88, 0.45, 0.45);
        Color c = mixColor(rose, rim, smoothstep(0.70, 0.85, shield));
        if (ellipseReach(x, y, 0.5, 0.32, 0.035, 0.025, 0.0) < 1.0) {
            c = dark;
        }
        p.over(c, 1.0);
    }
    if (ellipseReach(x, y, 0.5, 0.205, 0.055, 0.04, 0.0) < 1.0) {
        p.over(dark, 1.0);
    }
    return p;
}

// CRC-32 as PNG chunks carry it (polynomial 0xEDB88320).
std::uint32_t crc32(const std::vector<unsigned char>& bytes, size_t from) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = from; i < bytes.size(); ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return crc ^ 0xFFFFFFFFu;
}

// An RGBA PNG whose image data is stored, not compressed: zlib stored
// blocks of at most 65535 bytes, with the Adler-32 of the raw rows.
bool writeIconPng(const std::string& path, int size) {
    std::vector<unsigned char> raw;
    for (int y = 0; y < size; ++y) {
        raw.push_back(0); // no row filter
        for (int x = 0; x < size; ++x) {
            IconPixel sum;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    IconPixel s =
                        iconSample((x + (sx + 0.5) / 4.0) / size, (y + (sy + 0.5) / 4.0) / size);
                    sum.c = sum.c + s.c * (1.0 / 16.0);
                    sum.a += s.a / 16.0;
                }
            }
            Color c = sum.a > 0.0 ? sum.c * (1.0 / sum.a) : sum.c;
            raw.push_back(Picture::toByte(c.r));
            raw.push_back(Picture::toByte(c.g));
            raw.push_back(Picture::toByte(c.b));
            raw.push_back(Picture::toByte(sum.a));
        }
    }
    std::vector<unsigned char> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    auto put32 = [](std::vector<unsigned char>& out, std::uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            out.push_back((v >> shift) & 0xFF);
        }
    };
    auto chunk = [&](const char* type, const std::vector<unsigned char>& data) {
        put32(file, static_cast<std::uint32_t>(data.size()));
        size_t start = file.size();
        file.insert(file.end(), type, type + 4);
        file.insert(file.end(), data.begin(), data.end());
        put32(file, crc32(file, start));
    };
    std::vector<unsigned char> header;
    put32(header, static_cast<std::uint32_t>(size));
    put32(header, static_cast<std::uint32_t>(size));
    header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA, no interlace
    chunk("IHDR", header);
    std::vector<unsigned char> zlib = {0x78, 0x01};
    for (size_t at = 0; at < raw.size();) {
        size_t length = std::min<size_t>(raw.size() - at, 65535);
        bool last = at + length == raw.size();
        zlib.push_back(last ? 1 : 0);
        zlib.push_back(length & 0xFF);
        zlib.push_back((length >> 8) & 0xFF);
        zlib.push_back(~length & 0xFF);
        zlib.push_back((~length >> 8) & 0xFF);
        zlib.insert(zlib.end(), raw.begin() + at, raw.begin() + at + length);
        at += length;
    }
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put32(zlib, (b << 16) | a);
    chunk("IDAT", zlib);
    chunk("IEND", {});
    return Picture::writeBytes(path, file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_assets OUTDIR\n");
        return 2;
    }
    std::string dir = argv[1];
    auto file = [&dir](const std::string& name) { return dir + "/" + name; };
    struct PictureJob {
        const char* name;
        Picture (*make)();
    };
    const PictureJob pictures[] = {
        {"shell.bmp", makeShellPicture},
        {"wing.bmp", makeWingPicture},
        {"abdomen.bmp", makeAbdomenPicture},
        {"flowerT.bmp", makeFlowerPicture},
        {"lanternT.bmp", makeLanternPicture},
        {"braid.bmp", makeBraidPicture},
        {"braid_norm.bmp", makeBraidNormalPicture},
        {"bounds.bmp", makeBoundsPicture},
    };
    bool ok = true;
    ok = writeObj(file("firefly.obj"), "firefly", makeFirefly()) && ok;
    ok = writeObj(file("flower.obj"), "flower petal at five openings", makeFlower()) && ok;
    ok = writeObj(file("lantern.obj"), "paper lantern", makeLantern()) && ok;
    for (const PictureJob& job : pictures) {
        ok = job.make().writeBmp(file(job.name)) && ok;
    }
    ok = writeRandomNumbers(file("random_numbers.dat")) && ok;
    ok = writeIconPng(file("fireflies.png"), 64) && ok;
    ok = writeSounds(dir) && ok;
    if (!ok) {
        std::fprintf(stderr, "make_assets: could not write every file into %s\n", dir.c_str());
        return 1;
    }
    return 0;
}
