#include "checks.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>

void require(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken promise: %s\n", what);
        std::abort();
    }
}

namespace {

[[noreturn]] void broken(const std::string& what) {
    std::fprintf(stderr, "broken promise: %s\n", what.c_str());
    std::abort();
}

} // namespace

void requireOneLine(const std::string& message, const std::string& prefix) {
    if (message.size() <= prefix.size()) {
        broken("a complaint says something: \"" + message + "\"");
    }
    if (message.compare(0, prefix.size(), prefix) != 0) {
        broken("the complaint \"" + message + "\" starts with " + prefix);
    }
    // The file's name is the caller's; what the reader adds is printable.
    for (std::size_t i = prefix.size(); i < message.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(message[i]);
        if (c < 0x20 || c == 0x7f) {
            broken("the complaint \"" + message + "\" is one line of printable text");
        }
    }
    if (message.size() > prefix.size() + 400) {
        broken("the complaint \"" + message + "\" is short");
    }
}

namespace {

std::map<std::string, std::string>& scratchPaths() {
    static std::map<std::string, std::string> paths;
    return paths;
}

void removeScratchFiles() {
    for (const auto& entry : scratchPaths()) {
        unlink(entry.second.c_str());
    }
}

} // namespace

const std::string& scratchPath(const std::string& suffix) {
    std::map<std::string, std::string>& paths = scratchPaths();
    auto found = paths.find(suffix);
    if (found != paths.end()) {
        return found->second;
    }
    if (paths.empty()) {
        std::atexit(removeScratchFiles);
    }
    // Memory-backed /dev/shm where there is one: thousands of rewrites a
    // second of a file on disk wait for the disk.
    const char* dir = std::getenv("TMPDIR");
    std::string folder = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if ((dir == nullptr || *dir == '\0') && access("/dev/shm", W_OK) == 0) {
        folder = "/dev/shm";
    }
    std::string path = folder + "/fireflies-fuzz-" + std::to_string(getpid()) + suffix;
    return paths.emplace(suffix, path).first->second;
}

const std::string& writeScratch(const std::string& suffix, const std::uint8_t* data,
                                std::size_t size) {
    const std::string& path = scratchPath(suffix);
    // A new file each time: a file cut to nothing and written again is
    // flushed to disk on close by some file systems.
    unlink(path.c_str());
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        broken("the scratch file " + path + " can be written");
    }
    bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written) {
        broken("the scratch file " + path + " was written");
    }
    return path;
}
