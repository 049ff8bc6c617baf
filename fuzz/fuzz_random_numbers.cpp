// Any bytes as "random_numbers.dat": the reader keeps the leading numbers,
// each divided by 80, and never anything that is not a finite number.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "checks.h"
#include "state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<float> numbers = parseRandomNumbers(text);
    // Every number takes at least one character and one separator but the last.
    require(numbers.size() <= size / 2 + 1, "no more numbers than the text can hold");
    for (float n : numbers) {
        require(std::isfinite(n), "every draw offset is finite");
    }
    return 0;
}
