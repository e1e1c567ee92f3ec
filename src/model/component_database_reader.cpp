// Reading component database text into a validated configuration.
#include "model/component_database_reader.h"

#include "common/messages.h"
#include "model/component_database_preprocessor.h"
#include "model/path_rules.h"

namespace nebcm {

using dbtext::EqualsIgnoreCase;
using dbtext::SectionValues;

namespace {

struct KeyKind {
    const char* key;
    ExtensionKind kind;
};
const KeyKind DependencyKeys[] = {{"Library", ExtensionKind::Library},
                                  {"Component", ExtensionKind::Component},
                                  {"Application", ExtensionKind::Application}};
const KeyKind ExternalKeys[] = {{"ExternalCore", ExtensionKind::Core},
                                {"ExternalLibrary", ExtensionKind::Library},
                                {"ExternalComponent", ExtensionKind::Component},
                                {"ExternalApplication", ExtensionKind::Application}};

} // namespace

ComponentDatabaseReader::ComponentDatabaseReader(std::string fileName, TextInputStream& source,
                                                 ReaderMode mode)
    : SectionReader(std::move(fileName)), mode_(mode) {
    if (mode_ == ReaderMode::Distribution) {
        preprocessor_ = std::make_unique<ComponentDatabasePreprocessor>(FileName(), source);
        SetLineSource(*preprocessor_);
    } else {
        SetLineSource(source);
    }
}

ComponentDatabaseReader::ComponentDatabaseReader(std::string fileName, TextInputStream& source,
                                                 ReaderMode mode, PlatformSymbols symbols)
    : SectionReader(std::move(fileName)), mode_(mode) {
    if (mode_ == ReaderMode::Distribution) {
        preprocessor_ =
            std::make_unique<ComponentDatabasePreprocessor>(FileName(), source, std::move(symbols));
        SetLineSource(*preprocessor_);
    } else {
        SetLineSource(source);
    }
}

ComponentDatabaseReader::~ComponentDatabaseReader() {
    if (preprocessor_) {
        preprocessor_->Close();
    }
}

std::unique_ptr<Configuration> ComponentDatabaseReader::Read(ErrorList& errors) {
    ExtensionList extensions = ReadExtensions();
    if (preprocessor_) {
        ReaderErrors().Append(preprocessor_->Errors());
    }
    return Conclude(std::move(extensions), errors);
}

void ComponentDatabaseReader::ReadSetting(SectionValues& section, const std::string& key,
                                          const std::string& value, const std::string& line) {
    if (EqualsIgnoreCase(key, "Version")) {
        ReadVersion(section, value, &ParseVersion);
    } else if (EqualsIgnoreCase(key, "Description")) {
        ReadSingle(section.description, value, 12006);
    } else if (EqualsIgnoreCase(key, "Copyright")) {
        ReadSingle(section.copyright, value, 12007);
    } else if (EqualsIgnoreCase(key, "Package")) {
        if (ReadSingle(section.package, value, 12008) && !IsValidPackageName(value)) {
            Report(12009, value);
        }
    } else if (EqualsIgnoreCase(key, "Base")) {
        ReadSingle(section.base, value, 12013);
    } else if (EqualsIgnoreCase(key, "JavaDispatcher")) {
        ReadSingle(section.javaDispatcher, value, 12011);
    } else if (EqualsIgnoreCase(key, "ServiceClass")) {
        ReadSingle(section.serviceClass, value, 12012);
    } else if (EqualsIgnoreCase(key, "File")) {
        ReadFile(section, value, mode_ == ReaderMode::Distribution);
    } else {
        for (const KeyKind& dependency : DependencyKeys) {
            if (EqualsIgnoreCase(key, dependency.key)) {
                section.dependencies.push_back(
                    std::make_unique<Dependency>(dependency.kind, value));
                return;
            }
        }
        for (const KeyKind& external : ExternalKeys) {
            if (EqualsIgnoreCase(key, external.key)) {
                ReadExternal(section, external.kind, value, &ParseVersion);
                return;
            }
        }
        Report(12003, line);
    }
}

std::unique_ptr<Extension> ComponentDatabaseReader::FinishSection(SectionValues& section) {
    // The first failing check explains why the section yields nothing.
    const bool isCore = section.kind == ExtensionKind::Core;
    if (!HasVersionDescriptionAndCopyright(section)) {
        return nullptr;
    }
    if (isCore) {
        if (section.package) {
            Report(12019);
            return nullptr;
        }
        if (!section.dependencies.empty() || !section.externals.empty()) {
            Report(12020);
            return nullptr;
        }
    } else if (!section.package) {
        Report(12018, section.name);
        return nullptr;
    }
    if (mode_ == ReaderMode::Installed && !section.externals.empty()) {
        Report(12021);
        return nullptr;
    }
    if (!isCore) {
        if (section.base) {
            Report(12024);
            return nullptr;
        }
        if (section.javaDispatcher) {
            Report(12027);
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
    } else {
        if (mode_ == ReaderMode::Distribution && section.base) {
            Report(12023);
            return nullptr;
        }
        if (mode_ == ReaderMode::Installed && !section.base) {
            Report(12022);
            return nullptr;
        }
        if (!section.javaDispatcher) {
            Report(12025);
            return nullptr;
        }
        if (section.filePaths.count(*section.javaDispatcher) == 0) {
            Report(12026, *section.javaDispatcher);
            return nullptr;
        }
        if (section.serviceClass) {
            Report(12029);
            return nullptr;
        }
    }

    switch (section.kind) {
    case ExtensionKind::Core:
        return std::make_unique<Core>(*section.version, *section.description, *section.copyright,
                                      std::move(section.files), section.base.value_or(""),
                                      *section.javaDispatcher);
    case ExtensionKind::Library:
        return std::make_unique<Library>(section.name, *section.version, *section.description,
                                         *section.copyright, *section.package,
                                         std::move(section.files), std::move(section.dependencies),
                                         std::move(section.externals));
    case ExtensionKind::Component:
        return std::make_unique<Component>(
            section.name, *section.version, *section.description, *section.copyright,
            *section.package, std::move(section.files), std::move(section.dependencies),
            std::move(section.externals), *section.serviceClass);
    case ExtensionKind::Application:
        return std::make_unique<Application>(
            section.name, *section.version, *section.description, *section.copyright,
            *section.package, std::move(section.files), std::move(section.dependencies),
            std::move(section.externals));
    }
    return nullptr;
}

} // namespace nebcm
