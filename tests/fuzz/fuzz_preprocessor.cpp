// libFuzzer target: the database preprocessor over arbitrary text and symbol choices.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "io/streams.h"
#include "model/component_database_preprocessor.h"

using namespace nebcm;

namespace {

// The first byte chooses which of these symbols are defined.
const char* const Candidates[] = {"A", "B", "WinXP", "Win2000", "Pentium", "CPU", "OS", "not"};

PlatformSymbols ChooseSymbols(std::uint8_t mask) {
    PlatformSymbols symbols;
    for (int i = 0; i < 8; ++i) {
        if (mask & (1u << i)) {
            symbols.Add(Candidates[i]);
        }
    }
    return symbols;
}

bool IsDirective(const std::string& line) {
    std::size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || (line[i] >= '\t' && line[i] <= '\r'))) {
        ++i;
    }
    return i < line.size() && line[i] == '#';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    PlatformSymbols symbols = ChooseSymbols(data[0]);
    const bool byCharacters = (data[1] & 1) != 0;
    MemoryInputStream memory(data + 2, static_cast<std::uint32_t>(size - 2));
    LineReader lines(memory, 1);
    ComponentDatabasePreprocessor preprocessor("fuzz.cdb", lines, symbols);

    if (byCharacters) {
        while (preprocessor.ReadChar() != -1) {
        }
        if (!preprocessor.AtEnd()) {
            std::abort();
        }
    } else {
        std::string line;
        while (preprocessor.ReadLine(line)) {
            // A directive line is never handed on.
            if (IsDirective(line)) {
                std::abort();
            }
        }
    }
    for (const std::string& message : preprocessor.Errors().Messages()) {
        if (message.compare(0, 9, "fuzz.cdb(") != 0) {
            std::abort();
        }
    }
    preprocessor.Close();
    return 0;
}
