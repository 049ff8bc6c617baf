// Loading under a memory limit: runs a file reader in a child process whose
// address space may grow by a fixed amount only, so that a test can show a
// huge file or a device that never ends costing the reader no more than that;
// and huge texts and a named pipe that never ends, to feed one.
#ifndef FIREFLIES_TEST_MEMORY_LIMIT_H
#define FIREFLIES_TEST_MEMORY_LIMIT_H

#include <gtest/gtest.h>

#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>

// False in a build where no address-space limit can hold: AddressSanitizer
// reserves terabytes of address space up front.
bool addressSpaceLimitHolds();

// Skips the test where no address-space limit can hold; the plain build runs it.
#define REQUIRE_ADDRESS_SPACE_LIMIT()                                                              \
    do {                                                                                           \
        if (!addressSpaceLimitHolds()) {                                                           \
            GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space, so no limit "   \
                            "on it can hold; the plain build runs this test";                      \
        }                                                                                          \
    } while (0)

// Runs load in a child process whose address space may grow by no more than
// headroom bytes. Returns what load returned, or the message of the LoadError
// it threw; when the child did not end normally (running out of memory ends
// it), a line saying how it ended instead.
std::string loadUnderMemoryLimit(const std::function<std::string()>& load, std::size_t headroom);

// Headroom for reading up to limit bytes whole into memory: the bytes, half
// as much again while their room grows, and as much again for valgrind, whose
// allocator holds on to freed memory for a while (tests/run-valgrind runs the
// readers' tests too).
constexpr std::size_t roomToReadWhole(std::size_t limit) {
    return 3 * limit;
}

// count copies of text one after the other, for inputs larger than a
// reader's memory limit.
std::string repeated(const std::string& text, std::size_t count);

// A named pipe at path that never ends: a writer process puts head into it,
// then repeated (not empty) over and over for as long as the reader reads.
// The writer stops when the reader closes the pipe, and is ended and waited
// for with this object.
class EndlessPipe {
  public:
    EndlessPipe(const std::string& path, const std::string& head, const std::string& repeated);
    ~EndlessPipe();
    EndlessPipe(const EndlessPipe&) = delete;
    EndlessPipe& operator=(const EndlessPipe&) = delete;

    // Where the pipe is, for a reader to open.
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    pid_t writer_ = -1; // the writer process; -1 when it could not be started
};

#endif
