// Extension model: construction, deep copies, text forms and lookups.
#include "model/extension.h"

namespace nebcm {

const char* SectionWord(ExtensionKind kind) {
    switch (kind) {
    case ExtensionKind::Core:
        return "Core";
    case ExtensionKind::Library:
        return "Library";
    case ExtensionKind::Component:
        return "Component";
    case ExtensionKind::Application:
        return "Application";
    }
    return "";
}

bool IsValidKind(int kind) {
    return kind >= 1 && kind <= 4;
}

std::string Dependency::ToText() const {
    switch (kind_) {
    case ExtensionKind::Library:
    case ExtensionKind::Component:
    case ExtensionKind::Application:
        return std::string(SectionWord(kind_)) + "=" + name_;
    case ExtensionKind::Core:
        break;
    }
    return std::string();
}

std::string ExternalDeclaration::ToText() const {
    switch (kind_) {
    case ExtensionKind::Core:
        return "ExternalCore=" + requirement_.ToText();
    case ExtensionKind::Library:
    case ExtensionKind::Component:
    case ExtensionKind::Application:
        return std::string("External") + SectionWord(kind_) + "=" + name_ + ";" +
               requirement_.ToText() + ";" + displayName_;
    }
    return std::string();
}

Extension::Extension(std::string name, const nebcm::Version& version, std::string description,
                     std::string copyright, std::string package, FileList files,
                     DependencyList dependencies, ExternalList externals)
    : name_(std::move(name)), version_(version), description_(std::move(description)),
      copyright_(std::move(copyright)), package_(std::move(package)), files_(std::move(files)),
      dependencies_(std::move(dependencies)), externals_(std::move(externals)) {
    for (const auto& f : files_) {
        fileSet_.insert(f->Path());
    }
}

Extension::Extension(const Extension& other)
    : name_(other.name_), version_(other.version_), description_(other.description_),
      copyright_(other.copyright_), package_(other.package_), fileSet_(other.fileSet_) {
    files_.reserve(other.files_.size());
    for (const auto& f : other.files_) {
        files_.push_back(f->Clone());
    }
    dependencies_.reserve(other.dependencies_.size());
    for (const auto& d : other.dependencies_) {
        dependencies_.push_back(d->Clone());
    }
    externals_.reserve(other.externals_.size());
    for (const auto& e : other.externals_) {
        externals_.push_back(e->Clone());
    }
}

void Extension::AddDependency(std::unique_ptr<Dependency> dependency) {
    dependencies_.push_back(std::move(dependency));
}

void Extension::RemoveExternal(std::size_t i) {
    if (i < externals_.size()) {
        externals_.erase(externals_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

Core::Core(const nebcm::Version& version, std::string description, std::string copyright,
           FileList files, std::string base, std::string javaDispatcher)
    : Extension("Core", version, std::move(description), std::move(copyright), "System",
                std::move(files), DependencyList(), ExternalList()),
      base_(std::move(base)), javaDispatcher_(std::move(javaDispatcher)) {}

std::unique_ptr<Extension> Core::Clone() const {
    return std::make_unique<Core>(*this);
}

Library::Library(std::string name, const nebcm::Version& version, std::string description,
                 std::string copyright, std::string package, FileList files,
                 DependencyList dependencies, ExternalList externals)
    : Extension(std::move(name), version, std::move(description), std::move(copyright),
                std::move(package), std::move(files), std::move(dependencies),
                std::move(externals)) {}

std::unique_ptr<Extension> Library::Clone() const {
    return std::make_unique<Library>(*this);
}

Component::Component(std::string name, const nebcm::Version& version, std::string description,
                     std::string copyright, std::string package, FileList files,
                     DependencyList dependencies, ExternalList externals, std::string serviceClass)
    : Extension(std::move(name), version, std::move(description), std::move(copyright),
                std::move(package), std::move(files), std::move(dependencies),
                std::move(externals)),
      serviceClass_(std::move(serviceClass)) {}

std::unique_ptr<Extension> Component::Clone() const {
    return std::make_unique<Component>(*this);
}

Application::Application(std::string name, const nebcm::Version& version, std::string description,
                         std::string copyright, std::string package, FileList files,
                         DependencyList dependencies, ExternalList externals)
    : Extension(std::move(name), version, std::move(description), std::move(copyright),
                std::move(package), std::move(files), std::move(dependencies),
                std::move(externals)) {}

std::unique_ptr<Extension> Application::Clone() const {
    return std::make_unique<Application>(*this);
}

std::unique_ptr<Extension> Configuration::Remove(std::size_t i) {
    std::unique_ptr<Extension> taken = std::move(extensions_.at(i));
    extensions_.erase(extensions_.begin() + static_cast<std::ptrdiff_t>(i));
    return taken;
}

Configuration Configuration::Clone() const {
    ExtensionList copy;
    copy.reserve(extensions_.size());
    for (const auto& e : extensions_) {
        copy.push_back(e->Clone());
    }
    return Configuration(std::move(copy));
}

const Core* Configuration::FindCore() const {
    for (const auto& e : extensions_) {
        if (e->Kind() == ExtensionKind::Core) {
            return static_cast<const Core*>(e.get());
        }
    }
    return nullptr;
}

Core* Configuration::FindCore() {
    return const_cast<Core*>(static_cast<const Configuration*>(this)->FindCore());
}

const Extension* Configuration::FindExtension(ExtensionKind kind, const std::string& name) const {
    if (kind == ExtensionKind::Core) {
        return FindCore();
    }
    for (const auto& e : extensions_) {
        if (e->Kind() == kind && e->Name() == name) {
            return e.get();
        }
    }
    return nullptr;
}

Extension* Configuration::FindExtension(ExtensionKind kind, const std::string& name) {
    return const_cast<Extension*>(
        static_cast<const Configuration*>(this)->FindExtension(kind, name));
}

} // namespace nebcm
