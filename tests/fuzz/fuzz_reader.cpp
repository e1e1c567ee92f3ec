// libFuzzer target: the component database reader in both modes over arbitrary text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "io/streams.h"
#include "model/component_database_reader.h"

using namespace nebcm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    // The first byte chooses the mode and whether WinXP counts as defined.
    const ReaderMode mode = (data[0] & 1) ? ReaderMode::Installed : ReaderMode::Distribution;
    PlatformSymbols symbols;
    if (data[0] & 2) {
        symbols.Add("WinXP");
    }
    MemoryInputStream memory(data + 1, static_cast<std::uint32_t>(size - 1));
    LineReader lines(memory, 1);
    ErrorList errors;
    errors.Add("earlier");
    std::unique_ptr<Configuration> configuration;
    {
        ComponentDatabaseReader reader("fuzz.cdb", lines, mode, symbols);
        configuration = reader.Read(errors);
    }
    // A configuration comes back exactly when nothing was reported, and it passes the checks.
    if (configuration) {
        ErrorList again;
        if (errors.Count() != 1 || !configuration->Validate(again)) {
            std::abort();
        }
    } else if (errors.Count() < 2) {
        std::abort();
    }
    if (!lines.IsOpen()) {
        std::abort();
    }
    return 0;
}
