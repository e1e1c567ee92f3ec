// The in-memory configuration: core, libraries, components and applications with their files,
// dependencies and external declarations.
#pragma once

#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "common/error_list.h"
#include "model/version.h"

namespace nebcm {

// The "stereotype" of an extension, the word of its database section header.
enum class ExtensionKind : int { Core = 1, Library = 2, Component = 3, Application = 4 };

// "Core", "Library", "Component", "Application"; an empty text for anything else.
const char* SectionWord(ExtensionKind kind);
bool IsValidKind(int kind);

// One "File=" entry: a '/'-separated path below the installation directory and an optional
// shortcut path (without ".lnk").
class ExtensionFile {
public:
    ExtensionFile(std::string path, std::string shortcut)
        : path_(std::move(path)), shortcut_(std::move(shortcut)) {}
    const std::string& Path() const { return path_; }
    const std::string& Shortcut() const { return shortcut_; }
    std::unique_ptr<ExtensionFile> Clone() const { return std::make_unique<ExtensionFile>(*this); }

private:
    std::string path_;
    std::string shortcut_;
};

// A "Library=", "Component=" or "Application=" entry: another extension of the same configuration.
class Dependency {
public:
    Dependency(ExtensionKind kind, std::string name) : kind_(kind), name_(std::move(name)) {}
    ExtensionKind Kind() const { return kind_; }
    const std::string& Name() const { return name_; }
    std::unique_ptr<Dependency> Clone() const { return std::make_unique<Dependency>(*this); }
    // "Library=xml" and so on; an empty text for a kind that cannot be depended upon.
    std::string ToText() const;

private:
    ExtensionKind kind_;
    std::string name_;
};

// An "External...=" entry: an extension outside the distribution set that must already be
// installed in a version that meets the requirement.
class ExternalDeclaration {
public:
    ExternalDeclaration(ExtensionKind kind, std::string name, const VersionRequirement& requirement,
                        std::string displayName)
        : kind_(kind), name_(std::move(name)), requirement_(requirement),
          displayName_(std::move(displayName)) {}
    ExtensionKind Kind() const { return kind_; }
    const std::string& Name() const { return name_; }
    const VersionRequirement& Requirement() const { return requirement_; }
    // Empty for the core: messages then call it by its display text "NEB Core".
    const std::string& DisplayName() const { return displayName_; }
    std::unique_ptr<ExternalDeclaration> Clone() const {
        return std::make_unique<ExternalDeclaration>(*this);
    }
    // "ExternalCore=1.00-" or "ExternalLibrary=xml;1.00-;XML support".
    std::string ToText() const;

private:
    ExtensionKind kind_;
    std::string name_;
    VersionRequirement requirement_;
    std::string displayName_;
};

using FileList = std::vector<std::unique_ptr<ExtensionFile>>;
using DependencyList = std::vector<std::unique_ptr<Dependency>>;
using ExternalList = std::vector<std::unique_ptr<ExternalDeclaration>>;

class Extension {
public:
    virtual ~Extension() = default;
    virtual ExtensionKind Kind() const = 0;
    virtual std::unique_ptr<Extension> Clone() const = 0;

    const std::string& Name() const { return name_; }
    const nebcm::Version& Version() const { return version_; }
    const std::string& Description() const { return description_; }
    const std::string& Copyright() const { return copyright_; }
    const std::string& Package() const { return package_; }

    std::size_t FileCount() const { return files_.size(); }
    const ExtensionFile& FileAt(std::size_t i) const { return *files_.at(i); }
    // Exact, case-sensitive membership.
    bool ContainsFile(const std::string& path) const { return fileSet_.count(path) != 0; }

    std::size_t DependencyCount() const { return dependencies_.size(); }
    const Dependency& DependencyAt(std::size_t i) const { return *dependencies_.at(i); }
    void AddDependency(std::unique_ptr<Dependency> dependency);

    std::size_t ExternalCount() const { return externals_.size(); }
    const ExternalDeclaration& ExternalAt(std::size_t i) const { return *externals_.at(i); }
    void RemoveExternal(std::size_t i);

protected:
    Extension(std::string name, const nebcm::Version& version, std::string description,
              std::string copyright, std::string package, FileList files,
              DependencyList dependencies, ExternalList externals);
    // Deep copy for Clone: every file, dependency and declaration is copied.
    Extension(const Extension& other);
    Extension& operator=(const Extension&) = delete;

private:
    std::string name_;
    nebcm::Version version_;
    std::string description_;
    std::string copyright_;
    std::string package_;
    FileList files_;
    DependencyList dependencies_;
    ExternalList externals_;
    std::unordered_set<std::string> fileSet_;
};

class Core : public Extension {
public:
    // The core is always named "Core", lives in the package "System" and has no dependencies or
    // external declarations.
    Core(const nebcm::Version& version, std::string description, std::string copyright,
         FileList files, std::string base, std::string javaDispatcher);
    ExtensionKind Kind() const override { return ExtensionKind::Core; }
    std::unique_ptr<Extension> Clone() const override;

    // The installation directory recorded in an installed database; empty in distribution sets.
    const std::string& Base() const { return base_; }
    void SetBase(std::string base) { base_ = std::move(base); }
    // Path of the core file through which Java code is started.
    const std::string& JavaDispatcher() const { return javaDispatcher_; }

private:
    std::string base_;
    std::string javaDispatcher_;
};

class Library : public Extension {
public:
    Library(std::string name, const nebcm::Version& version, std::string description,
            std::string copyright, std::string package, FileList files, DependencyList dependencies,
            ExternalList externals);
    ExtensionKind Kind() const override { return ExtensionKind::Library; }
    std::unique_ptr<Extension> Clone() const override;
};

class Component : public Extension {
public:
    Component(std::string name, const nebcm::Version& version, std::string description,
              std::string copyright, std::string package, FileList files,
              DependencyList dependencies, ExternalList externals, std::string serviceClass);
    ExtensionKind Kind() const override { return ExtensionKind::Component; }
    std::unique_ptr<Extension> Clone() const override;
    const std::string& ServiceClass() const { return serviceClass_; }

private:
    std::string serviceClass_;
};

class Application : public Extension {
public:
    Application(std::string name, const nebcm::Version& version, std::string description,
                std::string copyright, std::string package, FileList files,
                DependencyList dependencies, ExternalList externals);
    ExtensionKind Kind() const override { return ExtensionKind::Application; }
    std::unique_ptr<Extension> Clone() const override;
};

using ExtensionList = std::vector<std::unique_ptr<Extension>>;

// One component database in memory: an owning list of extensions in database order.
class Configuration {
public:
    Configuration() = default;
    explicit Configuration(ExtensionList extensions) : extensions_(std::move(extensions)) {}
    Configuration(Configuration&&) = default;
    Configuration& operator=(Configuration&&) = default;

    std::size_t Count() const { return extensions_.size(); }
    const Extension& At(std::size_t i) const { return *extensions_.at(i); }
    Extension& At(std::size_t i) { return *extensions_.at(i); }
    void Add(std::unique_ptr<Extension> extension) { extensions_.push_back(std::move(extension)); }
    // Takes an extension out of the list, closing the gap.
    std::unique_ptr<Extension> Remove(std::size_t i);
    // A deep copy of every extension.
    Configuration Clone() const;

    // The first extension of kind Core, or none.
    const Core* FindCore() const;
    Core* FindCore();
    // The first extension of that kind with exactly that name (case-sensitive), or none.
    // Kind Core resolves through FindCore.
    const Extension* FindExtension(ExtensionKind kind, const std::string& name) const;
    Extension* FindExtension(ExtensionKind kind, const std::string& name);

    // The whole-configuration checks: one message per violation, true when none was found.
    bool Validate(ErrorList& errors) const;

private:
    ExtensionList extensions_;
};

} // namespace nebcm
