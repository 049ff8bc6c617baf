#include "surroundings.h"

#include <cerrno>
#include <cstdlib>
#include <initializer_list>
#include <string>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// True when any of the variables is set to something.
bool anySet(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value != nullptr && value[0] != '\0') {
            return true;
        }
    }
    return false;
}

// The home the user database gives this user; "" when it gives none.
std::string homeOfUser() {
    const passwd* user = getpwuid(getuid());
    return user != nullptr && user->pw_dir != nullptr ? user->pw_dir : "";
}

// True when a library could keep its folder inside inside home: it is
// there already, or home is a folder this process may write to.
bool homeTakes(const std::string& home, const std::string& inside) {
    if (home.empty()) {
        return false;
    }
    struct stat info;
    if (stat((home + "/" + inside).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        return true;
    }
    return stat(home.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           access(home.c_str(), W_OK) == 0;
}

} // namespace

bool fillClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) {
            continue;
        }
        // open() takes the lowest free number, which is this one: the lower
        // ones are open by now.
        int opened = open("/dev/null", O_RDWR);
        if (opened != fd) {
            if (opened >= 0) {
                close(opened);
            }
            return false;
        }
    }
    return true;
}

void keepLibrariesOutOfAMissingHome() {
    // PulseAudio looks in $HOME (else the user database's home) for
    // .config/pulse, unless it is told a server, a runtime or config folder.
    if (!anySet({"PULSE_SERVER", "PULSE_RUNTIME_PATH", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME"})) {
        const char* home = std::getenv("HOME");
        if (!homeTakes(home != nullptr && home[0] != '\0' ? home : homeOfUser(), ".config/pulse")) {
            setenv("PULSE_SERVER", "unix:/var/run/pulse/native", 0);
        }
    }
    // Mesa keeps its shader cache in the user database's home, not $HOME.
    if (!anySet({"MESA_SHADER_CACHE_DIR", "XDG_CACHE_HOME", "MESA_SHADER_CACHE_DISABLE"}) &&
        !homeTakes(homeOfUser(), ".cache")) {
        setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    }
}
