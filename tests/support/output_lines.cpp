#include "output_lines.h"

#include <cstring>

#include <gtest/gtest.h>

namespace {
// A line that starts with head, ends with tail and has something between.
bool framed(const std::string& line, const char* head, const char* tail) {
    std::size_t h = std::strlen(head);
    std::size_t t = std::strlen(tail);
    return line.size() > h + t && line.compare(0, h, head) == 0 &&
           line.compare(line.size() - t, t, tail) == 0;
}

// Calls one line at a time with each line of the text, its newline (if any)
// included in whole.
template <typename Each> void forEachLine(const std::string& text, Each each) {
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        std::size_t next = end == std::string::npos ? text.size() : end + 1;
        std::size_t length = (end == std::string::npos ? text.size() : end) - at;
        each(text.substr(at, length), text.substr(at, next - at));
        at = next;
    }
}
} // namespace

bool isForeignLine(const std::string& line) {
    // sdl12-compat asks GL for the stencil size of the window's framebuffer
    // in a way core GL refuses; Mesa 25 words it one way, Mesa 22 the other.
    static const char* const exact[] = {
        "Mesa: error: GL_INVALID_OPERATION in glGetFramebufferAttachmentParameteriv(invalid pname "
        "GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE)",
        "Mesa: User error: GL_INVALID_OPERATION in glGetFramebufferAttachmentParameteriv(invalid "
        "pname GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE)",
        // SDL 2's disk audio driver (under sdl12-compat), and SDL 1.2's.
        "CRITICAL: You are using the SDL disk i/o audio driver!",
        "WARNING: You are using the SDL disk writer audio driver!",
    };
    for (const char* known : exact) {
        if (line == known) {
            return true;
        }
    }
    // Both disk drivers name the file they write to, each in its own way.
    return framed(line, "CRITICAL:  Writing to file [", "].") ||
           framed(line, " Writing to file [", "].");
}

std::string withoutForeignLines(const std::string& text) {
    std::string kept;
    forEachLine(text, [&](const std::string& line, const std::string& whole) {
        if (!isForeignLine(line)) {
            kept += whole;
        }
    });
    return kept;
}

std::vector<std::string> glErrorLines(const std::string& text) {
    std::vector<std::string> errors;
    forEachLine(text, [&](const std::string& line, const std::string&) {
        bool reported = line.rfind("Mesa: User error:", 0) == 0 || line.rfind("Mesa: error:", 0) == 0;
        if (reported && !isForeignLine(line)) {
            errors.push_back(line);
        }
    });
    return errors;
}

std::string checkedStandardError(const std::string& raw, const std::string& command) {
    for (const std::string& line : glErrorLines(raw)) {
        ADD_FAILURE() << "a GL error from " << command << ":\n" << line;
    }
    return withoutForeignLines(raw);
}
