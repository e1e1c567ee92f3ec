// Reading the component database text of platform release 1.0 into a validated configuration.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "common/error_list.h"
#include "io/streams.h"
#include "model/component_database_reader.h"
#include "model/database_text.h"
#include "model/extension.h"

namespace nebcm {

// A 1.0 version: one decimal number N, meaning N.00 below 100 and N/100 . N%100 from 100 on
// (250 is 2.50). pos ends just behind the digits.
std::optional<Version> ParseLegacyVersion(const std::string& text, std::size_t& pos);

// The 1.0 dialect has no preprocessor; the mode decides only about external declarations and
// the core's base, as for the current dialect.
class LegacyComponentDatabaseReader : private dbtext::SectionReader {
public:
    // The package every 1.0 library, component and application gets.
    static constexpr const char* LegacyPackage = "NEB 1.0";
    // The Java dispatcher of every 1.0 core.
    static constexpr const char* LegacyJavaDispatcher = "neb.exe";

    // Never closes the source.
    LegacyComponentDatabaseReader(std::string fileName, TextInputStream& source, ReaderMode mode);

    // As ComponentDatabaseReader::Read: every message appended to errors, the configuration
    // only when there was none.
    std::unique_ptr<Configuration> Read(ErrorList& errors);

private:
    void ReadSetting(dbtext::SectionValues& section, const std::string& key,
                     const std::string& value, const std::string& line) override;
    std::unique_ptr<Extension> FinishSection(dbtext::SectionValues& section) override;

    ReaderMode mode_;
};

} // namespace nebcm
