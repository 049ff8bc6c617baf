#include "memory_limit.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "tools.h"

bool addressSpaceLimitHolds() {
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

std::string loadUnderMemoryLimit(const std::function<std::string()>& load, std::size_t headroom) {
    int fds[2];
    if (pipe(fds) != 0) {
        return "no pipe";
    }
    pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return "no child process";
    }
    if (child == 0) {
        close(fds[0]);
        long pages = 0;
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        if (statm == nullptr || std::fscanf(statm, "%ld", &pages) != 1) {
            _exit(4);
        }
        std::fclose(statm);
        rlim_t limit =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + headroom;
        struct rlimit rl = {limit, limit};
        if (setrlimit(RLIMIT_AS, &rl) != 0) {
            _exit(5);
        }
        int status = 0;
        std::string message;
        try {
            message = load();
        } catch (const LoadError& error) {
            message = error.message;
        } catch (const std::bad_alloc&) {
            message = "out of memory";
            status = 3;
        }
        ssize_t written = write(fds[1], message.data(), message.size());
        _exit(written == static_cast<ssize_t>(message.size()) ? status : 6);
    }
    close(fds[1]);
    std::string message;
    char chunk[4096];
    ssize_t got;
    while ((got = read(fds[0], chunk, sizeof chunk)) > 0) {
        message.append(chunk, static_cast<std::size_t>(got));
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "the loading process ended with status " + std::to_string(status) + ": " + message;
    }
    return message;
}

std::string repeated(const std::string& text, std::size_t count) {
    std::string all;
    all.reserve(text.size() * count);
    for (std::size_t i = 0; i < count; ++i) {
        all += text;
    }
    return all;
}

EndlessPipe::EndlessPipe(const std::string& path, const std::string& head,
                         const std::string& repeated)
    : path_(path) {
    if (repeated.empty()) {
        throw std::invalid_argument("an endless pipe needs something to repeat");
    }
    if (mkfifo(path.c_str(), 0600) != 0) {
        throw std::runtime_error("cannot make the named pipe " + path);
    }
    writer_ = fork();
    if (writer_ < 0) {
        throw std::runtime_error("cannot start the writer of " + path);
    }
    if (writer_ != 0) {
        return;
    }
    // The writer: a closed reader ends it through SIGPIPE or a failed write.
    std::signal(SIGPIPE, SIG_DFL);
    int fd = open(path.c_str(), O_WRONLY); // waits for the reader
    if (fd < 0) {
        _exit(1);
    }
    std::string piece;
    while (piece.size() < (1 << 16)) {
        piece += repeated;
    }
    const char* data = head.data();
    std::size_t left = head.size();
    for (;;) {
        while (left > 0) {
            ssize_t put = write(fd, data, left);
            if (put <= 0) {
                _exit(0);
            }
            data += put;
            left -= static_cast<std::size_t>(put);
        }
        data = piece.data();
        left = piece.size();
    }
}

EndlessPipe::~EndlessPipe() {
    if (writer_ > 0) {
        kill(writer_, SIGKILL); // ours, and unreaped, so the id is still its own
        waitpid(writer_, nullptr, 0);
    }
}
