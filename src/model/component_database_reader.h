// Reading component database text ("neb.cdb") into a validated configuration.
#pragma once

#include <memory>
#include <string>

#include "common/error_list.h"
#include "io/streams.h"
#include "model/database_text.h"
#include "model/extension.h"
#include "model/platform_symbols.h"

namespace nebcm {

class ComponentDatabasePreprocessor;

enum class ReaderMode : int {
    // A distribution set's database: preprocessed, external declarations allowed, no base.
    Distribution = 1,
    // The installed configuration's database: read as it stands, no external declarations, the
    // core names its base.
    Installed = 2,
};

class ComponentDatabaseReader : private dbtext::SectionReader {
public:
    // In mode Distribution the text is preprocessed with the running machine's symbols.
    ComponentDatabaseReader(std::string fileName, TextInputStream& source, ReaderMode mode);
    // In mode Distribution the text is preprocessed with the given symbols; mode Installed has
    // no preprocessing and ignores them.
    ComponentDatabaseReader(std::string fileName, TextInputStream& source, ReaderMode mode,
                            PlatformSymbols symbols);
    // Closes the preprocessor, never the source.
    ~ComponentDatabaseReader() override;

    // Reads the whole text, once. Every message ("file(line) : " and the message, then the
    // validator's) is appended to errors; the configuration is returned only when there was
    // none. The source's IOException family passes through.
    std::unique_ptr<Configuration> Read(ErrorList& errors);

private:
    void ReadSetting(dbtext::SectionValues& section, const std::string& key,
                     const std::string& value, const std::string& line) override;
    std::unique_ptr<Extension> FinishSection(dbtext::SectionValues& section) override;

    ReaderMode mode_;
    std::unique_ptr<ComponentDatabasePreprocessor> preprocessor_;
};

} // namespace nebcm
