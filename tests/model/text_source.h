// Database texts for tests: a string read line by line through the program's own streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/streams.h"

namespace nebcm {
namespace testing {

class TextSource {
public:
    explicit TextSource(const std::string& text)
        : memory_(std::vector<std::uint8_t>(text.begin(), text.end())), lines_(memory_, 1) {}
    TextInputStream& Stream() { return lines_; }
    LineReader& Lines() { return lines_; }

private:
    MemoryInputStream memory_;
    LineReader lines_;
};

} // namespace testing
} // namespace nebcm
