// Scratch folders and files for tests, removed when the test ends.
#ifndef FIREFLIES_TEST_TEMP_DIR_H
#define FIREFLIES_TEST_TEMP_DIR_H

#include <string>

class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder's absolute path.
    const std::string& path() const { return path_; }
    // Writes text to name inside the folder; returns its full path.
    std::string write(const std::string& name, const std::string& text) const;

  private:
    std::string path_;
};

// Runs a shell command; returns its exit status (or -1) and its standard
// output and error, each captured separately. Standard error comes without
// the lines SDL or the GL driver print on their own, and a GL error in it
// fails the test (see output_lines.h).
struct CommandResult {
    int status;
    std::string out;
    std::string err;
};
CommandResult runCommand(const std::string& command);
// The same with standard error exactly as printed and nothing checked, for
// the tests of that check itself.
CommandResult runCommandAsIs(const std::string& command);

// Reads a whole file; empty when it cannot be read.
std::string readFile(const std::string& path);

#endif
