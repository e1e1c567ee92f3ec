// libFuzzer target: the 1.0 component database reader in both modes over arbitrary text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "io/streams.h"
#include "model/legacy_component_database_reader.h"

using namespace nebcm;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const ReaderMode mode = (data[0] & 1) ? ReaderMode::Installed : ReaderMode::Distribution;
    MemoryInputStream memory(data + 1, static_cast<std::uint32_t>(size - 1));
    LineReader lines(memory, 1);
    ErrorList errors;
    LegacyComponentDatabaseReader reader("fuzz.cdb", lines, mode);
    std::unique_ptr<Configuration> configuration = reader.Read(errors);
    if (configuration) {
        ErrorList again;
        if (!errors.Empty() || !configuration->Validate(again)) {
            std::abort();
        }
        // Every 1.0 extension but the core lives in the 1.0 package.
        for (std::size_t i = 0; i < configuration->Count(); ++i) {
            const Extension& extension = configuration->At(i);
            if (extension.Kind() != ExtensionKind::Core && extension.Package() != "NEB 1.0") {
                std::abort();
            }
        }
    } else if (errors.Empty()) {
        std::abort();
    }
    return 0;
}
