// Reading 1.0 component database text into a validated configuration.
#include "model/legacy_component_database_reader.h"

#include "common/messages.h"

namespace nebcm {

using dbtext::EqualsIgnoreCase;
using dbtext::SectionValues;

namespace {

struct ReferenceKey {
    const char* key;
    ExtensionKind kind;
    bool external;
};
const ReferenceKey ReferenceKeys[] = {{"Library", ExtensionKind::Library, false},
                                      {"Component", ExtensionKind::Component, false},
                                      {"Application", ExtensionKind::Application, false},
                                      {"ExternalLibrary", ExtensionKind::Library, true},
                                      {"ExternalComponent", ExtensionKind::Component, true},
                                      {"ExternalApplication", ExtensionKind::Application, true}};

} // namespace

std::optional<Version> ParseLegacyVersion(const std::string& text, std::size_t& pos) {
    std::optional<std::int32_t> number = ParseUnsigned(text, pos);
    if (!number) {
        return std::nullopt;
    }
    if (*number < 100) {
        return Version(*number, 0);
    }
    return Version(*number / 100, *number % 100);
}

LegacyComponentDatabaseReader::LegacyComponentDatabaseReader(std::string fileName,
                                                             TextInputStream& source,
                                                             ReaderMode mode)
    : SectionReader(std::move(fileName)), mode_(mode) {
    SetLineSource(source);
}

std::unique_ptr<Configuration> LegacyComponentDatabaseReader::Read(ErrorList& errors) {
    ExtensionList extensions = ReadExtensions();
    return Conclude(std::move(extensions), errors);
}

void LegacyComponentDatabaseReader::ReadSetting(SectionValues& section, const std::string& key,
                                                const std::string& value, const std::string& line) {
    if (EqualsIgnoreCase(key, "Version")) {
        ReadVersion(section, value, &ParseLegacyVersion);
        return;
    }
    if (EqualsIgnoreCase(key, "Description")) {
        ReadSingle(section.description, value, 12006);
        return;
    }
    if (EqualsIgnoreCase(key, "Copyright")) {
        ReadSingle(section.copyright, value, 12007);
        return;
    }
    if (EqualsIgnoreCase(key, "Base")) {
        ReadSingle(section.base, value, 12013);
        return;
    }
    if (EqualsIgnoreCase(key, "Interface")) {
        ReadSingle(section.serviceClass, value, 12012);
        return;
    }
    if (EqualsIgnoreCase(key, "File")) {
        ReadFile(section, value, mode_ == ReaderMode::Distribution);
        return;
    }
    for (const ReferenceKey& reference : ReferenceKeys) {
        if (!EqualsIgnoreCase(key, reference.key)) {
            continue;
        }
        // Release 1.0 let libraries need only libraries, and components no applications; such
        // a reference is reported and dropped.
        if (section.kind == ExtensionKind::Library && reference.kind != ExtensionKind::Library) {
            Report(12031);
            return;
        }
        if (section.kind == ExtensionKind::Component &&
            reference.kind == ExtensionKind::Application) {
            Report(12032);
            return;
        }
        if (reference.external) {
            ReadExternal(section, reference.kind, value, &ParseLegacyVersion);
        } else {
            section.dependencies.push_back(std::make_unique<Dependency>(reference.kind, value));
        }
        return;
    }
    Report(12003, line);
}

std::unique_ptr<Extension> LegacyComponentDatabaseReader::FinishSection(SectionValues& section) {
    const bool isCore = section.kind == ExtensionKind::Core;
    if (!HasVersionDescriptionAndCopyright(section)) {
        return nullptr;
    }
    if (isCore && (!section.dependencies.empty() || !section.externals.empty())) {
        Report(12020);
        return nullptr;
    }
    if (mode_ == ReaderMode::Installed && !section.externals.empty()) {
        Report(12021);
        return nullptr;
    }
    if (isCore) {
        if (!section.base) {
            Report(mode_ == ReaderMode::Distribution ? 12030 : 12022);
            return nullptr;
        }
        if (section.serviceClass) {
            Report(12029);
            return nullptr;
        }
    } else {
        if (section.base) {
            Report(12024);
            return nullptr;
        }
        const bool isComponent = section.kind == ExtensionKind::Component;
        if (isComponent && !section.serviceClass) {
            Report(12028);
            return nullptr;
        }
        if (!isComponent && section.serviceClass) {
            Report(12029);
            return nullptr;
        }
    }

    switch (section.kind) {
    case ExtensionKind::Core:
        return std::make_unique<Core>(*section.version, *section.description, *section.copyright,
                                      std::move(section.files), *section.base,
                                      LegacyJavaDispatcher);
    case ExtensionKind::Library:
        return std::make_unique<Library>(section.name, *section.version, *section.description,
                                         *section.copyright, LegacyPackage,
                                         std::move(section.files), std::move(section.dependencies),
                                         std::move(section.externals));
    case ExtensionKind::Component:
        return std::make_unique<Component>(
            section.name, *section.version, *section.description, *section.copyright, LegacyPackage,
            std::move(section.files), std::move(section.dependencies), std::move(section.externals),
            *section.serviceClass);
    case ExtensionKind::Application:
        return std::make_unique<Application>(
            section.name, *section.version, *section.description, *section.copyright, LegacyPackage,
            std::move(section.files), std::move(section.dependencies),
            std::move(section.externals));
    }
    return nullptr;
}

} // namespace nebcm
