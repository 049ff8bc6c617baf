// A probe loaded into a program with LD_PRELOAD (the game or the bare
// window): it wraps the buffer swap, SDL_Delay, the texture uploads and,
// when built with FRAME_PROBE_COUNT_VERTICES, every glVertex call, and
// writes what it saw of each frame to a file. The program itself is not
// changed: the probe sits between it and its libraries.
//
// Environment (set by frame_bench):
//   FRAME_PROBE_OUT     file the report is written to (required)
//   FRAME_PROBE_FRAMES  frames after which the report is written and an
//                       SDL_QUIT event is posted, so the program ends as a
//                       player's window close ends it (default 300)
//   FRAME_PROBE_T0_NS   CLOCK_MONOTONIC nanoseconds taken just before the
//                       program was started, for the first frame's time
//   FRAME_PROBE_CLOCK   seconds since 1970 that time() answers, if set: the
//                       game seeds its dice from the clock's seconds, and
//                       a game steps a fixed time each frame, so runs given
//                       the same value and no input play the same game
//
// The report also says which SDL 1.2 the program ran on: the version it
// reports, the library file loaded and, for sdl12-compat (SDL 1.2 over
// SDL 2), SDL 2's version and file and the sdl12-compat variables set.
//
// A frame's busy time is the time from the end of the previous frame's
// pacing wait (or of its swap, when it did not wait) to the end of this
// frame's swap: events, the world's step, the drawing and the swap. Beside
// each time the probe gives the processor time the whole process (all its
// threads: the renderer's too) spent in it, which a busy machine's other
// work does not lengthen, and the processor time up to the first swap.
#include <dlfcn.h>
#include <malloc.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <SDL/SDL.h>

namespace {

std::int64_t nowNs() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// Processor time of the whole process so far, ns.
std::int64_t cpuNs() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// What is known of the run so far.
struct Probe {
    long framesWanted = 300;
    std::int64_t startNs = 0; // before exec, from the environment; 0 if not given
    std::int64_t frameStartNs = 0;
    std::int64_t frameStartCpuNs = 0;
    std::int64_t firstFrameNs = -1;
    std::int64_t firstFrameCpuNs = -1;
    std::vector<double> busyMs;    // one a frame, the first frame excepted
    std::vector<double> busyCpuMs; // the processor time of each of those
    std::vector<long> vertices;    // glVertex calls of each frame
    long verticesNow = 0;
    long frames = 0;
    long textureObjects = 0;
    long textureLevels = 0;
    double textureBytes = 0.0; // texels uploaded times their components
    bool reported = false;
};

Probe& probe() {
    static Probe* p = [] {
        Probe* made = new Probe;
        if (const char* frames = std::getenv("FRAME_PROBE_FRAMES")) {
            made->framesWanted = std::atol(frames);
        }
        if (const char* t0 = std::getenv("FRAME_PROBE_T0_NS")) {
            made->startNs = std::atoll(t0);
        }
        return made;
    }();
    return *p;
}

template <typename Fn> Fn next(const char* name) {
    void* symbol = dlsym(RTLD_NEXT, name);
    if (symbol == nullptr) {
        std::fprintf(stderr, "frame_probe: no %s to wrap\n", name);
        std::abort();
    }
    return reinterpret_cast<Fn>(symbol);
}

// Resident and peak resident memory, kB, from /proc.
void memoryKb(long& resident, long& peak) {
    resident = peak = -1;
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) {
        return;
    }
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
        std::sscanf(line, "VmRSS: %ld", &resident);
        std::sscanf(line, "VmHWM: %ld", &peak);
    }
    std::fclose(status);
}

// The file a symbol was loaded from, resolved; "" when unknown.
std::string libraryOf(void* symbol) {
    Dl_info info;
    if (symbol == nullptr || dladdr(symbol, &info) == 0 || info.dli_fname == nullptr) {
        return "";
    }
    char* resolved = realpath(info.dli_fname, nullptr);
    std::string path = resolved != nullptr ? resolved : info.dli_fname;
    std::free(resolved);
    return path;
}

// Which SDL the program runs on, as report lines.
void writeSdl(std::FILE* out) {
    using LinkedVersion = const SDL_version* (*)(void);
    void* linked = dlsym(RTLD_NEXT, "SDL_Linked_Version");
    if (linked != nullptr) {
        const SDL_version* v = reinterpret_cast<LinkedVersion>(linked)();
        std::fprintf(out, "sdl_version %d.%d.%d\nsdl_library %s\n", v->major, v->minor, v->patch,
                     libraryOf(linked).c_str());
    }
    // sdl12-compat loads SDL 2 privately: it is found by its file name.
    // (Classic SDL's programs may have it loaded too, unused, by a library
    // of SDL_mixer's: frame_bench tells the two apart by SDL 1.2's version.)
    void* sdl2 = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (sdl2 == nullptr) {
        return;
    }
    struct Version2 {
        Uint8 major, minor, patch;
    };
    void* getVersion = dlsym(sdl2, "SDL_GetVersion");
    if (getVersion != nullptr) {
        Version2 v{};
        reinterpret_cast<void (*)(Version2*)>(getVersion)(&v);
        std::fprintf(out, "sdl2_version %d.%d.%d\nsdl2_library %s\n", v.major, v.minor, v.patch,
                     libraryOf(getVersion).c_str());
    }
    dlclose(sdl2);
    for (const char* name : {"SDL12COMPAT_OPENGL_SCALING", "SDL12COMPAT_SYNC_TO_VBLANK"}) {
        if (const char* value = std::getenv(name)) {
            std::fprintf(out, "sdl12compat_setting %s=%s\n", name, value);
        }
    }
}

void writeReport(Probe& p) {
    const char* path = std::getenv("FRAME_PROBE_OUT");
    if (path == nullptr) {
        return;
    }
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr) {
        std::fprintf(stderr, "frame_probe: cannot write %s\n", path);
        return;
    }
    long resident = 0;
    long peak = 0;
    memoryKb(resident, peak);
    double first = p.startNs > 0 ? (p.firstFrameNs - p.startNs) / 1e6 : -1.0;
    std::fprintf(out, "first_frame_ms %.3f\nrss_kb %ld\npeak_rss_kb %ld\n", first, resident, peak);
    // What of it the C library's allocator holds for the program: in use,
    // and free but kept.
    struct mallinfo2 heap = mallinfo2();
    std::fprintf(out, "heap_in_use_kb %zu\nheap_free_kb %zu\n",
                 (heap.uordblks + heap.hblkhd) / 1024, heap.fordblks / 1024);
    std::fprintf(out, "texture_objects %ld\ntexture_levels %ld\ntexture_bytes %.0f\n",
                 p.textureObjects, p.textureLevels, p.textureBytes);
    writeSdl(out);
    std::fprintf(out, "first_frame_cpu_ms %.3f\n", p.firstFrameCpuNs / 1e6);
    for (double ms : p.busyMs) {
        std::fprintf(out, "busy_ms %.4f\n", ms);
    }
    for (double ms : p.busyCpuMs) {
        std::fprintf(out, "busy_cpu_ms %.4f\n", ms);
    }
#ifdef FRAME_PROBE_COUNT_VERTICES
    for (long v : p.vertices) {
        std::fprintf(out, "vertices %ld\n", v);
    }
#endif
    std::fclose(out);
}

// Components of a texel of an internal format, as uploaded.
int components(GLint internalFormat) {
    switch (internalFormat) {
    case 1:
    case GL_ALPHA:
    case GL_LUMINANCE:
    case GL_ALPHA8:
    case GL_LUMINANCE8:
        return 1;
    case 2:
    case GL_LUMINANCE_ALPHA:
        return 2;
    case 3:
    case GL_RGB:
    case GL_RGB8:
        return 3;
    default:
        return 4;
    }
}

void countUpload(GLint level, GLint internalFormat, GLsizei w, GLsizei h, GLsizei d) {
    (void)level;
    Probe& p = probe();
    ++p.textureLevels;
    p.textureBytes += static_cast<double>(w) * h * d * components(internalFormat);
}

using TexImage3D = void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLsizei, GLint, GLenum, GLenum,
                            const void*);
TexImage3D realTexImage3D = nullptr;

void wrappedTexImage3D(GLenum target, GLint level, GLint internalFormat, GLsizei w, GLsizei h,
                       GLsizei d, GLint border, GLenum format, GLenum type, const void* pixels) {
    countUpload(level, internalFormat, w, h, d);
    realTexImage3D(target, level, internalFormat, w, h, d, border, format, type, pixels);
}

// The entry points GLEW asks for by name: the 3D upload is wrapped.
void* wrapProc(const char* name, void* real) {
    if (real != nullptr &&
        (std::strcmp(name, "glTexImage3D") == 0 || std::strcmp(name, "glTexImage3DEXT") == 0)) {
        realTexImage3D = reinterpret_cast<TexImage3D>(real);
        return reinterpret_cast<void*>(&wrappedTexImage3D);
    }
    return real;
}

// True on the thread that started the program, the one that draws.
bool onMainThread() {
    return static_cast<pid_t>(syscall(SYS_gettid)) == getpid();
}

} // namespace

extern "C" {

void SDL_GL_SwapBuffers(void) {
    static auto real = next<void (*)(void)>("SDL_GL_SwapBuffers");
    Probe& p = probe();
    real();
    std::int64_t end = nowNs();
    std::int64_t endCpu = cpuNs();
    if (p.frames == 0) {
        p.firstFrameNs = end;
        p.firstFrameCpuNs = endCpu;
    } else {
        p.busyMs.push_back((end - p.frameStartNs) / 1e6);
        p.busyCpuMs.push_back((endCpu - p.frameStartCpuNs) / 1e6);
    }
    p.vertices.push_back(p.verticesNow);
    p.verticesNow = 0;
    p.frameStartNs = end;
    p.frameStartCpuNs = endCpu;
    ++p.frames;
    if (!p.reported && p.frames >= p.framesWanted) {
        p.reported = true;
        writeReport(p);
        SDL_Event quit;
        std::memset(&quit, 0, sizeof quit);
        quit.type = SDL_QUIT;
        static auto push = next<int (*)(SDL_Event*)>("SDL_PushEvent");
        push(&quit);
    }
}

time_t time(time_t* out) noexcept {
    static auto real = next<time_t (*)(time_t*)>("time");
    static const char* fixed = std::getenv("FRAME_PROBE_CLOCK");
    if (fixed == nullptr) {
        return real(out);
    }
    time_t seconds = static_cast<time_t>(std::atoll(fixed));
    if (out != nullptr) {
        *out = seconds;
    }
    return seconds;
}

void SDL_Delay(Uint32 ms) {
    static auto real = next<void (*)(Uint32)>("SDL_Delay");
    real(ms);
    // Only the game's own pacing wait starts a frame: SDL's audio thread
    // (the disk driver, for one) waits with SDL_Delay too.
    if (onMainThread()) {
        probe().frameStartNs = nowNs();
        probe().frameStartCpuNs = cpuNs();
    }
}

void glGenTextures(GLsizei n, GLuint* textures) {
    static auto real = next<void (*)(GLsizei, GLuint*)>("glGenTextures");
    probe().textureObjects += n;
    real(n, textures);
}

void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei w, GLsizei h,
                  GLint border, GLenum format, GLenum type, const void* pixels) {
    static auto real =
        next<void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*)>(
            "glTexImage2D");
    // Proxy targets only ask whether a size would fit.
    if (target != GL_PROXY_TEXTURE_2D) {
        countUpload(level, internalFormat, w, h, 1);
    }
    real(target, level, internalFormat, w, h, border, format, type, pixels);
}

void (*glXGetProcAddressARB(const GLubyte* name))(void) {
    static auto real = next<void (*(*)(const GLubyte*))(void)>("glXGetProcAddressARB");
    void* found = reinterpret_cast<void*>(real(name));
    return reinterpret_cast<void (*)(void)>(wrapProc(reinterpret_cast<const char*>(name), found));
}

void (*glXGetProcAddress(const GLubyte* name))(void) {
    static auto real = next<void (*(*)(const GLubyte*))(void)>("glXGetProcAddress");
    void* found = reinterpret_cast<void*>(real(name));
    return reinterpret_cast<void (*)(void)>(wrapProc(reinterpret_cast<const char*>(name), found));
}

#ifdef FRAME_PROBE_COUNT_VERTICES
// Every way the game sends a vertex in immediate mode.
#define FRAME_PROBE_VERTEX(name, params, args)                                                     \
    void name params {                                                                             \
        static auto real = next<void(*) params>(#name);                                            \
        ++probe().verticesNow;                                                                     \
        real args;                                                                                 \
    }
FRAME_PROBE_VERTEX(glVertex2f, (GLfloat x, GLfloat y), (x, y))
FRAME_PROBE_VERTEX(glVertex2i, (GLint x, GLint y), (x, y))
FRAME_PROBE_VERTEX(glVertex2d, (GLdouble x, GLdouble y), (x, y))
FRAME_PROBE_VERTEX(glVertex3f, (GLfloat x, GLfloat y, GLfloat z), (x, y, z))
FRAME_PROBE_VERTEX(glVertex3d, (GLdouble x, GLdouble y, GLdouble z), (x, y, z))
FRAME_PROBE_VERTEX(glVertex3fv, (const GLfloat* v), (v))
FRAME_PROBE_VERTEX(glVertex3dv, (const GLdouble* v), (v))
FRAME_PROBE_VERTEX(glVertex2fv, (const GLfloat* v), (v))
#endif

} // extern "C"
