#include "temp_dir.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "output_lines.h"

TempDir::TempDir() {
    char pattern[] = "/tmp/fireflies-test-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::string command = "rm -rf '" + path_ + "'";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "could not remove %s\n", path_.c_str());
    }
}

std::string TempDir::write(const std::string& name, const std::string& text) const {
    std::string full = path_ + "/" + name;
    std::ofstream out(full, std::ios::binary);
    out << text;
    return full;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

CommandResult runCommandAsIs(const std::string& command) {
    TempDir scratch;
    std::string outPath = scratch.path() + "/out";
    std::string errPath = scratch.path() + "/err";
    std::string full = "(" + command + ") >'" + outPath + "' 2>'" + errPath + "'";
    int raw = std::system(full.c_str());
    CommandResult result;
    result.status = (raw != -1 && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

CommandResult runCommand(const std::string& command) {
    CommandResult result = runCommandAsIs(command);
    result.err = checkedStandardError(result.err, command);
    return result;
}
