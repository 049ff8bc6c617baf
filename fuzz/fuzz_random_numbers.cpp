// Any bytes as "random_numbers.dat": the reader keeps the leading numbers,
// each divided by 80, and never anything that is not a finite number; and
// it keeps exactly what a formatted stream extracts from the whole text,
// unless a word too long for a number cut the reading short.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <sstream>
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

    std::vector<float> extracted;
    std::istringstream in(text);
    float value;
    while (in >> value) {
        extracted.push_back(value / 80.0f);
    }
    require(numbers.size() <= extracted.size() &&
                std::equal(numbers.begin(), numbers.end(), extracted.begin()),
            "the numbers kept are the ones a stream extracts, in order");
    if (numbers.size() < extracted.size()) {
        bool longWord = false;
        std::size_t run = 0;
        for (char c : text) {
            bool space = c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
            run = space ? 0 : run + 1;
            longWord = longWord || run > kLongestRandomNumber;
        }
        require(longWord, "only a word longer than a number may end the reading early");
    }
    return 0;
}
