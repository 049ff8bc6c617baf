// check_output: runs a test program (ctest runs every test binary through
// it) and fails the run when the program's standard error holds a GL error
// that Mesa reports under MESA_DEBUG, whatever Mesa's version calls it. Lines
// that SDL or the GL driver print on their own do not count; everything is
// passed through unchanged, standard output untouched.
//   check_output PROGRAM [ARGS...]   the program's status, or 1 on a GL error
//   check_output --scan FILE         0 when FILE holds no GL error, else 1
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "output_lines.h"

namespace {
// Names each GL error on standard error; true when there was none.
bool reportGlErrors(const std::string& text, const std::string& source) {
    std::vector<std::string> errors = glErrorLines(text);
    for (const std::string& line : errors) {
        std::fprintf(stderr, "check_output: %s made a GL error: %s\n", source.c_str(), line.c_str());
    }
    return errors.empty();
}

int scan(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "check_output: cannot read %s\n", path);
        return 2;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return reportGlErrors(text.str(), path) ? 0 : 1;
}

int run(char** argv) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        std::perror("check_output: pipe");
        return 2;
    }
    pid_t child = fork();
    if (child < 0) {
        std::perror("check_output: fork");
        return 2;
    }
    if (child == 0) {
        dup2(pipeFds[1], STDERR_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        execvp(argv[0], argv);
        std::fprintf(stderr, "check_output: cannot run %s\n", argv[0]);
        _exit(127);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    for (;;) {
        ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
        if (write(STDERR_FILENO, buffer, static_cast<std::size_t>(got)) != got) {
            // Standard error gone: keep reading so that the program never blocks.
        }
    }
    close(pipeFds[0]);
    int raw = 0;
    while (waitpid(child, &raw, 0) < 0 && errno == EINTR) {
    }
    int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    bool clean = reportGlErrors(text, argv[0]);
    return status != 0 ? status : (clean ? 0 : 1);
}
} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--scan") {
        return scan(argv[2]);
    }
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: check_output PROGRAM [ARGS...] | check_output --scan FILE\n");
        return 2;
    }
    return run(argv + 1);
}
